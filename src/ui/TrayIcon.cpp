#include "ui/TrayIcon.h"

#include "records/StringTable.h"
#include "res/resource.h"

#include <cstring>
#include <utility>

namespace rw {
namespace {

// The tip field of the record's first version, terminator included; the
// later versions' longer field is not read by a shell given that size.
constexpr size_t kTipBytes = 64;

// Balloons need the record's second version. The icon's own requests stay
// at the first, which every shell reads; the record held is the headers'
// latest, so either size fits in it.
static_assert(sizeof(NOTIFYICONDATAA) >= NOTIFYICONDATAA_V2_SIZE);
static_assert(sizeof(NOTIFYICONDATAA::szInfo) == 256 && sizeof(NOTIFYICONDATAA::szInfoTitle) == 64);

// Registered once, as the program starts, before it makes any window.
const UINT g_taskbarCreated = RegisterWindowMessageA("TaskbarCreated");

// Copies `text` into the `size`-byte field `field`, cut on a character
// boundary of the system code page and always leaving room for the
// terminator.
void CopyCut(char* field, size_t size, const char* text) {
    const size_t room = size - 1;
    size_t length = 0;
    for (const char* at = text; *at;) {
        const char* next = CharNextA(at);
        if (next == at || static_cast<size_t>(next - text) > room)
            break;
        length = static_cast<size_t>(next - text);
        at = next;
    }
    std::memmove(field, text, length);
    field[length] = '\0';
}

// The loaded tray menu; destroyed with this object.
class CMenuResource {
public:
    explicit CMenuResource(UINT id)
        : m_menu(LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id))) {}
    ~CMenuResource() {
        if (m_menu)
            DestroyMenu(m_menu);
    }
    CMenuResource(const CMenuResource&) = delete;
    CMenuResource& operator=(const CMenuResource&) = delete;
    HMENU Get() const { return m_menu; }

private:
    HMENU m_menu;
};

} // namespace

LRESULT CTrayIconHook::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    // What the tray icon makes of the message does not change its answer:
    // the window itself still sees every message.
    if (message == m_owner.m_data.uCallbackMessage && GetHookWindow() == m_owner.m_data.hWnd)
        m_owner.OnTrayMessage(wParam, lParam);
    else if (message == g_taskbarCreated && m_owner.HandlesTaskbarCreated(*this))
        m_owner.OnTaskbarRestart(wParam, lParam);
    return CSubclassWnd::HandleMessage(message, wParam, lParam);
}

CTrayIcon::CTrayIcon(UINT id, NotifyFn notify) : m_notify(std::move(notify)) {
    if (!m_notify)
        m_notify = [](DWORD message, NOTIFYICONDATAA* data) {
            return Shell_NotifyIconA(message, data);
        };
    // The first version of the record: all the icon needs, and every shell
    // reads it.
    m_data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    m_data.uID = id;
    SetTip(LoadResString(id).c_str());
}

CTrayIcon::~CTrayIcon() {
    SetTrayIcon(0u);
    m_windowHook.SetHookWindow(nullptr);
    m_parentHook.SetHookWindow(nullptr);
}

UINT CTrayIcon::TaskbarCreatedMessage() {
    return g_taskbarCreated;
}

void CTrayIcon::SetNotifyWindow(HWND hWnd, UINT callbackMessage) {
    m_data.hWnd = hWnd;
    m_data.uCallbackMessage = callbackMessage;
    m_windowHook.SetHookWindow(hWnd);
    HWND top = hWnd ? GetAncestor(hWnd, GA_ROOTOWNER) : nullptr;
    m_parentHook.SetHookWindow(top != hWnd ? top : nullptr);
}

bool CTrayIcon::HandlesTaskbarCreated(const CTrayIconHook& hook) const {
    // An owned popup hears the broadcast as well as its owner: only one of
    // them may put the icon back, or the second add fails and the icon would
    // count as gone.
    if (&hook == &m_parentHook)
        return true;
    return m_parentHook.GetHookWindow() == nullptr;
}

void CTrayIcon::SetTip(const char* tip) {
    CopyCut(m_data.szTip, kTipBytes, tip);
}

HICON CTrayIcon::LoadStateIcon(UINT id) {
    // The image drawn for the notification area's size at this DPI (the
    // small icon size), not the large one shrunk by the shell. Shared icons
    // from the program's resources: never destroyed.
    return static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id),
                                         IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                         GetSystemMetrics(SM_CYSMICON), LR_SHARED));
}

BOOL CTrayIcon::SetTrayIcon(UINT id) {
    if (id == 0)
        return SetTrayIcon(static_cast<HICON>(nullptr));
    SetTip(LoadResString(id).c_str());
    return SetTrayIcon(LoadStateIcon(id));
}

BOOL CTrayIcon::SetTrayIcon(UINT iconId, const std::string& tip) {
    if (iconId == 0)
        return SetTrayIcon(static_cast<HICON>(nullptr));
    SetTip(tip.c_str());
    return SetTrayIcon(LoadStateIcon(iconId));
}

BOOL CTrayIcon::SetTrayIcon(HICON icon, const char* tip) {
    DWORD operation;
    m_data.uFlags = 0;
    if (icon) {
        const bool shown = IsShown();
        m_wanted = icon;
        m_data.hIcon = icon;
        m_data.uFlags = NIF_ICON;
        operation = shown ? NIM_MODIFY : NIM_ADD;
    } else {
        m_wanted = nullptr;
        if (!IsShown())
            return TRUE;
        operation = NIM_DELETE;
    }
    if (tip)
        SetTip(tip);
    if (m_data.szTip[0])
        m_data.uFlags |= NIF_TIP;
    if (m_data.uCallbackMessage && m_data.hWnd)
        m_data.uFlags |= NIF_MESSAGE;
    const BOOL result = m_notify(operation, &m_data);
    if (operation == NIM_DELETE || !result)
        m_data.hIcon = nullptr;
    return result;
}

BOOL CTrayIcon::ShowBalloon(const std::string& title, const std::string& text, DWORD infoFlags) {
    if (!IsShown())
        return FALSE;
    // A copy, so that the icon's own record keeps its first-version size and
    // no balloon comes back with the next change of icon.
    NOTIFYICONDATAA balloon = m_data;
    balloon.cbSize = NOTIFYICONDATAA_V2_SIZE;
    balloon.uFlags = NIF_INFO;
    CopyCut(balloon.szInfoTitle, sizeof balloon.szInfoTitle, title.c_str());
    CopyCut(balloon.szInfo, sizeof balloon.szInfo, text.c_str());
    // Shells before Vista keep it up this long (at least 10 s); later ones
    // follow the user's accessibility setting instead.
    balloon.uTimeout = 15000;
    balloon.dwInfoFlags = infoFlags;
    return m_notify(NIM_MODIFY, &balloon);
}

LRESULT CTrayIcon::OnTrayMessage(WPARAM wParam, LPARAM lParam) {
    if (wParam != m_data.uID)
        return 0;
    if (lParam == NIN_BALLOONUSERCLICK) {
        // Posted: the shell is still waiting for this message's answer.
        PostMessageA(m_data.hWnd, WM_COMMAND, MAKEWPARAM(ID_TRAY_BALLOON, 0), 0);
        return 1;
    }
    if (lParam != WM_RBUTTONUP && lParam != WM_LBUTTONDBLCLK)
        return 0;
    CMenuResource menu(m_data.uID);
    HMENU popup = menu.Get() ? GetSubMenu(menu.Get(), 0) : nullptr;
    if (!popup)
        return 0;
    if (lParam == WM_RBUTTONUP) {
        SetMenuDefaultItem(popup, 0, TRUE);
        POINT cursor{};
        GetCursorPos(&cursor);
        SetForegroundWindow(m_data.hWnd);
        TrackPopupMenu(popup, 0, cursor.x, cursor.y, 0, m_data.hWnd, nullptr);
        // Without a message after the menu, a click elsewhere does not close
        // it the next time it opens.
        PostMessageA(m_data.hWnd, WM_NULL, 0, 0);
    } else {
        const UINT command = GetMenuItemID(popup, 0);
        SendMessageA(m_data.hWnd, WM_COMMAND, MAKEWPARAM(command, 0), 0);
    }
    return 1;
}

LRESULT CTrayIcon::OnTaskbarRestart(WPARAM, LPARAM) {
    // Also an icon whose add failed: a program started with Windows often
    // asks before the taskbar exists, and the taskbar's arrival is the
    // moment to try again.
    if (HICON icon = m_wanted) {
        m_data.hIcon = nullptr;
        SetTrayIcon(icon);
    }
    return 0;
}

} // namespace rw
