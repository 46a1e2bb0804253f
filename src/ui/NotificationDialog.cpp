#include "ui/NotificationDialog.h"

#include "records/CallAction.h"
#include "records/LoggedCall.h"
#include "records/RingwardenPreferences.h"
#include "res/resource.h"
#include "ui/NotificationOwner.h"
#include "ui/framework/DataExchange.h"

#include <windowsx.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace rw {
namespace {

constexpr UINT_PTR kCloseTimer = 1;
constexpr int kLabelPoints = 8;

// The labels' font height: 8 points, in pixels. A plain height of 8 used to
// give the bitmap "MS Sans Serif" at its smallest size, 8 points; where the
// face is scalable (Wine's is) it means 8 pixels and the texts come out
// tiny.
int LabelHeight() {
    HDC screen = GetDC(nullptr);
    const int pixelsPerInch = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen)
        ReleaseDC(nullptr, screen);
    return -MulDiv(kLabelPoints, pixelsPerInch, 72);
}

RECT WorkArea() {
    RECT area{};
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0))
        SetRect(&area, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    return area;
}

// The display time in milliseconds, within the 2 to 10 seconds the
// Preferences page offers: a damaged configuration value must neither make
// the popup vanish at once nor keep it up for days.
UINT CloseDelay(int32_t seconds) {
    return static_cast<UINT>(std::clamp<int32_t>(seconds, 2, 10)) * 1000u;
}

} // namespace

CNotificationDialog::CNotificationDialog(CNotificationOwner& owner, HWND parent)
    : CDialog(IDD_NOTIFICATION, parent), m_owner(owner) {}

CNotificationDialog::~CNotificationDialog() {
    // Only reached while the window is alive when the owner deletes the
    // popup itself (at shutdown): the window goes, the object is not
    // deleted a second time.
    if (m_hWnd) {
        m_destroyedByOwner = true;
        DestroyWindow();
    }
}

void CNotificationDialog::DoDataExchange(CDataExchange& dx) {
    dx.Text(IDC_NOTIFY_NUMBER, m_numberText);
    dx.Text(IDC_NOTIFY_NAME, m_nameText);
    dx.Text(IDC_NOTIFY_ACTION, m_actionText);
}

void CNotificationDialog::UpdateLabels() {
    if (!m_call)
        return;
    m_actionText = m_call->ActionDisplayText();
    m_nameText = m_call->GetName();
    m_numberText = m_call->GetNumber();
    if (!m_hWnd)
        return;
    CDataExchange dx(m_hWnd, false);
    DoDataExchange(dx);
}

void CNotificationDialog::ShowCall(const CLoggedCall* call) {
    SetCall(call);
    // Activating a popup the user has hidden would take the keyboard away
    // from whatever the user is doing into an invisible window.
    if (m_hWnd && IsWindowVisible(m_hWnd))
        SetActiveWindow(m_hWnd);
    UpdateLabels();
}

BOOL CNotificationDialog::OnInitDialog() {
    CDataExchange dx(m_hWnd, false);
    DoDataExchange(dx);
    CenterWindow();
    m_timer = SetTimer(m_hWnd, kCloseTimer,
                       CloseDelay(m_owner.NotificationPreferences().NotificationSeconds), nullptr);
    AttachLabel(m_nameLabel, IDC_NOTIFY_NAME);
    AttachLabel(m_numberLabel, IDC_NOTIFY_NUMBER);
    AttachLabel(m_actionLabel, IDC_NOTIFY_ACTION);
    UpdateLabels();
    RestorePlacement();
    ShowOnTop();
    // The focus stays on the popup itself (see OnActivate).
    SetFocus(m_hWnd);
    return FALSE;
}

void CNotificationDialog::CenterWindow() {
    RECT window{};
    GetWindowRect(m_hWnd, &window);
    const RECT workArea = WorkArea();
    RECT area = workArea;
    HWND owner = GetWindow(m_hWnd, GW_OWNER);
    if (owner && IsWindowVisible(owner) && !IsIconic(owner))
        GetWindowRect(owner, &area);
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    int left = (area.left + area.right - width) / 2;
    int top = (area.top + area.bottom - height) / 2;
    // An owner near the screen's edge must not push the popup off it.
    left = std::max<int>(workArea.left, std::min<int>(left, workArea.right - width));
    top = std::max<int>(workArea.top, std::min<int>(top, workArea.bottom - height));
    SetWindowPos(m_hWnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CNotificationDialog::AttachLabel(CFontStatic& label, int id) {
    HWND control = GetDlgItem(id);
    if (!control || !label.Attach(control))
        return;
    label.SetLabelFont(LabelHeight(), true, false, false);
}

void CNotificationDialog::RestorePlacement() {
    CRingwardenPreferences& preferences = m_owner.NotificationPreferences();
    if (!preferences.GetNotifyPlacementValid())
        return;
    static_assert(sizeof(WINDOWPLACEMENT) == sizeof(RwWindowPlacement));
    WINDOWPLACEMENT placement;
    std::memcpy(&placement, preferences.GetNotifyPlacement(), sizeof placement);
    // The file is untrusted: only the remembered position is taken. The
    // popup keeps its own size and is shown normally, so a damaged
    // rectangle cannot make it huge, minimised or maximised.
    RECT current{};
    GetWindowRect(m_hWnd, &current);
    const LONG left = placement.rcNormalPosition.left;
    const LONG top = placement.rcNormalPosition.top;
    RECT normal{};
    SetRect(&normal, left, top, left + (current.right - current.left),
            top + (current.bottom - current.top));
    // After a change of screen resolution the remembered place may be
    // wholly off the screen, where nobody could see the popup.
    const RECT workArea = WorkArea();
    RECT overlap;
    if (!IntersectRect(&overlap, &normal, &workArea)) {
        preferences.SetNotifyPlacementValid(0);
        return;
    }
    placement.length = sizeof placement;
    placement.flags = 0;
    placement.showCmd = SW_SHOWNORMAL;
    placement.rcNormalPosition = normal;
    SetWindowPlacement(m_hWnd, &placement);
}

void CNotificationDialog::StorePlacement() {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(m_hWnd, &placement))
        return;
    CRingwardenPreferences& preferences = m_owner.NotificationPreferences();
    std::memcpy(preferences.GetNotifyPlacement(), &placement, sizeof placement);
    preferences.SetNotifyPlacementValid(1);
}

void CNotificationDialog::ShowOnTop() {
    RECT window{};
    GetWindowRect(m_hWnd, &window);
    SetWindowPos(m_hWnd, HWND_TOPMOST, window.left, window.top, window.right - window.left,
                 window.bottom - window.top, SWP_SHOWWINDOW);
}

void CNotificationDialog::Hide() {
    // The popup stays the owner's one popup, timer running, until the
    // timer destroys it.
    ShowWindow(m_hWnd, SW_HIDE);
}

bool CNotificationDialog::OnClose() {
    StorePlacement();
    // Then as Cancel: hidden, not destroyed.
    return CDialog::OnClose();
}

void CNotificationDialog::OnTimer() {
    StorePlacement();
    KillTimer(m_hWnd, m_timer);
    // Deletes this object (OnFinalMessage): nothing may follow.
    DestroyWindow();
}

bool CNotificationDialog::OnKeyDown(WPARAM key) {
    if (key == VK_RETURN)
        OnOK();
    else if (key == VK_ESCAPE)
        OnCancel();
    else
        return false;
    return true;
}

void CNotificationDialog::ShowMenu(LPARAM at) {
    POINT point{GET_X_LPARAM(at), GET_Y_LPARAM(at)};
    if (at == static_cast<LPARAM>(-1)) { // the keyboard: at the popup's middle
        RECT rect{};
        GetWindowRect(m_hWnd, &rect);
        point = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    }
    HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_POPUP_MENU));
    if (!menu)
        return;
    // While the menu is open the popup must not close under it.
    KillTimer(m_hWnd, kCloseTimer);
    const UINT command = TrackPopupMenu(GetSubMenu(menu, 0), TPM_RETURNCMD | TPM_RIGHTBUTTON,
                                        point.x, point.y, 0, m_hWnd, nullptr);
    DestroyMenu(menu);
    m_timer = SetTimer(m_hWnd, kCloseTimer,
                       CloseDelay(m_owner.NotificationPreferences().NotificationSeconds), nullptr);
    if (command)
        PostMessageA(m_hWnd, WM_COMMAND, MAKEWPARAM(command, 0), 0);
}

bool CNotificationDialog::OnCommand(WORD id, WORD notifyCode, HWND control) {
    if (id == ID_CALL_BLOCK && notifyCode == 0) {
        if (m_call)
            m_owner.OnBlockCaller(m_call);
        return true;
    }
    return CDialog::OnCommand(id, notifyCode, control);
}

bool CNotificationDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    switch (message) {
    case WM_CONTEXTMENU:
        ShowMenu(lParam);
        result = TRUE;
        return true;
    case WM_TIMER:
        OnTimer();
        result = TRUE;
        return true;
    case WM_ACTIVATE:
        // The dialog manager would put the focus on the first label, where
        // Enter and Esc are lost unless the message loop runs
        // IsDialogMessage for the popup; the program's loop is the main
        // window's modal one, which does not. Kept on the popup, the keys
        // reach OnKeyDown.
        if (LOWORD(wParam) != WA_INACTIVE)
            SetFocus(m_hWnd);
        result = TRUE;
        return true;
    case WM_SETFOCUS:
        // Handled, so that the dialog manager does not pass the focus on.
        result = TRUE;
        return true;
    case WM_KEYDOWN:
        result = OnKeyDown(wParam) ? TRUE : FALSE;
        return true;
    default:
        return false;
    }
}

void CNotificationDialog::OnFinalMessage() {
    if (m_destroyedByOwner)
        return;
    m_owner.OnNotificationDestroyed(this);
    delete this;
}

} // namespace rw
