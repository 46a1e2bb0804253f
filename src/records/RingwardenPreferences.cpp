#include "records/RingwardenPreferences.h"

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

} // namespace rw
