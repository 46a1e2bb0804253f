#include "records/StoredObject.h"

#include "records/LoggedCall.h"
#include "records/PhoneBookEntry.h"
#include "records/RingwardenPreferences.h"

namespace rw {

void CStoredObject::Serialize(CArchive&) {}

const CRuntimeClass* CStoredObject::FindClass(std::string_view name) {
    for (const CRuntimeClass* c : {&CPhoneBookEntry::runtimeClass, &CLoggedCall::runtimeClass,
                                   &CRingwardenPreferences::runtimeClass}) {
        if (name == c->className)
            return c;
    }
    return nullptr;
}

} // namespace rw
