#include "protocol/ProtocollFields.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/GenericFunctions.h"
#include "common/Log.h"
#include "protocol/Commands.h"
#include "protocol/InfoItemPrnDeviceInfo.h"
#include "protocol/InfoItemPrnHeadInfo.h"
#include "protocol/InfoItemPrnLifeInfo.h"
#include "protocol/LogoItem.h"
#include "protocol/LogosIDList.h"
#include "protocol/LogosType.h"
#include "protocol/ManageBuffers.h"
#include "protocol/ModuleItemPrnModuleList.h"
#include "protocol/ProtocollDataAvailable.h"
#include "protocol/ProtocollVersion.h"
#include "protocol/SetupItemHeader.h"
#include "protocol/SetupItemIDList.h"
#include "protocol/SetupItemTypeDateTime.h"
#include "protocol/SetupItemTypeList.h"
#include "protocol/SetupItemTypeNumeric.h"
#include "protocol/SetupItemTypeString.h"
#include "protocol/StatusData.h"
#include "protocol/StatusInfoExtData.h"
#include "protocol/StatusInfoGenData.h"
#include "protocol/ToolsData.h"
#include "protocol/UpgradeDataInfo.h"

namespace {

constexpr unsigned char STX = 0x02;
constexpr unsigned char ETX = 0x03;
constexpr unsigned char ACK = 0x06;
constexpr unsigned char NACK = 0x15;

int ControlType(unsigned char byte) {
    switch (byte) {
        case STX:
            return FTYPE_STX;
        case ETX:
            return FTYPE_ETX;
        case ACK:
            return FTYPE_ACK;
        case NACK:
            return FTYPE_NACK;
        default:
            return FTYPE_NONE;
    }
}

// The printer's error number of an error tag such as "<ERR7>"; 101 when the
// tag holds no number from 0 up.
int PrinterErrorNumber(const char* tag) {
    std::string text = tag != nullptr ? tag : "";
    GenericFunctions::RemovecharsFromString(&text[0], '<');
    GenericFunctions::RemovecharsFromString(&text[0], '>');
    GenericFunctions::RemoveStrFromString(&text[0], "ERR");
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    long value = strtol(begin, &end, 10);
    if (end == begin || errno == ERANGE || value < 0 || value > INT_MAX) return 101;
    return static_cast<int>(value);
}

}  // namespace

ProtocollFields::~ProtocollFields() { Clear(); }

void ProtocollFields::Clear() {
    for (ProtocollFieldInfo* field : vFields) delete field;
    vFields.clear();
}

void ProtocollFields::AddControlField(unsigned char byte, int type) {
    ProtocollFieldInfo* field = new ProtocollFieldInfo();
    field->SetData(&byte, 1);
    field->iFieldType = type;
    field->ulByteSum = byte;
    vFields.push_back(field);
}

void ProtocollFields::AddTagField(const unsigned char* buf, int begin, int end) {
    static const char* kFunction = "CreateFields";
    ProtocollFieldInfo* field = new ProtocollFieldInfo();
    size_t length = static_cast<size_t>(end - begin + 1);
    field->SetData(buf + begin, length);
    field->ulByteSum = ManageBuffers::CalcChecksum(buf, static_cast<unsigned long>(begin),
                                                   static_cast<unsigned long>(end));
    field->BuildText(true);
    const char* content = field->Content();
    field->fValue = GenericFunctions::ParseFloat(content, 0.0f);
    size_t contentLength = length - 2;
    if (GenericFunctions::IsaNumericField(field->pFieldData, length)) {
        field->iFieldType = FTYPE_VINT_VALUE;
        field->iValue = GenericFunctions::ParseInt(content, 0);
        Log::WriteLogP(kFunction, "Found Field: Value INT: %s", field->szText);
    } else if (vFields.size() == 1 && contentLength >= 2 && contentLength <= 4 &&
               field->pFieldData[1] == 'C' && field->pFieldData[2] >= '0' &&
               field->pFieldData[2] <= '9') {
        field->iFieldType = FTYPE_VCMDID_VALUE;
        Log::WriteLogP(kFunction, "Found Field: Value CMD: %s", field->szText);
    } else {
        field->iFieldType = FTYPE_VSTRING_VALUE;
        Log::WriteLogP(kFunction, "Found Field: Value STRING: %s", field->szText);
    }
    vFields.push_back(field);
}

int ProtocollFields::CreateFields(const unsigned char* buf, int len) {
    static const char* kFunction = "CreateFields";
    Log::WriteLog(kFunction, "Begin");
    Clear();
    if (buf == nullptr || len < 0) len = 0;

    enum Mode { OUTSIDE, TAG, TEXT, BINARY };
    Mode mode = OUTSIDE;
    bool frameOpen = false;
    int begin = 0;      // first byte of the current field
    int dataBegin = 0;  // first byte after "<DATABYTES>"
    const Commands::Bytes<11>& blockBegin = Commands::Cmd_DataBytesBegin;
    const Commands::Bytes<12>& blockEnd = Commands::Cmd_DataBytesEnd;
    const int blockEndSize = static_cast<int>(blockEnd.size());

    for (int i = 0; i < len; ++i) {
        unsigned char c = buf[i];
        switch (mode) {
            case OUTSIDE:
                if (ControlType(c) != FTYPE_NONE) {
                    AddControlField(c, ControlType(c));
                    if (c == STX) frameOpen = true;
                } else if (frameOpen) {
                    begin = i;
                    mode = c == '<' ? TAG : TEXT;
                }
                break;
            case TAG:
                if (c != '>') break;
                mode = OUTSIDE;
                if (i == begin + 1) {
                    ProtocollFieldInfo* field = new ProtocollFieldInfo();
                    field->iFieldType = FTYPE_EMPTY;
                    vFields.push_back(field);
                } else if (ManageBuffers::GetBufferPosition(
                               buf + begin, i - begin + 1, 0, blockBegin.data(),
                               static_cast<int>(blockBegin.size())) >= 0) {
                    mode = BINARY;
                    dataBegin = i + 1;
                } else {
                    AddTagField(buf, begin, i);
                }
                break;
            case TEXT:
                if (c != 0) break;
                mode = OUTSIDE;
                {
                    ProtocollFieldInfo* field = new ProtocollFieldInfo();
                    field->SetData(buf + begin, static_cast<size_t>(i - begin + 1));
                    field->iFieldType = FTYPE_STRING_VALUE;
                    field->ulByteSum = ManageBuffers::CalcChecksum(
                        buf, static_cast<unsigned long>(begin), static_cast<unsigned long>(i));
                    field->BuildText(false);
                    Log::WriteLogP(kFunction, "Found Field: Value TEXT: %s", field->szText);
                    vFields.push_back(field);
                }
                break;
            case BINARY:
                if (i - dataBegin + 1 < blockEndSize ||
                    memcmp(buf + i - blockEndSize + 1, blockEnd.data(), blockEnd.size()) != 0) {
                    break;
                }
                mode = OUTSIDE;
                {
                    ProtocollFieldInfo* field = new ProtocollFieldInfo();
                    int dataSize = i - blockEndSize + 1 - dataBegin;
                    field->SetData(buf + dataBegin, static_cast<size_t>(dataSize));
                    field->iFieldType = FTYPE_VDATABYTES;
                    field->ulByteSum = ManageBuffers::CalcChecksum(
                        buf, static_cast<unsigned long>(begin), static_cast<unsigned long>(i));
                    Log::WriteLogP(kFunction, "Found Field: Value BINARY: Size=%d", dataSize);
                    vFields.push_back(field);
                }
                break;
        }
    }
    // A field still open at the end of the buffer is dropped.
    LogFields();
    Log::WriteLog(kFunction, "End");
    return static_cast<int>(vFields.size());
}

void ProtocollFields::LogFields() const {
    static const char* kFunction = "CreateFields";
    Log::WriteLog(kFunction, "Fields Found: Begin");
    for (const ProtocollFieldInfo* field : vFields) {
        switch (field->iFieldType) {
            case FTYPE_STX:
                Log::WriteLog(kFunction, " -> [STX]");
                break;
            case FTYPE_ETX:
                Log::WriteLog(kFunction, " -> [ETX]");
                break;
            case FTYPE_ACK:
                Log::WriteLog(kFunction, " -> [ACK]");
                break;
            case FTYPE_NACK:
                Log::WriteLog(kFunction, " -> [NACK]");
                break;
            case FTYPE_VDATABYTES:
                Log::WriteLogP(kFunction, " -> DATABYTES size %d", field->iFieldSize);
                break;
            default:
                Log::WriteLogP(kFunction, " -> %s", field->szText != nullptr ? field->szText : "");
                break;
        }
    }
    Log::WriteLog(kFunction, "Fields Found: End");
}

bool ProtocollFields::CheckAnswer(PrinterSetError* err) {
    static const char* kFunction = "CheckAnswer";
    Log::WriteLog(kFunction, "Begin");
    if (FieldOf(0, FTYPE_STX) == nullptr) {
        Log::WriteLog(kFunction, "FTYPE_STX Error");
        if (err != nullptr) *err = ERROR_MALFORMED;
        return true;
    }
    if (FieldOf(1, FTYPE_VCMDID_VALUE) == nullptr) {
        Log::WriteLog(kFunction, "Command ID Error");
        if (err != nullptr) *err = ERROR_MALFORMED;
        return true;
    }
    if (FieldOf(2, FTYPE_NACK) == nullptr) {
        Log::WriteLog(kFunction, "FTYPE_NACK Not Found");
        return false;
    }
    const ProtocollFieldInfo* tag = FieldOf(3, FTYPE_VSTRING_VALUE);
    if (tag == nullptr) {
        Log::WriteLog(kFunction, "Error Code Not OK");
        return false;
    }
    int code = PrinterErrorNumber(tag->szText);
    if (code < 100) code += 100;
    if (err != nullptr) *err = code;
    Log::WriteLogP(kFunction, "Error Code %d from printer (SW Code %d)", code, code);
    Log::WriteLog(kFunction, "End");
    return true;
}

bool ProtocollFields::CheckAnswer() {
    PrinterSetError discarded = 0;
    return CheckAnswer(&discarded);
}

ProtocollFieldInfo* ProtocollFields::FieldOf(int index, int type) const {
    if (index < 0 || static_cast<size_t>(index) >= vFields.size()) return nullptr;
    ProtocollFieldInfo* field = vFields[static_cast<size_t>(index)];
    return field->iFieldType == type ? field : nullptr;
}

ProtocollFieldInfo* ProtocollFields::IntField(int index, const char* function) const {
    ProtocollFieldInfo* field = FieldOf(index, FTYPE_VINT_VALUE);
    if (field == nullptr) Log::WriteLog(function, "FTYPE_VINT_VALUE Error");
    return field;
}

ProtocollFieldInfo* ProtocollFields::StrField(int index, const char* function) const {
    ProtocollFieldInfo* field = FieldOf(index, FTYPE_VSTRING_VALUE);
    if (field == nullptr) Log::WriteLog(function, "FTYPE_VSTRING_VALUE Error");
    return field;
}

ProtocollFieldInfo* ProtocollFields::TextField(int index, const char* function) const {
    ProtocollFieldInfo* field = FieldOf(index, FTYPE_STRING_VALUE);
    if (field == nullptr) Log::WriteLog(function, "FTYPE_STRING_VALUE Error");
    return field;
}

ProtocollFieldInfo* ProtocollFields::BinField(int index, const char* function) const {
    ProtocollFieldInfo* field = FieldOf(index, FTYPE_VDATABYTES);
    if (field == nullptr) Log::WriteLog(function, "FTYPE_VDATABYTES Error");
    return field;
}

bool ProtocollFields::CheckChecksum(int first, int last, const char* function) const {
    unsigned long sum = 0;
    for (int i = first; i <= last && static_cast<size_t>(i) < vFields.size(); ++i) {
        sum += vFields[static_cast<size_t>(i)]->ulByteSum;
    }
    return CheckChecksumSum(last + 1, sum, function);
}

bool ProtocollFields::CheckChecksumSum(int index, unsigned long sum, const char* function) const {
    const ProtocollFieldInfo* field = IntField(index, function);
    if (field == nullptr) return false;
    if (static_cast<unsigned long>(field->iValue) != (sum & 0xFFu)) {
        Log::WriteLog(function, "Checksum Error");
        return false;
    }
    return true;
}

void ProtocollFields::ReleaseSetupItem(void* item, OBJTYPE objType) {
    if (item == nullptr) return;
    switch (objType) {
        case OBJTYPE_NONE:
            delete[] static_cast<char*>(item);
            break;
        case OBJTYPE_PROTVERSION:
            delete static_cast<ProtocollVersion*>(item);
            break;
        case OBJTYPE_HEADERSETUP:
            delete static_cast<SetupItemHeader*>(item);
            break;
        case OBJTYPE_IDLIST:
            delete static_cast<SetupItemIDList*>(item);
            break;
        case OBJTYPE_LIFEINFO:
            delete static_cast<InfoItemPrnLifeInfo*>(item);
            break;
        case OBJTYPE_DEVICEINFO:
            delete static_cast<InfoItemPrnDeviceInfo*>(item);
            break;
        case OBJTYPE_HEADINFO:
            delete static_cast<InfoItemPrnHeadInfo*>(item);
            break;
        case OBJTYPE_DATAAVAILABLE:
            delete static_cast<ProtocollDataAvailable*>(item);
            break;
        case OBJTYPE_LOGOSTYPE:
            delete static_cast<LogosType*>(item);
            break;
        case OBJTYPE_LOGOSIDLIST:
            delete static_cast<LogosIDList*>(item);
            break;
        case OBJTYPE_MODULESLIST:
            delete static_cast<ModuleItemPrnModuleList*>(item);
            break;
        case OBJTYPE_TOOLS:
            delete static_cast<ToolsData*>(item);
            break;
        case OBJTYPE_MODULEFONT:
            delete[] static_cast<unsigned char*>(item);
            break;
        case OBJTYPE_UPGRADEINFO:
            delete static_cast<UpgradeDataInfo*>(item);
            break;
        case OBJTYPE_GENSTATUSINFO:
            delete static_cast<StatusInfoGenData*>(item);
            break;
        case OBJTYPE_EXTSTATUSINFO:
            delete static_cast<StatusInfoExtData*>(item);
            break;
        case OBJTYPE_STATUSDATA:
            delete static_cast<StatusData*>(item);
            break;
        case OBJTYPE_TYPELIST:
        case OBJTYPE_TYPENUMERIC:
        case OBJTYPE_TYPEDATETIME:
        case OBJTYPE_TYPESTRING:
            delete static_cast<SetupItemType*>(item);
            break;
        case OBJTYPE_LOGODATA:
            delete static_cast<LogoItem*>(item);
            break;
    }
}
