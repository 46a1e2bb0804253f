// Who may leave a message, and when the messages folder is too full for
// more. Portable: the screener and the session ask, the tests tell.
#pragma once

#include <cstdint>

namespace rw {

struct MessageRules {
    // Callers blocked by the time of day: an entry's own hours, or the
    // default out-of-hours window.
    bool fromTimeBlocked = true;
    // Callers with no phone book entry whom the default rule blocks.
    bool fromUnknownCallers = true;
};

// Whether a call screened as `action` may leave a message. Always Block
// entries never may: they are the nuisance callers.
bool MayLeaveMessage(int32_t action, const MessageRules& rules);

// New recordings stop when the folder holds this much: a message is never
// deleted without the user asking, so the folder is not allowed to fill the
// disk instead.
constexpr uint64_t kMaxMessageBytes = uint64_t(1) << 30;
constexpr uint32_t kMaxMessages = 1000;
inline bool MessageFolderFull(uint32_t messages, uint64_t bytes) {
    return messages >= kMaxMessages || bytes >= kMaxMessageBytes;
}

} // namespace rw
