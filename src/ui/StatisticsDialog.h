#pragma once

#include "app/CallStatistics.h"
#include "res/resource.h"
#include "ui/framework/Dialog.h"

#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace rw {

// What the statistics window counts: the history file (read off the UI
// thread) and this run's calls, which may be in the file already (the same
// call counts once).
struct CStatisticsInput {
    std::string historyPath; // empty: history off, this run's calls only
    std::vector<CHistoryRow> thisRun;
    CDateTime today;
};

// "Statistics": calls per day over the last 7, 30 or 90 days as stacked
// bars by outcome (system colours and hatches, so high contrast reads),
// with a legend, dates on the axis and a tooltip per bar; the totals; the
// ten callers blocked and let through most; and the same figures as text
// for a screen reader and Copy. Laid out for any size and DPI.
class CStatisticsDialog : public CDialog {
public:
    CStatisticsDialog(HWND parent, CStatisticsInput input);
    ~CStatisticsDialog() override;

    // Called with a caller's number when one is chosen in a top-ten list
    // (double click or Enter): the main window may show that caller's calls.
    void SetCallerChosen(std::function<void(const std::string& number)> chosen) {
        m_callerChosen = std::move(chosen);
    }
    // "Export calls...": the calls of the period shown (its days, today
    // included), each once, oldest first, go to a workbook.
    void SetExportCalls(std::function<void(const std::vector<CHistoryRow>& rows)> exportCalls) {
        m_exportCalls = std::move(exportCalls);
    }

    // The figures shown (valid once Ready()).
    const CCallStatistics& Statistics() const { return m_stats; }
    bool Ready() const { return m_ready; }
    // The periods offered, in days.
    static constexpr int kPeriods[] = {7, 30, 90};
    void ShowPeriod(int days);
    // The chart's bar of `index` (oldest first), in the chart's client
    // coordinates; empty before the figures are in.
    RECT BarRect(size_t index) const;
    // The tooltip a bar shows.
    static std::string BarTip(const CDayFigures& day);

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD notifyCode, HWND control) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    void OnDestroy() override;

private:
    // Posted by the reading thread once the rows are in.
    static constexpr UINT kRowsReady = WM_APP + 40;

    void StartReading();
    void OnRowsReady();
    void Recompute();
    void ShowFigures();
    void Layout();
    void UpdateTools();
    void DrawChart(const DRAWITEMSTRUCT& item);
    // The chart's plot: its bars' area inside the chart control.
    struct Plot {
        RECT bars{};
        int legendTop = 0;
    };
    Plot PlotOf(const RECT& client) const;
    int MaxDayCalls() const;
    void ChooseCaller(int listId);

    CStatisticsInput m_input;
    std::vector<CHistoryRow> m_rows; // every row once read
    std::thread m_reader;
    bool m_ready = false;
    int m_days = 30;
    std::function<void(const std::vector<CHistoryRow>& rows)> m_exportCalls;
    CCallStatistics m_stats;
    std::string m_text;
    HWND m_tooltip = nullptr;
    HFONT m_font = nullptr;
    int m_minWidth = 0;
    int m_minHeight = 0;
    std::function<void(const std::string&)> m_callerChosen;
};

} // namespace rw
