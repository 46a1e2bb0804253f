// What the incoming call popup needs of the window that owns it: the
// preferences that hold its display time and remembered placement, and a
// word when the popup is gone, so that the owner forgets its pointer.
#pragma once

namespace rw {

class CLoggedCall;
class CNotificationDialog;
class CRingwardenPreferences;

class CNotificationOwner {
public:
    virtual CRingwardenPreferences& NotificationPreferences() = 0;
    // The popup's window is destroyed; the object deletes itself right
    // after this returns.
    virtual void OnNotificationDestroyed(CNotificationDialog* dialog) = 0;
    // "Block this caller" on the popup's menu, for the call it shows.
    virtual void OnBlockCaller(const CLoggedCall* /*call*/) {}

protected:
    ~CNotificationOwner() = default;
};

} // namespace rw
