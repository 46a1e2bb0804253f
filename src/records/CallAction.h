// The outcome of screening one call. Values 1-4 come from a phone book
// entry, 5-8 from the default rule for callers without one, 9 from either
// while a block suspension is in force. 10 replaces a block whose answer
// the line refused or failed: the call was left to ring. 11 lets through a
// caller who rings again soon after a block made by the time of day. 12
// and 13 are the overrides': every call rings, or every caller who would
// ring is blocked as at night. 14 to 17 are the key check's: asked to
// press a key, pressed it, rings through on the next call (or verified),
// and failed it (blocked as the default rule would). 18 leaves a call
// alone that came while another call on the line was up: answering it
// would put that call on hold or play into it.
#pragma once

#include <cstdint>
#include <string>

namespace rw {

enum CallAction : int32_t {
    ActionWaitingForCallerId = 0,
    ActionPermitNeverBlock = 1,
    ActionPermitByTime = 2,
    ActionBlockAlways = 3,
    ActionBlockByTime = 4,
    ActionPermitNeverBlockDefault = 5,
    ActionPermitByTimeDefault = 6,
    ActionBlockAlwaysDefault = 7,
    ActionBlockByTimeDefault = 8,
    ActionPermitBlockSuspended = 9,
    ActionBlockFailed = 10,
    ActionPermitRepeatedCall = 11,
    ActionPermitEveryCallRings = 12,
    ActionBlockQuiet = 13,
    ActionKeyCheck = 14,
    ActionCheckedKeyPressed = 15,
    ActionPermitCheckedCaller = 16,
    ActionBlockNoKeyPressed = 17,
    ActionNotAnsweredLineBusy = 18,
    ActionLast = ActionNotAnsweredLineBusy,
};
// The last value there is.
constexpr int32_t kLastCallAction = ActionLast;

// The status text shown in the call list and the notification window;
// empty for a value outside 0 to kLastCallAction.
std::string ActionText(int32_t action);
// The call is answered and hears its message.
bool IsBlockingAction(int32_t action);
// The two time-based blocks, which the security code can suspend.
bool IsSuspendableAction(int32_t action);

} // namespace rw
