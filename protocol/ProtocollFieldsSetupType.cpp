// Decoding of a setup item description ("<C4>") and its four value types.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>

#include "common/Log.h"
#include "protocol/ProtocollFields.h"
#include "protocol/SetupItemTypeDateTime.h"
#include "protocol/SetupItemTypeList.h"
#include "protocol/SetupItemTypeNumeric.h"
#include "protocol/SetupItemTypeString.h"

namespace {

const char* const kItemType = "CreateSetupItemType_Prot100";
const char* const kList = "ExtractIDInfo_TypeList_Prot100";
const char* const kNumeric = "ExtractIDInfo_TypeNumeric_Prot100";
const char* const kDateTime = "ExtractIDInfo_TypeDateTime_Prot100";
const char* const kString = "ExtractIDInfo_TypeString_Prot100";

// Days from 1970-01-01 to a day of the Gregorian calendar (any year).
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

// Seconds since the epoch of a local date and time, whatever the width of
// time_t. A year the system clock type may not hold is moved by whole 28-year
// cycles (same weekdays, same leap years) into one it holds, converted there
// with the local zone's rules and moved back. Normalises the fields of tm as
// mktime does.
bool LocalCalendarSeconds(std::tm& tm, int64_t& seconds) {
    constexpr int kFirstSafe = 1971, kLastSafe = 2037, kCycle = 28;
    const int year = tm.tm_year + 1900;
    int shift = 0;  // years subtracted
    if (year < kFirstSafe || year > kLastSafe) {
        const int window = kLastSafe - kCycle + 1;
        shift = year - (window + ((year - window) % kCycle + kCycle) % kCycle);
    }
    std::tm moved = tm;
    moved.tm_year -= shift;
    const time_t converted = mktime(&moved);
    if (converted == static_cast<time_t>(-1)) return false;
    const int64_t movedDays = DaysFromCivil(moved.tm_year + 1900, moved.tm_mon + 1, moved.tm_mday);
    const int64_t days =
        DaysFromCivil(moved.tm_year + 1900 + shift, moved.tm_mon + 1, moved.tm_mday);
    seconds = static_cast<int64_t>(converted) + (days - movedDays) * 86400;
    tm = moved;
    tm.tm_year += shift;
    return true;
}

void CountError(unsigned long* pulDataErrors) {
    if (pulDataErrors != nullptr) ++*pulDataErrors;
}

// View operation pair of one part of a link's operation text.
void FirstViewOperation(const std::string& part, SetupItemLink* link) {
    if (part.find('H') != std::string::npos) {
        link->iViewOperation1 = 0;
        link->iViewOperation2 = 1;
    } else if (part.find('D') != std::string::npos) {
        link->iViewOperation1 = 2;
        link->iViewOperation2 = 1;
    } else {
        link->iViewOperation1 = 1;
        link->iViewOperation2 = 0;
    }
}

int SecondViewOperation(const std::string& part) {
    if (part.find('H') != std::string::npos) return 0;
    if (part.find('D') != std::string::npos) return 2;
    return 1;
}

}  // namespace

bool ProtocollFields::ReadSetupLinks(int& index, unsigned long& sum, int itemId, int count,
                                     std::vector<std::unique_ptr<SetupItemLink>>& links) const {
    for (int n = 0; n < count; ++n) {
        const ProtocollFieldInfo* operation = FieldOf(index, FTYPE_VSTRING_VALUE);
        if (operation == nullptr) operation = FieldOf(index, FTYPE_VINT_VALUE);
        if (operation == nullptr) {
            Log::WriteLog(kItemType, "Link Params Error");
            return false;
        }
        std::unique_ptr<SetupItemLink> link(new SetupItemLink());
        link->iID = itemId;
        std::string text = operation->Content();
        size_t comma = text.find(',');
        if (comma == std::string::npos) {
            FirstViewOperation(text, link.get());
        } else {
            if (text.find(',', comma + 1) != std::string::npos) {
                Log::WriteLog(kItemType, "Link Params Error");
                return false;
            }
            FirstViewOperation(text.substr(0, comma), link.get());
            link->iViewOperation2 = SecondViewOperation(text.substr(comma + 1));
        }
        Log::WriteLogP(kItemType, "Link %d: View Operation :%d/%d", n + 1, link->iViewOperation1,
                       link->iViewOperation2);
        sum += operation->ulByteSum;
        const ProtocollFieldInfo* source = IntField(++index, kItemType);
        if (source == nullptr) return false;
        link->iIDSource = source->iValue;
        sum += source->ulByteSum;
        Log::WriteLogP(kItemType, "Link %d: ID Source :%d", n + 1, link->iIDSource);
        const ProtocollFieldInfo* value = IntField(++index, kItemType);
        if (value == nullptr) return false;
        link->iLinkIDValue = value->iValue;
        sum += value->ulByteSum;
        Log::WriteLogP(kItemType, "Link %d: Link ID Value :%d", n + 1, link->iLinkIDValue);
        ++index;
        links.push_back(std::move(link));
    }
    return true;
}

void* ProtocollFields::CreateSetupItemType_Prot100(unsigned long* pulDataErrors, OBJTYPE* objType) {
    OBJTYPE discarded = OBJTYPE_NONE;
    if (objType == nullptr) objType = &discarded;
    Log::WriteLog(kItemType, "Begin");
    if (FieldOf(0, FTYPE_STX) == nullptr) {
        Log::WriteLog(kItemType, "FTYPE_STX Error");
        return nullptr;
    }
    const ProtocollFieldInfo* command = FieldOf(1, FTYPE_VCMDID_VALUE);
    if (command == nullptr) {
        Log::WriteLog(kItemType, "FTYPE_VCMDID_VALUE Error");
        return nullptr;
    }
    unsigned long sum = command->ulByteSum;
    int index = 2;
    const ProtocollFieldInfo* id = IntField(index++, kItemType);
    if (id == nullptr) return nullptr;
    sum += id->ulByteSum;
    Log::WriteLogP(kItemType, "ID Number : %d", id->iValue);
    const ProtocollFieldInfo* linkCount = IntField(index++, kItemType);
    if (linkCount == nullptr) return nullptr;
    sum += linkCount->ulByteSum;
    Log::WriteLogP(kItemType, "Link Size : %d", linkCount->iValue);
    std::vector<std::unique_ptr<SetupItemLink>> links;
    if (!ReadSetupLinks(index, sum, id->iValue, linkCount->iValue, links)) return nullptr;

    const ProtocollFieldInfo* type = IntField(index++, kItemType);
    if (type == nullptr) return nullptr;
    sum += type->ulByteSum;
    Log::WriteLogP(kItemType, "Type : %d", type->iValue);
    void* (ProtocollFields::*extract)(int&, unsigned long&, unsigned long*, OBJTYPE*) = nullptr;
    switch (type->iValue) {
        case PROT_TYPE_LIST:
            Log::WriteLog(kItemType, "Type : PROT_TYPE_LIST");
            extract = &ProtocollFields::ExtractIDInfo_TypeList_Prot100;
            break;
        case PROT_TYPE_NUMERIC:
            Log::WriteLog(kItemType, "Type : PROT_TYPE_NUMERIC");
            extract = &ProtocollFields::ExtractIDInfo_TypeNumeric_Prot100;
            break;
        case PROT_TYPE_DATETIME:
            Log::WriteLog(kItemType, "Type : PROT_TYPE_DATETIME");
            extract = &ProtocollFields::ExtractIDInfo_TypeDateTime_Prot100;
            break;
        case PROT_TYPE_STRING:
            Log::WriteLog(kItemType, "Type : PROT_TYPE_STRING");
            extract = &ProtocollFields::ExtractIDInfo_TypeString_Prot100;
            break;
        default:
            Log::WriteLog(kItemType, "Extract Type Error");
            return nullptr;
    }
    std::unique_ptr<SetupItemType> item(
        static_cast<SetupItemType*>((this->*extract)(index, sum, pulDataErrors, objType)));
    if (!item) {
        Log::WriteLog(kItemType, "Extract Type Error");
        return nullptr;
    }
    item->iID = id->iValue;
    item->iType = type->iValue;
    for (std::unique_ptr<SetupItemLink>& link : links) item->vLinks.push_back(link.release());
    Log::WriteLogP(kItemType, "Add %d Links", static_cast<int>(item->vLinks.size()));
    if (!CheckChecksumSum(index, sum, kItemType)) return nullptr;
    Log::WriteLog(kItemType, "End");
    return item.release();
}

bool ProtocollFields::ReadTypeDescription(int& index, unsigned long& sum, SetupItemType* item,
                                          const char* function, bool fixedDescriptionLog,
                                          bool fixedAdditionalLog) const {
    const ProtocollFieldInfo* description = TextField(index++, function);
    if (description == nullptr) return false;
    sum += description->ulByteSum;
    item->SetDescription(description->szText);
    if (fixedDescriptionLog) {
        Log::WriteLog(function, "Description : {0}");
    } else {
        Log::WriteLogP(function, "Description : %s", item->szDescription);
    }
    const ProtocollFieldInfo* flag = IntField(index++, function);
    if (flag == nullptr) return false;
    sum += flag->ulByteSum;
    item->iHasAdditionalDescription = flag->iValue;
    if (flag->iValue == 0) return true;
    const ProtocollFieldInfo* additional = TextField(index++, function);
    if (additional == nullptr) return false;
    sum += additional->ulByteSum;
    item->SetAdditionalDescription(additional->szText);
    if (fixedAdditionalLog) {
        Log::WriteLog(function, "Additional Description : {0}");
    } else {
        Log::WriteLogP(function, "Additional Description : %s", item->szAdditionalDescription);
    }
    return true;
}

void* ProtocollFields::ExtractIDInfo_TypeList_Prot100(int& index, unsigned long& sum,
                                                      unsigned long* pulDataErrors,
                                                      OBJTYPE* objType) {
    *objType = OBJTYPE_TYPELIST;
    std::unique_ptr<SetupItemTypeList> item(new SetupItemTypeList());
    if (!ReadTypeDescription(index, sum, item.get(), kList, false, true)) return nullptr;
    const char* const labels[] = {"StartValue : %d", "DefaultValue : %d", "CurrentValue : %d",
                                  "Number of Elements : %d"};
    int values[4] = {0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) {
        const ProtocollFieldInfo* field = IntField(index++, kList);
        if (field == nullptr) return nullptr;
        sum += field->ulByteSum;
        values[i] = field->iValue;
        Log::WriteLogP(kList, labels[i], values[i]);
    }
    item->iStartValue = values[0];
    item->iDefaultValue = values[1];
    item->iCurrentValue = values[2];
    for (int i = 0; i < values[3]; ++i) {
        const ProtocollFieldInfo* element = TextField(index++, kList);
        if (element == nullptr) return nullptr;
        sum += element->ulByteSum;
        int value =
            static_cast<int>(static_cast<unsigned>(item->iStartValue) + static_cast<unsigned>(i));
        item->AddItem(element->szText, value);
        Log::WriteLogP(kList, "%d - %s", value, item->vItems.back().szText);
    }
    if (!item->HasValue(item->iCurrentValue)) {
        Log::WriteLogP(kList, "DATA Error - Current Value %d out of Range", item->iCurrentValue);
        CountError(pulDataErrors);
    }
    if (!item->HasValue(item->iDefaultValue)) {
        Log::WriteLogP(kList, "DATA Error - Default Value %d out of Range", item->iDefaultValue);
        CountError(pulDataErrors);
    }
    return item.release();
}

void* ProtocollFields::ExtractIDInfo_TypeNumeric_Prot100(int& index, unsigned long& sum,
                                                         unsigned long* pulDataErrors,
                                                         OBJTYPE* objType) {
    *objType = OBJTYPE_TYPENUMERIC;
    std::unique_ptr<SetupItemTypeNumeric> item(new SetupItemTypeNumeric());
    if (!ReadTypeDescription(index, sum, item.get(), kNumeric, false, false)) return nullptr;
    struct Value {
        float* target;
        const char* label;
        const char* error;
    };
    const Value values[] = {
        {&item->fMinValue, "MinValue %f", "Extract MinValue Error"},
        {&item->fMaxValue, "MaxValue %f", "Extract MaxValue Error"},
        {&item->fStepValue, "StepValue %f", "Extract StepValue Error"},
        {&item->fDefValue, "DefValue %f", "Extract DefValue Error"},
        {&item->fCurValue, "CurValue %f", "Extract CurValue Error"},
    };
    for (const Value& value : values) {
        const ProtocollFieldInfo* field = FieldOf(index, FTYPE_VSTRING_VALUE);
        if (field == nullptr) field = FieldOf(index, FTYPE_VINT_VALUE);
        if (field == nullptr || field->Content()[0] == '\0') {
            Log::WriteLog(kNumeric, value.error);
            return nullptr;
        }
        ++index;
        sum += field->ulByteSum;
        *value.target = field->fValue;
        Log::WriteLogP(kNumeric, value.label, static_cast<double>(field->fValue));
    }
    item->fNewValue = item->fCurValue;
    const SetupItemTypeNumeric& v = *item;
    if (!(v.fMinValue < v.fMaxValue)) {
        Log::WriteLog(kNumeric, "DATA Error - MinValue >= MaxValue ");
        CountError(pulDataErrors);
    }
    if (!(v.fStepValue > 0.0f)) {
        Log::WriteLog(kNumeric, "DATA Error - StepValue");
        CountError(pulDataErrors);
    }
    if (v.fDefValue < v.fMinValue) {
        Log::WriteLog(kNumeric, "DATA Error - DefValue < MinValue");
        CountError(pulDataErrors);
    }
    if (v.fDefValue > v.fMaxValue) {
        Log::WriteLog(kNumeric, "DATA Error - DefValue > MaxValue");
        CountError(pulDataErrors);
    }
    if (v.fCurValue < v.fMinValue) {
        Log::WriteLog(kNumeric, "DATA Error - CurValue < MinValue");
        CountError(pulDataErrors);
    }
    if (v.fCurValue > v.fMaxValue) {
        Log::WriteLog(kNumeric, "DATA Error - CurValue > MaxValue");
        CountError(pulDataErrors);
    }
    return item.release();
}

void* ProtocollFields::ExtractIDInfo_TypeDateTime_Prot100(int& index, unsigned long& sum,
                                                          unsigned long* /*pulDataErrors*/,
                                                          OBJTYPE* objType) {
    *objType = OBJTYPE_TYPEDATETIME;
    std::unique_ptr<SetupItemTypeDateTime> item(new SetupItemTypeDateTime());
    if (!ReadTypeDescription(index, sum, item.get(), kDateTime, false, false)) return nullptr;
    const ProtocollFieldInfo* field = FieldOf(index, FTYPE_VSTRING_VALUE);
    if (field == nullptr) {
        Log::WriteLog(kDateTime, "Extract Current Date / Time Error");
        return nullptr;
    }
    // "YYYY-MM-DD HH:MM:SS": digits at fixed places.
    const char* text = field->Content();
    static const int kDigits[] = {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18};
    bool valid = strlen(text) >= 19;
    for (int place : kDigits) {
        if (!valid) break;
        valid = text[place] >= '0' && text[place] <= '9';
    }
    if (!valid) {
        Log::WriteLog(kDateTime, "Extract Current Date / Time Value Error");
        return nullptr;
    }
    auto number = [text](int place, int digits) {
        int value = 0;
        for (int i = 0; i < digits; ++i) value = value * 10 + (text[place + i] - '0');
        return value;
    };
    // The printer sends the year in full.
    int year = number(0, 4);
    char rewritten[64];
    snprintf(rewritten, sizeof(rewritten), "%02d-%02d-%04d %02d:%02d:%02d", number(8, 2),
             number(5, 2), year, number(11, 2), number(14, 2), number(17, 2));
    std::tm local{};
    local.tm_isdst = -1;
    const char* end = strptime(rewritten, "%d-%m-%Y %H:%M:%S", &local);
    int64_t seconds = 0;
    if (end == nullptr || !LocalCalendarSeconds(local, seconds)) {
        Log::WriteLog(kDateTime, "Extract Current Date / Time Value Error");
        return nullptr;
    }
    ++index;
    sum += field->ulByteSum;
    item->tCurValue = seconds;
    item->tNewValue = seconds;
    char shown[64];
    strftime(shown, sizeof(shown), "%d-%m-%Y %H:%M:%S", &local);
    Log::WriteLogP(kDateTime, "Current Date / Time Value (dd/MM/yyyy HH:mm:ss):%s", shown);
    return item.release();
}

void* ProtocollFields::ExtractIDInfo_TypeString_Prot100(int& index, unsigned long& sum,
                                                        unsigned long* /*pulDataErrors*/,
                                                        OBJTYPE* objType) {
    *objType = OBJTYPE_TYPESTRING;
    std::unique_ptr<SetupItemTypeString> item(new SetupItemTypeString());
    if (!ReadTypeDescription(index, sum, item.get(), kString, true, false)) return nullptr;
    struct Number {
        int* target;
        const char* label;
        const char* error;
    };
    const Number numbers[] = {
        {&item->iMinLen, "MinLen %d", "Extract MinLen Error"},
        {&item->iMaxLen, "MaxLen %d", "Extract MaxLen Error"},
        {&item->iDataMask, "DataMask %d", "Extract DataMask Error"},
    };
    for (const Number& number : numbers) {
        const ProtocollFieldInfo* field = FieldOf(index++, FTYPE_VINT_VALUE);
        if (field == nullptr) {
            Log::WriteLog(kString, number.error);
            return nullptr;
        }
        sum += field->ulByteSum;
        *number.target = field->iValue;
        Log::WriteLogP(kString, number.label, field->iValue);
    }
    if (item->iDataMask == 0) Log::WriteLog(kString, "DataMask can't be 0");
    const ProtocollFieldInfo* def = FieldOf(index++, FTYPE_STRING_VALUE);
    if (def == nullptr) {
        Log::WriteLog(kString, "Extract DefValue Error");
        return nullptr;
    }
    sum += def->ulByteSum;
    snprintf(item->szDefValue, sizeof(item->szDefValue), "%s", def->szText);
    Log::WriteLogP(kString, "DefValue %s", item->szDefValue);
    const ProtocollFieldInfo* cur = FieldOf(index++, FTYPE_STRING_VALUE);
    if (cur == nullptr) {
        Log::WriteLog(kString, "Extract CurValue Error");
        return nullptr;
    }
    sum += cur->ulByteSum;
    snprintf(item->szCurValue, sizeof(item->szCurValue), "%s", cur->szText);
    snprintf(item->szNewValue, sizeof(item->szNewValue), "%s", cur->szText);
    Log::WriteLogP(kString, "CurValue %s", item->szCurValue);
    return item.release();
}
