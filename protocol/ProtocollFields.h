#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "protocol/ProtocollFieldInfo.h"

class ProtocollVersion;
class SetupItemLink;
class SetupItemType;
class StatusBitInfo;

// Kind of the record that CreateSetupItem returns.
enum OBJTYPE : int {
    OBJTYPE_NONE = 0,
    OBJTYPE_PROTVERSION = 1,
    OBJTYPE_HEADERSETUP = 2,
    OBJTYPE_IDLIST = 3,
    OBJTYPE_LIFEINFO = 5,
    OBJTYPE_DEVICEINFO = 6,
    OBJTYPE_HEADINFO = 7,
    OBJTYPE_DATAAVAILABLE = 8,
    OBJTYPE_LOGOSTYPE = 9,
    OBJTYPE_LOGOSIDLIST = 10,
    OBJTYPE_MODULESLIST = 11,
    OBJTYPE_TOOLS = 12,
    OBJTYPE_MODULEFONT = 13,
    OBJTYPE_UPGRADEINFO = 14,
    OBJTYPE_GENSTATUSINFO = 15,
    OBJTYPE_EXTSTATUSINFO = 16,
    OBJTYPE_STATUSDATA = 17,
    OBJTYPE_TYPELIST = 18,
    OBJTYPE_TYPENUMERIC = 19,
    OBJTYPE_TYPEDATETIME = 20,
    OBJTYPE_TYPESTRING = 21,
    OBJTYPE_LOGODATA = 22,
};

// The caller's error-code slot.
typedef int PrinterSetError;

// One printer answer split into typed fields, and its decoding into records.
class ProtocollFields {
  public:
    // Error code of a malformed answer.
    static constexpr int ERROR_MALFORMED = 13;
    // Bytes of one line of a "<C81>" answer buffer and the longest line kept.
    static constexpr int TOOL_LINE_SLOT = 128;
    static constexpr int TOOL_LINE_MAX = 125;
    // The line count of a "<C81>" buffer has two digits.
    static constexpr int TOOL_LINES_MAX = 99;

    ProtocollFields() = default;
    ~ProtocollFields();
    ProtocollFields(const ProtocollFields&) = delete;
    ProtocollFields& operator=(const ProtocollFields&) = delete;

    // Replaces the field list with the fields of buf; returns their number.
    int CreateFields(const unsigned char* buf, int len);

    // False for a well-formed answer without error; true for an error answer
    // (err gets 100 + the printer's number) or a malformed one (err gets 13).
    bool CheckAnswer(PrinterSetError* err);
    bool CheckAnswer();

    // Decodes the answer into a new record owned by the caller (release it
    // with ReleaseSetupItem); nothing on failure. objType tells the record's kind.
    void* CreateSetupItem(unsigned long* pulDataErrors, ProtocollVersion* version,
                          OBJTYPE* objType);
    void* CreateSetupItem_Prot100(unsigned long* pulDataErrors, OBJTYPE* objType);
    void* CreateSetupItemType_Prot100(unsigned long* pulDataErrors, OBJTYPE* objType);
    void* CreateLogoData_Prot100(unsigned long* pulDataErrors, OBJTYPE* objType);

    void* ExtractIDInfo_TypeList_Prot100(int& index, unsigned long& sum,
                                         unsigned long* pulDataErrors, OBJTYPE* objType);
    void* ExtractIDInfo_TypeNumeric_Prot100(int& index, unsigned long& sum,
                                            unsigned long* pulDataErrors, OBJTYPE* objType);
    void* ExtractIDInfo_TypeDateTime_Prot100(int& index, unsigned long& sum,
                                             unsigned long* pulDataErrors, OBJTYPE* objType);
    void* ExtractIDInfo_TypeString_Prot100(int& index, unsigned long& sum,
                                           unsigned long* pulDataErrors, OBJTYPE* objType);

    // Deletes a record returned by CreateSetupItem. An OBJTYPE_NONE record is
    // the line buffer of a "<C81>" answer, an OBJTYPE_MODULEFONT one a byte array.
    static void ReleaseSetupItem(void* item, OBJTYPE objType);

    std::vector<ProtocollFieldInfo*> vFields;

  private:
    void Clear();
    void LogFields() const;
    void AddControlField(unsigned char byte, int type);
    void AddTagField(const unsigned char* buf, int begin, int end);

    // The field at index when it has the kind, else null (also past the end).
    ProtocollFieldInfo* FieldOf(int index, int type) const;
    // Same for an int field; logs the wrong-kind message under function.
    ProtocollFieldInfo* IntField(int index, const char* function) const;
    ProtocollFieldInfo* StrField(int index, const char* function) const;
    ProtocollFieldInfo* TextField(int index, const char* function) const;
    ProtocollFieldInfo* BinField(int index, const char* function) const;
    // The field after the last value field holds the low byte of the byte
    // sums of fields first..last.
    bool CheckChecksum(int first, int last, const char* function) const;
    bool CheckChecksumSum(int index, unsigned long sum, const char* function) const;
    // count text fields from field first on, each added to record.
    template <typename Record>
    bool ReadLines(Record* record, int first, int count, const char* function, bool numbered) const;
    // An ID-list answer: the count at field 2 (logged after countLabel), the
    // IDs from field 3 on, each handed to add, then the checksum.
    bool ReadIDList(const char* countLabel, const std::function<void(uint64_t id)>& add) const;

    void* DecodeProtocolVersion();
    void* DecodeHeaderSetup();
    void* DecodeIDList();
    void* DecodeLifeInfo();
    void* DecodeDeviceInfo();
    void* DecodeHeadInfo();
    template <typename Record>
    void* DecodeInfoLines(const char* countLabel);
    void* DecodeDataAvailable();
    void* DecodeLogosType();
    void* DecodeLogosIDList();
    void* DecodeModulesList();
    void* DecodeTools();
    void* DecodeToolLines();
    void* DecodeModuleFont();
    void* DecodeUpgradeInfo();
    void* DecodeGenStatusInfo();
    void* DecodeExtStatusInfo();
    void* DecodeStatusData();
    // Per-bit groups of a status description from field index on.
    bool ReadStatusBits(int index, int count, bool extended,
                        std::vector<std::unique_ptr<StatusBitInfo>>& bits) const;
    // Links of a "<C4>" answer from field index on.
    bool ReadSetupLinks(int& index, unsigned long& sum, int itemId, int count,
                        std::vector<std::unique_ptr<SetupItemLink>>& links) const;
    // Description, flag and additional description of a "<C4>" answer.
    bool ReadTypeDescription(int& index, unsigned long& sum, SetupItemType* item,
                             const char* function, bool fixedDescriptionLog,
                             bool fixedAdditionalLog) const;
};
