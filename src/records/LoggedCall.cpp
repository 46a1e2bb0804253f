#include "records/LoggedCall.h"

#include "records/CallAction.h"
#include "records/Archive.h"
#include "records/LookupKey.h"
#include "records/StringTable.h"
#include "res/resource.h"

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

std::string CLoggedCall::ActionDisplayText() const {
    if (m_action != ActionKeyCheck || m_keyCheckDigit == '\0')
        return ActionText(m_action);
    std::string text = LoadResString(IDS_KEY_CHECK_PRESS);
    const size_t at = text.find("%s");
    if (at != std::string::npos)
        text.replace(at, 2, 1, m_keyCheckDigit);
    return text;
}

} // namespace rw
