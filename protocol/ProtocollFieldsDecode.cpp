// Decoding of answers into records: the dispatch by command tag and the
// tags with a plain layout.
#include <cstdio>
#include <cstring>
#include <memory>

#include "common/GenericConst.h"
#include "common/Log.h"
#include "protocol/InfoItemPrnDeviceInfo.h"
#include "protocol/InfoItemPrnHeadInfo.h"
#include "protocol/InfoItemPrnLifeInfo.h"
#include "protocol/ModuleItemPrnModuleList.h"
#include "protocol/ProtocollDataAvailable.h"
#include "protocol/ProtocollFields.h"
#include "protocol/ProtocollVersion.h"
#include "protocol/SetupItemHeader.h"
#include "protocol/SetupItemIDList.h"
#include "protocol/ToolsData.h"
#include "protocol/UpgradeDataInfo.h"

namespace {

const char* const kDecode = "CreateSetupItem_Prot100";

bool IsSupportedVersion(uint64_t version) {
    for (int supported : GenericConst::Table_ProtocollVersionsSupported) {
        if (static_cast<uint64_t>(supported) == version) return true;
    }
    return false;
}

}  // namespace

void* ProtocollFields::CreateSetupItem(unsigned long* pulDataErrors, ProtocollVersion* version,
                                       OBJTYPE* objType) {
    static const char* kFunction = "CreateSetupItem";
    OBJTYPE discarded = OBJTYPE_NONE;
    if (objType == nullptr) objType = &discarded;
    Log::WriteLog(kFunction, "Begin");
    *objType = OBJTYPE_NONE;
    uint64_t current = version != nullptr ? version->ulVersion : 100;
    Log::WriteLogP(kFunction, "Current Protocoll Version : %d", static_cast<int>(current));
    void* item = nullptr;
    if (current == 100) item = CreateSetupItem_Prot100(pulDataErrors, objType);
    Log::WriteLog(kFunction, "End");
    return item;
}

void* ProtocollFields::CreateSetupItem_Prot100(unsigned long* pulDataErrors, OBJTYPE* objType) {
    OBJTYPE discarded = OBJTYPE_NONE;
    if (objType == nullptr) objType = &discarded;
    Log::WriteLog(kDecode, "Begin");
    if (FieldOf(0, FTYPE_STX) == nullptr) {
        Log::WriteLog(kDecode, "FTYPE_STX Error");
        return nullptr;
    }
    const ProtocollFieldInfo* command = FieldOf(1, FTYPE_VCMDID_VALUE);
    if (command == nullptr) {
        Log::WriteLog(kDecode, "FTYPE_VCMDID_VALUE Error");
        return nullptr;
    }
    struct Decoding {
        const char* tag;
        OBJTYPE type;
        void* (ProtocollFields::*decode)();
    };
    static const Decoding kDecodings[] = {
        {"<C1>", OBJTYPE_PROTVERSION, &ProtocollFields::DecodeProtocolVersion},
        {"<C2>", OBJTYPE_HEADERSETUP, &ProtocollFields::DecodeHeaderSetup},
        {"<C3>", OBJTYPE_IDLIST, &ProtocollFields::DecodeIDList},
        {"<C32>", OBJTYPE_LIFEINFO, &ProtocollFields::DecodeLifeInfo},
        {"<C33>", OBJTYPE_DEVICEINFO, &ProtocollFields::DecodeDeviceInfo},
        {"<C35>", OBJTYPE_HEADINFO, &ProtocollFields::DecodeHeadInfo},
        {"<C40>", OBJTYPE_DATAAVAILABLE, &ProtocollFields::DecodeDataAvailable},
        {"<C48>", OBJTYPE_LOGOSTYPE, &ProtocollFields::DecodeLogosType},
        {"<C49>", OBJTYPE_LOGOSIDLIST, &ProtocollFields::DecodeLogosIDList},
        {"<C64>", OBJTYPE_MODULESLIST, &ProtocollFields::DecodeModulesList},
        {"<C80>", OBJTYPE_TOOLS, &ProtocollFields::DecodeTools},
        {"<C81>", OBJTYPE_NONE, &ProtocollFields::DecodeToolLines},
        {"<C96>", OBJTYPE_MODULEFONT, &ProtocollFields::DecodeModuleFont},
        {"<C112>", OBJTYPE_UPGRADEINFO, &ProtocollFields::DecodeUpgradeInfo},
        {"<C128>", OBJTYPE_GENSTATUSINFO, &ProtocollFields::DecodeGenStatusInfo},
        {"<C129>", OBJTYPE_EXTSTATUSINFO, &ProtocollFields::DecodeExtStatusInfo},
        {"<C138>", OBJTYPE_STATUSDATA, &ProtocollFields::DecodeStatusData},
    };
    // Setup item descriptions and stored logos have decodings of their own.
    if (strcmp(command->szText, "<C4>") == 0) {
        return CreateSetupItemType_Prot100(pulDataErrors, objType);
    }
    if (strcmp(command->szText, "<C50>") == 0) {
        return CreateLogoData_Prot100(pulDataErrors, objType);
    }
    for (const Decoding& decoding : kDecodings) {
        if (strcmp(command->szText, decoding.tag) != 0) continue;
        *objType = decoding.type;
        void* item = (this->*decoding.decode)();
        if (item != nullptr) Log::WriteLog(kDecode, "End");
        return item;
    }
    return nullptr;
}

template <typename Record>
bool ProtocollFields::ReadLines(Record* record, int first, int count, const char* function,
                                bool numbered) const {
    for (int i = 0; i < count; ++i) {
        const ProtocollFieldInfo* line = TextField(first + i, function);
        if (line == nullptr) return false;
        record->AddTextLine(line->szText);
        if (numbered) Log::WriteLogP(function, "%02d - %s", i + 1, line->szText);
    }
    return true;
}

void* ProtocollFields::DecodeProtocolVersion() {
    const ProtocollFieldInfo* field = FieldOf(2, FTYPE_VSTRING_VALUE);
    // The version is read from the digits at bytes 1, 3 and 4 ("<1.00>").
    const unsigned char* d = field != nullptr ? field->pFieldData : nullptr;
    auto digit = [](unsigned char c) { return c >= '0' && c <= '9'; };
    if (field == nullptr || field->iFieldSize < 5 || !digit(d[1]) || !digit(d[3]) || !digit(d[4])) {
        Log::WriteLog(kDecode, "FTYPE_VSTRING_VALUE Error");
        return nullptr;
    }
    uint64_t version = 100u * (d[1] - '0') + 10u * (d[3] - '0') + (d[4] - '0');
    Log::WriteLogP(kDecode, "Printer Protocoll Version : %d", static_cast<int>(version));
    if (IsSupportedVersion(version)) {
        Log::WriteLog(kDecode, "Printer Protocoll Version Supported");
    } else {
        Log::WriteLog(kDecode, "Printer Protocoll Version Not Supported");
    }
    return new ProtocollVersion(version);
}

void* ProtocollFields::DecodeHeaderSetup() {
    const ProtocollFieldInfo* count = IntField(2, kDecode);
    if (count == nullptr) return nullptr;
    Log::WriteLogP(kDecode, "Number of Header Lines : %d", count->iValue);
    std::unique_ptr<SetupItemHeader> header(new SetupItemHeader());
    if (!ReadLines(header.get(), 3, count->iValue, kDecode, true)) return nullptr;
    return header.release();
}

bool ProtocollFields::ReadIDList(const char* countLabel,
                                 const std::function<void(uint64_t id)>& add) const {
    const ProtocollFieldInfo* count = IntField(2, kDecode);
    if (count == nullptr) return false;
    Log::WriteLogP(kDecode, "%s%d", countLabel, count->iValue);
    int i = 0;
    for (; i < count->iValue; ++i) {
        const ProtocollFieldInfo* id = IntField(3 + i, kDecode);
        if (id == nullptr) return false;
        add(static_cast<uint64_t>(id->iValue));
        Log::WriteLogP(kDecode, "%02d - %d", i + 1, id->iValue);
    }
    return CheckChecksum(1, 2 + i, kDecode);
}

void* ProtocollFields::DecodeIDList() {
    std::unique_ptr<SetupItemIDList> list(new SetupItemIDList());
    if (!ReadIDList("Total Number of ID : ", [&](uint64_t id) { list->AddID(id); })) return nullptr;
    return list.release();
}

template <typename Record>
void* ProtocollFields::DecodeInfoLines(const char* countLabel) {
    const ProtocollFieldInfo* count = IntField(2, kDecode);
    if (count == nullptr) return nullptr;
    Log::WriteLogP(kDecode, "%s%d", countLabel, count->iValue);
    std::unique_ptr<Record> record(new Record());
    if (!ReadLines(record.get(), 3, count->iValue, kDecode, false)) return nullptr;
    return record.release();
}

void* ProtocollFields::DecodeLifeInfo() {
    return DecodeInfoLines<InfoItemPrnLifeInfo>("Number of Printer Life Info Lines : ");
}

void* ProtocollFields::DecodeDeviceInfo() { return DecodeInfoLines<InfoItemPrnDeviceInfo>(""); }

void* ProtocollFields::DecodeHeadInfo() { return DecodeInfoLines<InfoItemPrnHeadInfo>(""); }

void* ProtocollFields::DecodeDataAvailable() {
    const ProtocollFieldInfo* bits = IntField(2, kDecode);
    if (bits == nullptr) return nullptr;
    ProtocollDataAvailable* available = new ProtocollDataAvailable();
    available->ulAvailable = static_cast<uint32_t>(bits->iValue);
    Log::WriteLogP(kDecode, "Protocoll Data Available : %d", bits->iValue);
    return available;
}

void* ProtocollFields::DecodeModulesList() {
    const ProtocollFieldInfo* count = IntField(2, kDecode);
    if (count == nullptr) return nullptr;
    Log::WriteLogP(kDecode, "Number of Modules List : %d", count->iValue);
    std::unique_ptr<ModuleItemPrnModuleList> list(new ModuleItemPrnModuleList());
    if (!ReadLines(list.get(), 3, count->iValue, kDecode, false)) return nullptr;
    return list.release();
}

void* ProtocollFields::DecodeTools() {
    const ProtocollFieldInfo* mask1 = IntField(2, kDecode);
    if (mask1 == nullptr) return nullptr;
    const ProtocollFieldInfo* mask2 = IntField(3, kDecode);
    if (mask2 == nullptr) return nullptr;
    ToolsData* tools = new ToolsData();
    tools->uiToolsMask1 = static_cast<uint32_t>(mask1->iValue);
    tools->uiToolsMask2 = static_cast<uint32_t>(mask2->iValue);
    Log::WriteLogP(kDecode, "Tools1 : 0x%08x", tools->uiToolsMask1);
    Log::WriteLogP(kDecode, "Tools1 : 0x%08x", tools->uiToolsMask2);
    return tools;
}

void* ProtocollFields::DecodeToolLines() {
    const ProtocollFieldInfo* count = IntField(3, kDecode);
    if (count == nullptr) return nullptr;
    Log::WriteLogP(kDecode, "Number of strings: %d", count->iValue);
    int lines = count->iValue < 0 ? 0 : count->iValue;
    // Every announced line must be there before the buffer is sized by the count.
    for (int i = 0; i < lines; ++i) {
        if (TextField(4 + i, kDecode) == nullptr) return nullptr;
    }
    if (lines > TOOL_LINES_MAX) {
        Log::WriteLogP(kDecode, "Only the first %d lines are kept", TOOL_LINES_MAX);
        lines = TOOL_LINES_MAX;
    }
    size_t size = 2 + static_cast<size_t>(lines) * TOOL_LINE_SLOT;
    char* buffer = new char[size]();
    char count2[3];
    snprintf(count2, sizeof(count2), "%02d", lines);
    memcpy(buffer, count2, 2);
    for (int i = 0; i < lines; ++i) {
        const char* text = vFields[static_cast<size_t>(4 + i)]->szText;
        snprintf(buffer + 2 + static_cast<size_t>(i) * TOOL_LINE_SLOT, TOOL_LINE_MAX + 1, "%s",
                 text);
        Log::WriteLogP(kDecode, "Line string: %s", text);
    }
    return buffer;
}

void* ProtocollFields::DecodeModuleFont() {
    const ProtocollFieldInfo* size = IntField(2, kDecode);
    if (size == nullptr) return nullptr;
    Log::WriteLogP(kDecode, "Module Font Size Expected : %d", size->iValue);
    const ProtocollFieldInfo* block = BinField(3, kDecode);
    if (block == nullptr) return nullptr;
    if (block->iFieldSize != size->iValue) {
        Log::WriteLogP(kDecode, "Buffer Size error: %d - %d", size->iValue, block->iFieldSize);
        return nullptr;
    }
    if (!CheckChecksum(1, 3, kDecode)) return nullptr;
    unsigned char* bytes = new unsigned char[block->iFieldSize > 0 ? block->iFieldSize : 1];
    if (block->iFieldSize > 0) {
        memcpy(bytes, block->pFieldData, static_cast<size_t>(block->iFieldSize));
    }
    return bytes;
}

void* ProtocollFields::DecodeUpgradeInfo() {
    std::unique_ptr<UpgradeDataInfo> info(new UpgradeDataInfo());
    const ProtocollFieldInfo* mode = StrField(2, kDecode);
    if (mode == nullptr) return nullptr;
    if (!info->SetUpgradeMode(mode->szText)) {
        Log::WriteLog(kDecode, "SetUpgradeMode Error");
        return nullptr;
    }
    const ProtocollFieldInfo* settings = vFields.size() > 3 ? vFields[3] : nullptr;
    int kind = settings != nullptr ? settings->iFieldType : FTYPE_NONE;
    if (kind == FTYPE_VSTRING_VALUE) {
        if (!info->SetUpgradeConfigurationSettings(settings->szText)) {
            Log::WriteLog(kDecode, "SetUpgradeConfigurationSettings Error(FTYPE_VSTRING_VALUE)");
            return nullptr;
        }
    } else if (kind == FTYPE_EMPTY) {
        if (!info->SetUpgradeConfigurationSettings(" ")) {
            Log::WriteLog(kDecode, "SetUpgradeConfigurationSettings Error(FTYPE_EMPTY)");
            return nullptr;
        }
    } else if (kind == FTYPE_VINT_VALUE) {
        char text[16];
        snprintf(text, sizeof(text), "%d;", settings->iValue);
        if (!info->SetUpgradeConfigurationSettings(text)) {
            Log::WriteLog(kDecode, "SetUpgradeConfigurationSettings Error(FTYPE_VINT_VALUE)");
            return nullptr;
        }
    } else {
        Log::WriteLog(kDecode, "FTYPE_VSTRING_VALUE/FTYPE_EMPTY/FTYPE_VINT_VALUE Error");
        return nullptr;
    }
    const ProtocollFieldInfo* ids = StrField(4, kDecode);
    if (ids == nullptr) return nullptr;
    if (!info->SetUpgradeDeviceIDs(ids->szText)) {
        Log::WriteLog(kDecode, "SetUpgradeDeviceIDs Error");
        return nullptr;
    }
    return info.release();
}
