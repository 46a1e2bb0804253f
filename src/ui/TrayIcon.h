// One icon in the taskbar's notification area, with its tip text, its popup
// menu and the double-click that opens the program. The icon's mouse
// messages and the shell's "TaskbarCreated" broadcast reach it through hooks
// on the notification window, so that window's own code needs no handlers
// for them.
#pragma once

#include "ui/SubclassWnd.h"

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>

namespace rw {

class CTrayIcon;

// Passes every message on, after showing the tray icon its callback message
// and the taskbar's re-creation.
class CTrayIconHook : public CSubclassWnd {
public:
    explicit CTrayIconHook(CTrayIcon& owner) : m_owner(owner) {}
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    CTrayIcon& m_owner;
};

class CTrayIcon {
public:
    // Shell_NotifyIconA, or a stand-in (tests record the requests).
    using NotifyFn = std::function<BOOL(DWORD message, NOTIFYICONDATAA* data)>;

    // `id` names the icon to the shell and is the menu's resource id; the
    // tip starts as the string of that id (empty when there is none).
    explicit CTrayIcon(UINT id, NotifyFn notify = nullptr);
    // Removes the icon, then the hooks come off.
    virtual ~CTrayIcon();
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    // The window that gets the icon's callback message and the menu's
    // commands (null for none). Also hooks its top-level parent or owner, if
    // that is another window, since only top-level windows hear the
    // taskbar's broadcast.
    void SetNotifyWindow(HWND hWnd, UINT callbackMessage);
    // Shows icon and tip `id` (string and icon of that id) together, adding
    // or changing the tray icon; 0 removes it.
    BOOL SetTrayIcon(UINT id);
    // Shows the icon of resource id `iconId` with `tip` (cut to fit; empty
    // for none); 0 removes the icon.
    BOOL SetTrayIcon(UINT iconId, const std::string& tip);
    // Adds (icon not shown yet), changes or, with a null icon, removes the
    // icon; `tip` (cut to fit) replaces the tip when given. The shell's
    // result; true when there was nothing to remove. After a failure the
    // icon counts as not shown, so the next call adds it afresh.
    BOOL SetTrayIcon(HICON icon, const char* tip = nullptr);

    // A balloon from the shown icon: `title` and `text` (each cut to fit),
    // with `infoFlags` (NIIF_INFO or NIIF_WARNING) choosing its symbol. The
    // shell's result; FALSE, asking nothing, while the icon is not shown.
    // An empty text takes the icon's balloon down.
    BOOL ShowBalloon(const std::string& title, const std::string& text, DWORD infoFlags);

    // The icon's mouse messages: a right-button release opens the menu, a
    // double-click sends the menu's first command, a click on a balloon
    // posts ID_TRAY_BALLOON. 1 when it acted.
    virtual LRESULT OnTrayMessage(WPARAM wParam, LPARAM lParam);
    // The shell's taskbar was (re-)created: the icon last asked for is added
    // again, even when its own add had failed.
    virtual LRESULT OnTaskbarRestart(WPARAM wParam, LPARAM lParam);

    UINT Id() const { return m_data.uID; }
    HWND NotifyWindow() const { return m_data.hWnd; }
    bool IsShown() const { return m_data.hIcon != nullptr; }
    HICON Icon() const { return m_data.hIcon; }
    std::string Tip() const { return m_data.szTip; }

    // The number of the registered "TaskbarCreated" message.
    static UINT TaskbarCreatedMessage();

private:
    friend class CTrayIconHook;
    void SetTip(const char* tip);
    static HICON LoadStateIcon(UINT id);
    bool HandlesTaskbarCreated(const CTrayIconHook& hook) const;

    NOTIFYICONDATAA m_data{};
    // The icon last asked for, shown or not (its add may have failed); null
    // once removal was asked for.
    HICON m_wanted = nullptr;
    NotifyFn m_notify;
    CTrayIconHook m_windowHook{*this};
    CTrayIconHook m_parentHook{*this};
};

} // namespace rw
