// What the call screener tells the window that shows its work. Every
// notification has an empty default, so a window overrides only what it
// needs. Indices are positions in the screener's call log.
#pragma once

#include <windows.h>

#include <cstddef>

namespace rw {

class CCallScreenerNotify {
public:
    // A call joined the log at `index` (always the last position).
    virtual void OnCallLogged(size_t /*index*/) {}
    // The logged call at `index` changed (caller ID arrived late).
    virtual void OnCallChanged(size_t /*index*/) {}
    // The tray tip (and icon) is now string `id`: 130 idle, 131 permitting,
    // 132 blocking. Also raised when the same id is applied again.
    virtual void OnTrayTipChanged(UINT /*id*/) {}
    // A new call arrived and the user wants to see it: open the popup, or
    // bring the open one forward and refresh it.
    virtual void OnShowNotification(size_t /*index*/) {}
    // A logged call's texts changed: refresh the popup if one is open; never
    // open a new one.
    virtual void OnRefreshNotification(size_t /*index*/) {}
    // Raised once per call: true when its caller ID arrived and it was
    // screened (withheld and out of area are answers too), false when it
    // ended still waiting for caller ID.
    virtual void OnCallerIdOutcome(bool /*arrived*/) {}
    // The call at `index` went idle; its row may have changed since it was
    // last told (answered and dropped).
    virtual void OnCallEnded(size_t /*index*/) {}
    // The program could not hang up the blocked call at `index`, even after
    // trying again: the line may still be held.
    virtual void OnDropFailed(size_t /*index*/) {}

protected:
    ~CCallScreenerNotify() = default;
};

} // namespace rw
