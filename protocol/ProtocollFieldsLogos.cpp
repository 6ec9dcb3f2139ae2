// Decoding of the logo answers "<C48>", "<C49>" and "<C50>".
#include <cstring>
#include <memory>

#include "common/GenericFunctions.h"
#include "common/Log.h"
#include "protocol/LogoItem.h"
#include "protocol/LogosIDList.h"
#include "protocol/LogosType.h"
#include "protocol/ProtocollFields.h"

namespace {

const char* const kDecode = "CreateSetupItem_Prot100";
const char* const kLogoData = "CreateLogoData_Prot100";
constexpr int LOGO_INFO_FIELDS = 9;

bool Holds(const ProtocollFieldInfo* field, const char* part) {
    return field->szText != nullptr && strstr(field->szText, part) != nullptr;
}

}  // namespace

void* ProtocollFields::DecodeLogosType() {
    const ProtocollFieldInfo* count = IntField(2, kDecode);
    if (count == nullptr) return nullptr;
    Log::WriteLogP(kDecode, "Total Number of Logos Info : %d", count->iValue);
    std::unique_ptr<LogosType> logos(new LogosType());
    int index = 3;
    for (int n = 0; n < count->iValue; ++n, index += LOGO_INFO_FIELDS) {
        const ProtocollFieldInfo* kind = IntField(index, kDecode);
        const ProtocollFieldInfo* most = kind ? IntField(index + 1, kDecode) : nullptr;
        const ProtocollFieldInfo* format = most ? StrField(index + 2, kDecode) : nullptr;
        const ProtocollFieldInfo* flagY = format ? StrField(index + 3, kDecode) : nullptr;
        const ProtocollFieldInfo* mode = flagY ? StrField(index + 4, kDecode) : nullptr;
        const ProtocollFieldInfo* value6 = mode ? IntField(index + 5, kDecode) : nullptr;
        if (value6 == nullptr) return nullptr;
        const ProtocollFieldInfo* size = FieldOf(index + 6, FTYPE_VSTRING_VALUE);
        if (size == nullptr) size = FieldOf(index + 6, FTYPE_VINT_VALUE);
        if (size == nullptr) {
            Log::WriteLog(kDecode, "FTYPE_VSTRING_VALUE or FTYPE_VINT_VALUE Error");
            return nullptr;
        }
        const ProtocollFieldInfo* value8 = IntField(index + 7, kDecode);
        const ProtocollFieldInfo* value9 = value8 ? IntField(index + 8, kDecode) : nullptr;
        if (value9 == nullptr) return nullptr;

        std::unique_ptr<LogosInfo> info(new LogosInfo());
        info->iLogoKind = kind->iValue;
        info->iMaxLogos = most->iValue;
        info->bNotBitmap = !Holds(format, "BMP");
        info->bFlagY = Holds(flagY, "Y");
        if (Holds(mode, "M1")) info->iMode = 0;
        info->iValue6 = value6->iValue;
        info->bFixedSize = Holds(size, "F");
        int32_t sizes[2] = {0, 0};
        if (Holds(size, "X") &&
            GenericFunctions::ExtractIntFromString(size->Content(), sizes, 2) == 2) {
            info->uiWidth = static_cast<uint32_t>(sizes[0]);
            info->uiHeight = static_cast<uint32_t>(sizes[1]);
        }
        info->iValue8 = value8->iValue;
        info->iValue9 = value9->iValue;
        logos->vLogosInfo.push_back(info.release());
    }
    const ProtocollFieldInfo* preview = StrField(index, kDecode);
    if (preview == nullptr) return nullptr;
    if (Holds(preview, "Y")) {
        logos->bPrintPreview = true;
        Log::WriteLog(kDecode, "Printer supports PrintPreview");
    }
    logos->CalcNumMaxLogo();
    return logos.release();
}

void* ProtocollFields::DecodeLogosIDList() {
    std::unique_ptr<LogosIDList> list(new LogosIDList());
    if (!ReadIDList("Total Number of Logos ID : ", [&](uint64_t id) { list->AddID(id); })) {
        return nullptr;
    }
    return list.release();
}

void* ProtocollFields::CreateLogoData_Prot100(unsigned long* /*pulDataErrors*/, OBJTYPE* objType) {
    OBJTYPE discarded = OBJTYPE_NONE;
    if (objType == nullptr) objType = &discarded;
    Log::WriteLog(kLogoData, "Begin");
    if (FieldOf(0, FTYPE_STX) == nullptr) {
        Log::WriteLog(kLogoData, "FTYPE_STX Error");
        return nullptr;
    }
    if (FieldOf(1, FTYPE_VCMDID_VALUE) == nullptr) {
        Log::WriteLog(kLogoData, "FTYPE_VCMDID_VALUE Error");
        return nullptr;
    }
    *objType = OBJTYPE_LOGODATA;
    std::unique_ptr<LogoItem> logo(new LogoItem());
    const ProtocollFieldInfo* id = IntField(2, kLogoData);
    if (id == nullptr) return nullptr;
    logo->ulLogoID = static_cast<uint64_t>(id->iValue);
    Log::WriteLogP(kLogoData, "Logo ID Number : %d", id->iValue);
    const ProtocollFieldInfo* format = StrField(3, kLogoData);
    if (format == nullptr) return nullptr;
    logo->bBitmap = Holds(format, "BMP");
    Log::WriteLogP(kLogoData, "Logo Type : %d", logo->bBitmap ? 1 : 0);
    // The file name comes as a tag or as a text.
    const ProtocollFieldInfo* name = FieldOf(4, FTYPE_VSTRING_VALUE);
    if (name != nullptr) {
        logo->SetFileName(name->Content());
    } else if ((name = TextField(4, kLogoData)) != nullptr) {
        logo->SetFileName(name->szText);
    } else {
        return nullptr;
    }
    Log::WriteLogP(kLogoData, "Logo Filename : %s", logo->szFileName);
    // The image size too comes as a tag or as a text.
    const char* sizeText = nullptr;
    if (const ProtocollFieldInfo* size = FieldOf(5, FTYPE_VSTRING_VALUE)) {
        sizeText = size->Content();
    } else if (const ProtocollFieldInfo* size = FieldOf(5, FTYPE_STRING_VALUE)) {
        sizeText = size->szText;
    }
    int32_t sizes[2] = {0, 0};
    if (sizeText == nullptr || GenericFunctions::ExtractIntFromString(sizeText, sizes, 2) != 2) {
        Log::WriteLog(kLogoData, "Extract Image size Error");
        return nullptr;
    }
    logo->uiWidth = static_cast<uint32_t>(sizes[0]);
    logo->uiHeight = static_cast<uint32_t>(sizes[1]);
    Log::WriteLogP(kLogoData, "Logo Image Size : %s (%d x %d)", sizeText, sizes[0], sizes[1]);
    const ProtocollFieldInfo* dataSize = IntField(6, kLogoData);
    if (dataSize == nullptr) return nullptr;
    Log::WriteLogP(kLogoData, "Logo Image data Size : %d", dataSize->iValue);
    const ProtocollFieldInfo* image = BinField(7, kLogoData);
    if (image == nullptr) return nullptr;
    if (image->iFieldSize != dataSize->iValue) {
        Log::WriteLogP(kLogoData, "Image size Error (%d - %d)", dataSize->iValue,
                       image->iFieldSize);
        return nullptr;
    }
    if (!CheckChecksum(1, 7, kLogoData)) return nullptr;
    logo->SetData(image->pFieldData, image->iFieldSize);
    Log::WriteLog(kLogoData, "End");
    return logo.release();
}
