#include "records/PhoneBookEntry.h"

#include "records/LookupKey.h"
#include "records/StringTable.h"
#include "res/resource.h"

namespace rw {
namespace {

std::unique_ptr<CStoredObject> CreateEntry() {
    return std::make_unique<CPhoneBookEntry>();
}

bool IsFilterType(int32_t value) {
    return value >= FilterNeverBlock && value <= FilterAlwaysBlock;
}

} // namespace

const CRuntimeClass CPhoneBookEntry::runtimeClass = {"CPhoneBookEntry", kStoredSchema,
                                                     &CreateEntry};

CPhoneBookEntry::CPhoneBookEntry()
    : OwnHoursStart(CDateTime::TimeOfDay(23, 0)), OwnHoursEnd(CDateTime::TimeOfDay(8, 0)) {}

const CRuntimeClass* CPhoneBookEntry::GetRuntimeClass() const {
    return &runtimeClass;
}

void CPhoneBookEntry::MakeLookupKey() {
    LookupKey = MakeLookupKeyFrom(Number);
}

std::string CPhoneBookEntry::FilterTypeText() const {
    return IsFilterType(FilterType) ? LoadResString(IDS_FILTER_NEVER_BLOCK + FilterType)
                                    : std::string();
}

std::string FilterTypeLongText(int32_t filterType) {
    return IsFilterType(filterType) ? LoadResString(IDS_FILTER_NEVER_BLOCK_LONG + filterType)
                                    : std::string();
}

} // namespace rw
