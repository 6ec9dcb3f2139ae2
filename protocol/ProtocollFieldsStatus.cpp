// Decoding of the status answers "<C128>", "<C129>" and "<C138>".
#include <cstring>
#include <memory>

#include "common/GenericFunctions.h"
#include "common/Log.h"
#include "protocol/ProtocollFields.h"
#include "protocol/StatusData.h"
#include "protocol/StatusInfoExtData.h"
#include "protocol/StatusInfoGenData.h"

namespace {

const char* const kDecode = "CreateSetupItem_Prot100";
constexpr int STATUS_BLOCK_SIZE = 4;

}  // namespace

bool ProtocollFields::ReadStatusBits(int index, int count, bool extended,
                                     std::vector<std::unique_ptr<StatusBitInfo>>& bits) const {
    for (int n = 0; n < count; ++n) {
        std::unique_ptr<StatusBitInfo> bit(new StatusBitInfo());
        const ProtocollFieldInfo* place = StrField(index++, kDecode);
        if (place == nullptr) return false;
        if (!bit->AddByteBit(place->Content())) {
            Log::WriteLog(kDecode, "Add Byte/Bit Error");
            return false;
        }
        Log::WriteLogP(kDecode, "Byte : %d", bit->iByte);
        if (extended) {
            Log::WriteLog(kDecode, "Bit : {0}");
        } else {
            Log::WriteLogP(kDecode, "Bit : %d", bit->iBit);
        }
        // Identifier and signal family are numbers: accepted as plain or string tags.
        const ProtocollFieldInfo* id = FieldOf(index, FTYPE_VSTRING_VALUE);
        if (id == nullptr) id = FieldOf(index, FTYPE_VINT_VALUE);
        ++index;
        if (id == nullptr || !bit->AddId(id->Content())) {
            Log::WriteLog(kDecode, "Add Bit ID Error");
            return false;
        }
        Log::WriteLogP(kDecode, "Id : %d", bit->iID);
        const ProtocollFieldInfo* description = TextField(index++, kDecode);
        if (description == nullptr) return false;
        bit->SetDescription(description->szText);
        Log::WriteLogP(kDecode, "Description : %s", bit->szDescription);
        const ProtocollFieldInfo* flag = IntField(index++, kDecode);
        if (flag == nullptr) return false;
        if (flag->iValue != 0) {
            const ProtocollFieldInfo* additional = TextField(index++, kDecode);
            if (additional == nullptr) return false;
            bit->SetAdditionalDescription(additional->szText);
            Log::WriteLogP(kDecode, "Additional Description : %s", bit->szAdditionalDescription);
        }
        const ProtocollFieldInfo* signal = FieldOf(index, FTYPE_VSTRING_VALUE);
        if (signal == nullptr) signal = FieldOf(index, FTYPE_VINT_VALUE);
        ++index;
        if (signal == nullptr || !bit->AddSignal(signal->Content())) {
            Log::WriteLog(kDecode, "Add Signal Family Error");
            return false;
        }
        Log::WriteLogP(kDecode, "Signal Family : %d", bit->eSignalFamily);
        bits.push_back(std::move(bit));
    }
    return true;
}

namespace {

// Hands the decoded bits over to the record, which owns them from then on.
void MoveBits(std::vector<std::unique_ptr<StatusBitInfo>>& decoded, StatusInfoBits* record) {
    std::vector<StatusBitInfo*> bits;
    for (std::unique_ptr<StatusBitInfo>& bit : decoded) bits.push_back(bit.release());
    record->AddStatusBitInfoList(&bits);
}

}  // namespace

void* ProtocollFields::DecodeGenStatusInfo() {
    std::unique_ptr<StatusInfoGenData> info(new StatusInfoGenData());
    const ProtocollFieldInfo* ports = IntField(2, kDecode);
    if (ports == nullptr) return nullptr;
    info->SetStatusPorts(ports->iValue);
    Log::WriteLogP(kDecode, "StatusPorts : %d", ports->iValue);
    const ProtocollFieldInfo* block = BinField(3, kDecode);
    if (block == nullptr) return nullptr;
    if (block->iFieldSize != STATUS_BLOCK_SIZE) {
        Log::WriteLogP(kDecode, "Buffer Size error: %d - %d", STATUS_BLOCK_SIZE, block->iFieldSize);
        return nullptr;
    }
    info->ulBitMaskSupported = GenericFunctions::ConvertByteBufferToULong4(block->pFieldData);
    Log::WriteLogP(kDecode, "Bit mask supported : 0x%08x",
                   static_cast<unsigned>(info->ulBitMaskSupported));
    const ProtocollFieldInfo* count = IntField(4, kDecode);
    if (count == nullptr) return nullptr;
    Log::WriteLogP(kDecode, "Number of bits to explain : %d", count->iValue);
    std::vector<std::unique_ptr<StatusBitInfo>> bits;
    if (!ReadStatusBits(5, count->iValue, false, bits)) return nullptr;
    MoveBits(bits, info.get());
    return info.release();
}

void* ProtocollFields::DecodeExtStatusInfo() {
    std::unique_ptr<StatusInfoExtData> info(new StatusInfoExtData());
    const ProtocollFieldInfo* ports = IntField(2, kDecode);
    if (ports == nullptr) return nullptr;
    info->SetStatusPorts(ports->iValue);
    Log::WriteLogP(kDecode, "StatusPorts : %d", ports->iValue);
    const ProtocollFieldInfo* bytes = IntField(3, kDecode);
    if (bytes == nullptr) return nullptr;
    info->iNumBytes = bytes->iValue;
    Log::WriteLogP(kDecode, "Number of bytes of extended status : %d", bytes->iValue);
    const ProtocollFieldInfo* count = IntField(4, kDecode);
    if (count == nullptr) return nullptr;
    Log::WriteLogP(kDecode, "Number of bits to explain : %d", count->iValue);
    std::vector<std::unique_ptr<StatusBitInfo>> bits;
    if (!ReadStatusBits(5, count->iValue, true, bits)) return nullptr;
    MoveBits(bits, info.get());
    return info.release();
}

void* ProtocollFields::DecodeStatusData() {
    const ProtocollFieldInfo* block = BinField(2, kDecode);
    if (block == nullptr) return nullptr;
    if (block->iFieldSize != STATUS_BLOCK_SIZE) {
        Log::WriteLogP(kDecode, "Buffer Size error: %d - %d", STATUS_BLOCK_SIZE, block->iFieldSize);
        return nullptr;
    }
    StatusData* status = new StatusData();
    memcpy(status->ucStatus, block->pFieldData, STATUS_BLOCK_SIZE);
    return status;
}
