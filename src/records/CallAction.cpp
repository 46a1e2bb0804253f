#include "records/CallAction.h"

#include "records/StringTable.h"
#include "res/resource.h"

namespace rw {

std::string ActionText(int32_t action) {
    if (action < ActionWaitingForCallerId || action > kLastCallAction)
        return {};
    return LoadResString(IDS_ACTION_BASE + static_cast<unsigned>(action));
}

bool IsBlockingAction(int32_t action) {
    return action == ActionBlockAlways || action == ActionBlockByTime ||
           action == ActionBlockAlwaysDefault || action == ActionBlockByTimeDefault;
}

bool IsSuspendableAction(int32_t action) {
    return action == ActionBlockByTime || action == ActionBlockByTimeDefault;
}

} // namespace rw
