// The listener list every notifying object keeps: pointers it does not
// own, in the order added. Null and repeated additions are ignored, and a
// new listener takes the first empty slot.
#pragma once

#include <algorithm>
#include <vector>

namespace rw {

template <class Notify> void AddToNotifyList(std::vector<Notify*>& list, Notify* notify) {
    if (!notify || std::find(list.begin(), list.end(), notify) != list.end())
        return;
    auto slot = std::find(list.begin(), list.end(), nullptr);
    if (slot != list.end())
        *slot = notify;
    else
        list.push_back(notify);
}

} // namespace rw
