#include "SimWindow.h"

#include "LineSimIds.h"
#include "LineSimulator.h"

namespace rw::linesim {

namespace {

const char* const kKindNames[] = {"Number",      "Name",          "Number and name", "Blocked",
                                  "Out of area", "Not available", "Arrives late"};

} // namespace

CSimWindow::~CSimWindow() {
    if (m_hWnd)
        DestroyWindow(m_hWnd);
}

bool CSimWindow::Create() {
    // The template lives in this DLL, not in the program.
    CreateDialogParamA(ThisModule(), MAKEINTRESOURCEA(IDD_LINESIM), nullptr, DialogProc,
                       reinterpret_cast<LPARAM>(this));
    if (!m_hWnd)
        return false;
    MoveToBottomRight();
    ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
    return true;
}

void CSimWindow::MoveToBottomRight() {
    // The screener's own windows open at the top left; the far end of the
    // line sits in the opposite corner so that both can be seen at once.
    RECT work{}, rc{};
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0) || !GetWindowRect(m_hWnd, &rc))
        return;
    SetWindowPos(m_hWnd, nullptr, work.right - (rc.right - rc.left),
                 work.bottom - (rc.bottom - rc.top), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CSimWindow::AddLog(const std::string& line) {
    if (!m_hWnd)
        return;
    HWND list = GetDlgItem(m_hWnd, IDC_LINESIM_LOG);
    const LRESULT index =
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    SendMessageA(list, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0);
}

INT_PTR CALLBACK CSimWindow::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<CSimWindow*>(lParam);
        SetWindowLongPtrA(hWnd, DWLP_USER, lParam);
        self->m_hWnd = hWnd;
        self->OnInitDialog();
        return TRUE;
    }
    auto* self = reinterpret_cast<CSimWindow*>(GetWindowLongPtrA(hWnd, DWLP_USER));
    if (!self)
        return FALSE;
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED)
            self->OnCommand(LOWORD(wParam));
        return TRUE;
    case WM_CLOSE:
        // The line stays in use while the program runs: only tuck it away.
        ShowWindow(hWnd, SW_MINIMIZE);
        return TRUE;
    case WM_NCDESTROY:
        self->m_hWnd = nullptr;
        return FALSE;
    default:
        return FALSE;
    }
}

void CSimWindow::OnInitDialog() {
    HWND kinds = GetDlgItem(m_hWnd, IDC_LINESIM_KIND);
    for (const char* name : kKindNames)
        SendMessageA(kinds, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    SendMessageA(kinds, CB_SETCURSEL, 0, 0);
    SendDlgItemMessageA(m_hWnd, IDC_LINESIM_LOG, LB_SETHORIZONTALEXTENT, 1200, 0);
}

void CSimWindow::OnCommand(WORD id) {
    if (id == IDC_LINESIM_RING)
        OnRing();
    else if (id == IDC_LINESIM_HANGUP)
        OnHangUp();
    else if (id >= IDC_LINESIM_KEY0 && id <= IDC_LINESIM_KEY0 + 9)
        OnKey(static_cast<char>('0' + (id - IDC_LINESIM_KEY0)));
    else if (id == IDC_LINESIM_KEYSTAR)
        OnKey('*');
    else if (id == IDC_LINESIM_KEYHASH)
        OnKey('#');
}

std::string CSimWindow::ItemText(int id) const {
    char buf[256] = {};
    GetDlgItemTextA(m_hWnd, id, buf, sizeof buf);
    return buf;
}

void CSimWindow::OnRing() {
    const std::string number = ItemText(IDC_LINESIM_NUMBER);
    const std::string name = ItemText(IDC_LINESIM_NAME);
    const LRESULT kind = SendDlgItemMessageA(m_hWnd, IDC_LINESIM_KIND, CB_GETCURSEL, 0, 0);
    CallerId id;
    id.kind = static_cast<CallerIdKind>(kind < 0 ? 0 : kind);
    id.number = {number.data(), number.size()};
    id.name = {name.data(), name.size()};
    if (id.kind == CallerIdKind::Unknown) {
        // The identification follows two seconds after the first ring.
        const uint32_t call = m_sim.Ring(CallerId{CallerIdKind::Unknown, {}, {}}, false);
        if (call) {
            CallerId later{number.empty()
                               ? CallerIdKind::Name
                               : (name.empty() ? CallerIdKind::Number : CallerIdKind::Both),
                           {},
                           {}};
            m_sim.Schedule(2000, [this, call, later, number, name]() mutable {
                later.number = {number.data(), number.size()};
                later.name = {name.data(), name.size()};
                m_sim.DeliverCallerId(call, later);
            });
        }
    } else if (!m_sim.Ring(id, false)) {
        AddLog("The line is not open: nothing rings.");
    }
}

void CSimWindow::OnHangUp() {
    if (!m_sim.HangUp(m_sim.LatestLiveCall()))
        AddLog("No call to hang up.");
}

void CSimWindow::OnKey(char digit) {
    const char digits[2] = {digit, '\0'};
    if (!m_sim.KeyDigits(m_sim.LatestLiveCall(), digits))
        AddLog("No call to key digits on.");
}

} // namespace rw::linesim
