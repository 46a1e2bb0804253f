#include "records/LoggedCall.h"

#include "records/CallAction.h"
#include "records/Archive.h"
#include "records/LookupKey.h"

namespace rw {
namespace {

std::unique_ptr<CStoredObject> CreateLoggedCall() {
    return std::make_unique<CLoggedCall>();
}

} // namespace

const CRuntimeClass CLoggedCall::runtimeClass = {"CLoggedCall", kStoredSchema, &CreateLoggedCall};

const CRuntimeClass* CLoggedCall::GetRuntimeClass() const {
    return &runtimeClass;
}

void CLoggedCall::Serialize(CArchive& ar) {
    // Only the name is ever stored.
    if (ar.IsLoading())
        (void)ar.GetObjectSchema();
    ar.Exchange(m_name);
}

void CLoggedCall::MakeLookupKey() {
    m_lookupKey = MakeLookupKeyFrom(m_number);
}

bool CLoggedCall::IsBlockingAction() const {
    return rw::IsBlockingAction(m_action);
}

bool CLoggedCall::IsSuspendableAction() const {
    return rw::IsSuspendableAction(m_action);
}

} // namespace rw
