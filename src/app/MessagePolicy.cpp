#include "app/MessagePolicy.h"

#include "records/CallAction.h"

namespace rw {

bool MayLeaveMessage(int32_t action, const MessageRules& rules) {
    switch (action) {
    case ActionBlockByTime:
        return rules.fromTimeBlocked;
    case ActionBlockAlwaysDefault:
        return rules.fromUnknownCallers;
    case ActionBlockByTimeDefault:
        // Both: a caller with no entry, blocked by the out-of-hours window.
        return rules.fromTimeBlocked || rules.fromUnknownCallers;
    case ActionBlockQuiet:
        // Quiet is night: blocked as by the time of day.
        return rules.fromTimeBlocked;
    case ActionBlockNoKeyPressed:
        // The key check asks only callers with no entry; a person who
        // missed the key may still leave a message.
        return rules.fromUnknownCallers;
    default:
        return false;
    }
}

} // namespace rw
