#include "ui/StatisticsDialog.h"

#include "records/FileSystem.h"
#include "ui/ModemCheckDialog.h"

#include <commctrl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <memory>

namespace rw {
namespace {

// Rows older than the longest period and its week are not read.
constexpr int kReadDays = 100;

// The chart's fills: a system colour each, and a hatch for the two that a
// high-contrast scheme may draw in one colour with another.
struct CFill {
    int colour;
    int hatch; // -1: solid
};
constexpr std::array<CFill, kCallOutcomeCount> kFills = {{
    {COLOR_HIGHLIGHT, -1},            // rang through
    {COLOR_WINDOWTEXT, -1},           // blocked
    {COLOR_WINDOWTEXT, HS_DIAGCROSS}, // left a message
    {COLOR_GRAYTEXT, HS_BDIAGONAL},   // other
}};

// A GDI brush for one fill, deleted with it.
class CFillBrush {
public:
    explicit CFillBrush(const CFill& fill)
        : m_brush(fill.hatch < 0 ? CreateSolidBrush(GetSysColor(fill.colour))
                                 : CreateHatchBrush(fill.hatch, GetSysColor(fill.colour))) {}
    ~CFillBrush() {
        if (m_brush)
            DeleteObject(m_brush);
    }
    CFillBrush(const CFillBrush&) = delete;
    CFillBrush& operator=(const CFillBrush&) = delete;
    HBRUSH Get() const { return m_brush; }

private:
    HBRUSH m_brush;
};

// Selects an object into a DC for a scope.
class CSelected {
public:
    CSelected(HDC dc, HGDIOBJ object)
        : m_dc(dc), m_old(object ? SelectObject(dc, object) : nullptr) {}
    ~CSelected() {
        if (m_old)
            SelectObject(m_dc, m_old);
    }
    CSelected(const CSelected&) = delete;
    CSelected& operator=(const CSelected&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_old;
};

SIZE TextSize(HDC dc, const std::string& text) {
    SIZE size{};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return size;
}

std::string CallerLine(const CTopCaller& caller) {
    char count[16];
    std::snprintf(count, sizeof count, "%d  ", caller.calls);
    std::string line = count;
    if (caller.name.empty() || caller.name == caller.number)
        return line + caller.number;
    return line + caller.name + " (" + caller.number + ")";
}

} // namespace

CStatisticsDialog::CStatisticsDialog(HWND parent, CStatisticsInput input)
    : CDialog(IDD_STATISTICS, parent), m_input(std::move(input)) {}

CStatisticsDialog::~CStatisticsDialog() {
    if (m_reader.joinable())
        m_reader.join();
}

BOOL CStatisticsDialog::OnInitDialog() {
    const HWND period = GetDlgItem(IDC_STATS_PERIOD);
    for (int days : kPeriods) {
        const std::string text = std::to_string(days) + " days";
        SendMessageA(period, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    SendMessageA(period, CB_SETCURSEL, 1, 0);
    m_font = reinterpret_cast<HFONT>(SendMessageA(m_hWnd, WM_GETFONT, 0, 0));
    RECT frame{};
    GetWindowRect(m_hWnd, &frame);
    m_minWidth = frame.right - frame.left;
    m_minHeight = frame.bottom - frame.top;
    m_tooltip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                                WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    SetDlgItemTextA(m_hWnd, IDC_STATS_TOTALS, "Reading the call history...");
    Layout();
    StartReading();
    return TRUE;
}

void CStatisticsDialog::StartReading() {
    const HWND window = m_hWnd;
    // The history file may hold 100,000 rows: read off the UI thread. The
    // thread touches only m_input and m_rows until it posts.
    m_reader = std::thread([this, window] {
        std::vector<CHistoryRow> rows;
        try {
            if (!m_input.historyPath.empty()) {
                std::unique_ptr<CFileSystem> fs = CreateSystemFileSystem(false);
                if (std::unique_ptr<CReadFile> file = fs->OpenRead(m_input.historyPath)) {
                    CHistoryReadOptions options;
                    options.since = CDateTime(std::floor(m_input.today.GetDays()) - kReadDays);
                    rows = ReadHistory(*file, options).rows;
                }
            }
            // After the file's: this run's rows are the later of the same call's.
            rows.insert(rows.end(), m_input.thisRun.begin(), m_input.thisRun.end());
        } catch (const std::exception&) {
            // Out of memory: the figures are of what was read.
        }
        m_rows = std::move(rows);
        PostMessageA(window, kRowsReady, 0, 0);
    });
}

void CStatisticsDialog::OnRowsReady() {
    if (m_reader.joinable())
        m_reader.join();
    m_ready = true;
    Recompute();
}

void CStatisticsDialog::ShowPeriod(int days) {
    m_days = days;
    const HWND period = GetDlgItem(IDC_STATS_PERIOD);
    for (size_t i = 0; i < std::size(kPeriods); ++i)
        if (kPeriods[i] == days)
            SendMessageA(period, CB_SETCURSEL, i, 0);
    if (m_ready)
        Recompute();
}

void CStatisticsDialog::Recompute() {
    m_stats = ComputeCallStatistics(m_rows, m_input.today, m_days);
    m_text = FormatCallStatistics(m_stats, true);
    ShowFigures();
}

void CStatisticsDialog::ShowFigures() {
    auto totals = [](const char* label, const CCallCounts& c) {
        char text[128];
        std::snprintf(text, sizeof text, "%s: %d calls, %d blocked (%d%%)", label, c.Calls(),
                      c.Blocked(), c.BlockedPercent());
        return std::string(text);
    };
    const std::string period = "Last " + std::to_string(m_days) + " days";
    const std::string text = totals("Today", m_stats.today) + "\r\n" +
                             totals("This week", m_stats.week) + "\r\n" +
                             totals(period.c_str(), m_stats.period);
    SetDlgItemTextA(m_hWnd, IDC_STATS_TOTALS, text.c_str());
    for (const auto& [id, callers] : {std::pair<int, const std::vector<CTopCaller>*>{
                                          IDC_STATS_TOP_BLOCKED, &m_stats.topBlocked},
                                      {IDC_STATS_TOP_RANG, &m_stats.topRangThrough}}) {
        const HWND list = GetDlgItem(id);
        SendMessageA(list, LB_RESETCONTENT, 0, 0);
        for (const CTopCaller& caller : *callers)
            SendMessageA(list, LB_ADDSTRING, 0,
                         reinterpret_cast<LPARAM>(CallerLine(caller).c_str()));
    }
    SetDlgItemTextA(m_hWnd, IDC_STATS_TEXT, m_text.c_str());
    UpdateTools();
    InvalidateRect(GetDlgItem(IDC_STATS_CHART), nullptr, TRUE);
}

void CStatisticsDialog::Layout() {
    RECT client{};
    GetClientRect(m_hWnd, &client);
    auto dlu = [this](int x, int y) {
        RECT r{0, 0, x, y};
        MapDialogRect(m_hWnd, &r);
        return SIZE{r.right, r.bottom};
    };
    const int w = client.right;
    const int h = client.bottom;
    const SIZE margin = dlu(7, 7);
    const SIZE gap = dlu(6, 4);
    const SIZE button = dlu(50, 14);
    const SIZE label = dlu(50, 8);
    auto place = [this](int id, int x, int y, int cx, int cy) {
        SetWindowPos(GetDlgItem(id), nullptr, x, y, std::max(cx, 1), std::max(cy, 1),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    };
    const SIZE combo = dlu(60, 60);
    place(IDC_STATS_PERIOD_LABEL, margin.cx, margin.cy + dlu(0, 2).cy, label.cx, label.cy);
    place(IDC_STATS_PERIOD, margin.cx + dlu(53, 0).cx, margin.cy, combo.cx, combo.cy);
    const int totalsX = margin.cx + dlu(123, 0).cx;
    place(IDC_STATS_TOTALS, totalsX, dlu(0, 4).cy, w - totalsX - margin.cx, dlu(0, 26).cy);
    const int buttonsY = h - margin.cy - button.cy;
    place(IDCANCEL, w - margin.cx - button.cx, buttonsY, button.cx, button.cy);
    place(IDC_STATS_COPY, w - margin.cx - 2 * button.cx - dlu(7, 0).cx, buttonsY, button.cx,
          button.cy);
    const SIZE wide = dlu(70, 14);
    place(IDC_STATS_EXPORT, w - margin.cx - 2 * button.cx - wide.cx - 2 * dlu(7, 0).cx, buttonsY,
          wide.cx, wide.cy);
    const int chartTop = dlu(0, 32).cy;
    const int lowerBottom = buttonsY - gap.cy;
    const int room = std::max(lowerBottom - chartTop, 1);
    const int chartHeight = room * 55 / 100;
    place(IDC_STATS_CHART, margin.cx, chartTop, w - 2 * margin.cx, chartHeight);
    const int labelsY = chartTop + chartHeight + gap.cy;
    const int listsY = labelsY + label.cy + dlu(0, 2).cy;
    const int column = (w - 2 * margin.cx - 2 * gap.cx) / 3;
    const int x2 = margin.cx + column + gap.cx;
    const int x3 = x2 + column + gap.cx;
    place(IDC_STATS_TOP_BLOCKED_LABEL, margin.cx, labelsY, column, label.cy);
    place(IDC_STATS_TOP_BLOCKED, margin.cx, listsY, column, lowerBottom - listsY);
    place(IDC_STATS_TOP_RANG_LABEL, x2, labelsY, column, label.cy);
    place(IDC_STATS_TOP_RANG, x2, listsY, column, lowerBottom - listsY);
    place(IDC_STATS_TEXT, x3, labelsY, w - margin.cx - x3, lowerBottom - labelsY);
    UpdateTools();
    InvalidateRect(m_hWnd, nullptr, TRUE);
}

CStatisticsDialog::Plot CStatisticsDialog::PlotOf(const RECT& client) const {
    Plot plot;
    int lineHeight = 16;
    int scaleWidth = 24;
    if (HDC dc = GetDC(m_hWnd)) {
        CSelected font(dc, m_font);
        TEXTMETRICA metrics{};
        GetTextMetricsA(dc, &metrics);
        lineHeight = metrics.tmHeight;
        scaleWidth = TextSize(dc, std::to_string(std::max(MaxDayCalls(), 10))).cx + 6;
        ReleaseDC(m_hWnd, dc);
    }
    plot.legendTop = client.top + 2;
    plot.bars.left = client.left + scaleWidth;
    plot.bars.right = std::max<LONG>(plot.bars.left + 1, static_cast<int>(client.right) - 4);
    plot.bars.top = plot.legendTop + lineHeight + 6;
    plot.bars.bottom =
        std::max<LONG>(plot.bars.top + 1, static_cast<int>(client.bottom) - lineHeight - 4);
    return plot;
}

int CStatisticsDialog::MaxDayCalls() const {
    int most = 0;
    for (const CDayFigures& day : m_stats.days)
        most = std::max(most, day.counts.Calls());
    return most;
}

RECT CStatisticsDialog::BarRect(size_t index) const {
    RECT bar{};
    if (!m_ready || index >= m_stats.days.size())
        return bar;
    RECT client{};
    GetClientRect(GetDlgItem(IDC_STATS_CHART), &client);
    const Plot plot = PlotOf(client);
    const int days = static_cast<int>(m_stats.days.size());
    const int width = plot.bars.right - plot.bars.left;
    const int left = plot.bars.left + width * static_cast<int>(index) / days;
    const int right = plot.bars.left + width * (static_cast<int>(index) + 1) / days;
    const int pad = (right - left) / 6;
    const int height = plot.bars.bottom - plot.bars.top;
    const int calls = m_stats.days[index].counts.Calls();
    bar.left = left + pad;
    bar.right = std::max<LONG>(bar.left + 1, right - pad);
    bar.bottom = plot.bars.bottom;
    bar.top = plot.bars.bottom - height * calls / std::max(MaxDayCalls(), 1);
    return bar;
}

std::string CStatisticsDialog::BarTip(const CDayFigures& day) {
    std::string tip = FormatDay(day.day) + ": " + std::to_string(day.counts.Calls()) + " calls";
    for (size_t o = 0; o < kCallOutcomeCount; ++o)
        tip += std::string("\r\n") + OutcomeName(static_cast<CallOutcome>(o)) + ": " +
               std::to_string(day.counts.byOutcome[o]);
    return tip;
}

void CStatisticsDialog::UpdateTools() {
    if (!m_tooltip)
        return;
    const HWND chart = GetDlgItem(IDC_STATS_CHART);
    const int count = static_cast<int>(SendMessageA(m_tooltip, TTM_GETTOOLCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        TTTOOLINFOA tool{};
        tool.cbSize = TTTOOLINFOA_V2_SIZE;
        tool.hwnd = chart;
        tool.uId = static_cast<UINT_PTR>(i);
        SendMessageA(m_tooltip, TTM_DELTOOL, 0, reinterpret_cast<LPARAM>(&tool));
    }
    if (!m_ready)
        return;
    SendMessageA(m_tooltip, TTM_SETMAXTIPWIDTH, 0, 400);
    for (size_t i = 0; i < m_stats.days.size(); ++i) {
        RECT slot = BarRect(i);
        RECT client{};
        GetClientRect(chart, &client);
        slot.top = client.top;
        slot.bottom = client.bottom;
        std::string text = BarTip(m_stats.days[i]);
        TTTOOLINFOA tool{};
        tool.cbSize = TTTOOLINFOA_V2_SIZE;
        tool.uFlags = TTF_SUBCLASS;
        tool.hwnd = chart;
        tool.uId = i;
        tool.rect = slot;
        tool.lpszText = text.data(); // copied by the tooltip
        SendMessageA(m_tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void CStatisticsDialog::DrawChart(const DRAWITEMSTRUCT& item) {
    const HDC dc = item.hDC;
    const RECT client = item.rcItem;
    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
    FrameRect(dc, &client, GetSysColorBrush(COLOR_WINDOWFRAME));
    CSelected font(dc, m_font);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    SetBkMode(dc, TRANSPARENT);
    if (!m_ready) {
        RECT text = client;
        DrawTextA(dc, "Reading the call history...", -1, &text,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        return;
    }
    const Plot plot = PlotOf(client);
    std::array<std::unique_ptr<CFillBrush>, kCallOutcomeCount> brushes;
    for (size_t o = 0; o < kCallOutcomeCount; ++o)
        brushes[o] = std::make_unique<CFillBrush>(kFills[o]);
    const HBRUSH edge = GetSysColorBrush(COLOR_WINDOWTEXT);
    // The legend, along the top.
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    const int box = std::max<LONG>(metrics.tmHeight - 4, 6);
    int x = plot.bars.left;
    for (size_t o = 0; o < kCallOutcomeCount; ++o) {
        RECT swatch{x, plot.legendTop + 2, x + box, plot.legendTop + 2 + box};
        SetBkMode(dc, OPAQUE);
        FillRect(dc, &swatch, brushes[o]->Get());
        SetBkMode(dc, TRANSPARENT);
        FrameRect(dc, &swatch, edge);
        const std::string name = OutcomeName(static_cast<CallOutcome>(o));
        TextOutA(dc, x + box + 4, plot.legendTop, name.c_str(), static_cast<int>(name.size()));
        x += box + 4 + TextSize(dc, name).cx + 12;
    }
    // The scale: the busiest day's count at the top, 0 at the axis.
    const int most = MaxDayCalls();
    const std::string top = std::to_string(most);
    RECT scale{client.left + 2, plot.bars.top - metrics.tmHeight / 2, plot.bars.left - 3,
               plot.bars.top + metrics.tmHeight};
    DrawTextA(dc, top.c_str(), -1, &scale, DT_RIGHT | DT_SINGLELINE);
    scale.top = plot.bars.bottom - metrics.tmHeight;
    scale.bottom = plot.bars.bottom + 2;
    DrawTextA(dc, "0", -1, &scale, DT_RIGHT | DT_SINGLELINE);
    RECT axis{plot.bars.left, plot.bars.bottom, plot.bars.right, plot.bars.bottom + 1};
    FillRect(dc, &axis, edge);
    // The bars, stacked by outcome from the axis up.
    const int height = plot.bars.bottom - plot.bars.top;
    for (size_t i = 0; i < m_stats.days.size(); ++i) {
        const RECT bar = BarRect(i);
        int bottom = bar.bottom;
        int counted = 0;
        for (size_t o = 0; o < kCallOutcomeCount; ++o) {
            const int n = m_stats.days[i].counts.byOutcome[o];
            if (!n)
                continue;
            counted += n;
            // From the running total, so that rounding never leaves a gap.
            const int segmentTop = plot.bars.bottom - height * counted / std::max(most, 1);
            RECT segment{bar.left, segmentTop, bar.right, bottom};
            SetBkMode(dc, OPAQUE);
            FillRect(dc, &segment, brushes[o]->Get());
            SetBkMode(dc, TRANSPARENT);
            if (segment.bottom - segment.top > 2 && bar.right - bar.left > 2)
                FrameRect(dc, &segment, edge);
            bottom = segmentTop;
        }
    }
    // Dates under the axis, as many as fit side by side.
    const int days = static_cast<int>(m_stats.days.size());
    const int slot = std::max<LONG>((plot.bars.right - plot.bars.left) / std::max(days, 1), 1);
    const int labelWidth = TextSize(dc, "00-00").cx + 8;
    const int step = (labelWidth + slot - 1) / slot;
    for (int i = days - 1; i >= 0; i -= step) {
        const RECT bar = BarRect(static_cast<size_t>(i));
        const int centre = (bar.left + bar.right) / 2;
        const std::string day = FormatDay(m_stats.days[static_cast<size_t>(i)].day).substr(5);
        RECT text{centre - labelWidth / 2, plot.bars.bottom + 2, centre + labelWidth / 2,
                  client.bottom - 1};
        DrawTextA(dc, day.c_str(), -1, &text, DT_CENTER | DT_SINGLELINE);
    }
}

void CStatisticsDialog::ChooseCaller(int listId) {
    const HWND list = GetDlgItem(listId);
    const LRESULT sel = SendMessageA(list, LB_GETCURSEL, 0, 0);
    const auto& callers =
        listId == IDC_STATS_TOP_BLOCKED ? m_stats.topBlocked : m_stats.topRangThrough;
    if (sel < 0 || static_cast<size_t>(sel) >= callers.size() || !m_callerChosen)
        return;
    m_callerChosen(callers[static_cast<size_t>(sel)].number);
}

bool CStatisticsDialog::OnCommand(WORD id, WORD notifyCode, HWND control) {
    if (id == IDC_STATS_EXPORT && notifyCode == BN_CLICKED) {
        if (m_exportCalls && m_ready) {
            const double first = std::floor(m_input.today.GetDays()) - (m_days - 1);
            std::vector<CHistoryRow> rows;
            for (const CHistoryRow& row : m_rows)
                if (row.time.GetDays() >= first)
                    rows.push_back(row);
            m_exportCalls(rows);
        }
        return true;
    }
    if (id == IDC_STATS_COPY && notifyCode == BN_CLICKED) {
        CModemCheckDialog::CopyText(m_hWnd, m_text);
        return true;
    }
    if (id == IDC_STATS_PERIOD && notifyCode == CBN_SELCHANGE) {
        const LRESULT sel = SendMessageA(control, CB_GETCURSEL, 0, 0);
        if (sel >= 0 && static_cast<size_t>(sel) < std::size(kPeriods))
            ShowPeriod(kPeriods[sel]);
        return true;
    }
    if ((id == IDC_STATS_TOP_BLOCKED || id == IDC_STATS_TOP_RANG) && notifyCode == LBN_DBLCLK) {
        ChooseCaller(id);
        return true;
    }
    return CDialog::OnCommand(id, notifyCode, control);
}

bool CStatisticsDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    switch (message) {
    case kRowsReady:
        OnRowsReady();
        result = TRUE;
        return true;
    case WM_SIZE:
        Layout();
        result = TRUE;
        return true;
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        if (m_minWidth)
            info->ptMinTrackSize = {m_minWidth, m_minHeight};
        result = TRUE;
        return true;
    }
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (wParam != IDC_STATS_CHART || !item)
            return false;
        DrawChart(*item);
        result = TRUE;
        return true;
    }
    default:
        return CDialog::OnMessage(message, wParam, lParam, result);
    }
}

void CStatisticsDialog::OnDestroy() {
    if (m_reader.joinable())
        m_reader.join();
    if (m_tooltip)
        ::DestroyWindow(m_tooltip);
    m_tooltip = nullptr;
}

} // namespace rw
