#include "records/PhoneBookEntry.h"

#include "records/Archive.h"
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

void CPhoneBookEntry::Serialize(CArchive& ar) {
    // The file holds the fields in declaration order. A reader takes the
    // object's schema and ignores it: every schema reads alike.
    if (ar.IsLoading())
        (void)ar.GetObjectSchema();
    ar.Exchange(Name);
    ar.Exchange(Number);
    ar.Exchange(LookupKey);
    ar.Exchange(Notes);
    ar.Exchange(InPhoneBook);
    ar.Exchange(FilterType);
    ar.Exchange(UseOwnHours);
    ar.Exchange(AnswerMode);
    ar.Exchange(OwnHoursStart);
    ar.Exchange(OwnHoursEnd);
    ar.Exchange(MessageFile);
    ar.Exchange(LastCallTime);
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
