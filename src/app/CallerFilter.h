// One-click blocking: the phone book entry made or changed from a logged
// call, with no sheet to fill in. The list's menu, the popup and the tray
// all come here.
#pragma once

#include "records/LoggedCall.h"
#include "records/PhoneBook.h"

namespace rw {

// Gives the caller of `call` the filter type `filterType`. An entry the
// caller already has changes only its filter type; otherwise a new entry is
// made from the call (its name, its number or call type, the call's time,
// the default message), as Add would store it. Null when the call has no
// number or call type to key an entry on (still waiting for caller ID).
CPhoneBookEntry* SetCallerFilter(CPhoneBook& book, const CLoggedCall& call, int32_t filterType);

} // namespace rw
