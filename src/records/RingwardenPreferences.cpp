#include "records/RingwardenPreferences.h"

#include "records/Archive.h"

namespace rw {
namespace {

std::unique_ptr<CStoredObject> CreatePreferences() {
    return std::make_unique<CRingwardenPreferences>();
}

} // namespace

const CRuntimeClass CRingwardenPreferences::runtimeClass = {"CRingwardenPreferences", kStoredSchema,
                                                            &CreatePreferences};

CRingwardenPreferences::CRingwardenPreferences()
    : OutOfHoursStart(CDateTime::TimeOfDay(23, 0)), OutOfHoursEnd(CDateTime::TimeOfDay(8, 0)) {}

const CRuntimeClass* CRingwardenPreferences::GetRuntimeClass() const {
    return &runtimeClass;
}

void CRingwardenPreferences::Serialize(CArchive& ar) {
    // The file order: NotificationSeconds follows the two placements,
    // although the record declares it before them.
    if (ar.IsLoading())
        (void)ar.GetObjectSchema();
    ar.Exchange(OutOfHoursStart);
    ar.Exchange(OutOfHoursEnd);
    ar.Exchange(DefaultMessageFile);
    ar.Exchange(NonPhoneBookRule);
    ar.Exchange(StartMinimised);
    ar.Exchange(ShowNotification);
    ar.Exchange(MainPlacementValid);
    ar.Exchange(MainPlacement);
    ar.Exchange(NotifyPlacementValid);
    ar.Exchange(NotifyPlacement);
    ar.Exchange(NotificationSeconds);
    ar.Exchange(AllowSuspend);
    ar.Exchange(SecurityKey1);
    ar.Exchange(SecurityKey2);
    ar.Exchange(SuspendMinutes);
}

} // namespace rw
