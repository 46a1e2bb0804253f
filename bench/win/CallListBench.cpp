// The main window's call list at about 10,000 calls, under Wine: the time to
// add one row (alone, and with the repaint that follows it), and the time a
// header click takes to sort all rows. It prints figures only.
#include "records/CallAction.h"
#include "records/LoggedCall.h"
#include "res/resource.h"
#include "ui/CallListView.h"
#include "ui/framework/Dialog.h"

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <malloc.h>
#include <new>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

// Every C++ allocation is counted, so that what the call log and the list's
// order hold per call can be read off. Each block also costs the heap's
// bookkeeping, taken as 16 bytes.
size_t g_heapBytes = 0;

void* operator new(size_t size) {
    void* p = std::malloc(size ? size : 1);
    if (!p)
        throw std::bad_alloc();
    g_heapBytes += _msize(p) + 16;
    return p;
}

void operator delete(void* p) noexcept {
    if (p) {
        g_heapBytes -= _msize(p) + 16;
        std::free(p);
    }
}

void operator delete(void* p, size_t) noexcept {
    operator delete(p);
}

namespace rw {
namespace {

constexpr size_t kRows = 10000;
constexpr size_t kBatch = 200;

// The main window's own template, so that the list has the program's
// styles, with the list's requests answered by the view.
class CHost : public CDialog {
public:
    CHost() : CDialog(IDD_RINGWARDEN_DIALOG) {}
    CCallListView* view = nullptr;

    // As the main window does after each change of row or selection.
    void UpdateButtons() {
        const bool selected = view->SelectedCall() >= 0;
        HWND add = GetDlgItem(IDC_ADD_ENTRY);
        if ((IsWindowEnabled(add) != FALSE) != selected)
            EnableWindow(add, selected);
    }

protected:
    bool OnNotify(NMHDR* header, LRESULT& result) override {
        if (!view || header->idFrom != IDC_CALL_LIST)
            return false;
        if (view->OnNotify(*header, result))
            return true;
        if (header->code == LVN_ITEMCHANGED)
            UpdateButtons();
        return false;
    }
};

class CTimer {
public:
    CTimer() {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        m_frequency = static_cast<double>(f.QuadPart);
    }
    double Microseconds(const std::function<void()>& run) const {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        run();
        QueryPerformanceCounter(&end);
        return static_cast<double>(end.QuadPart - start.QuadPart) * 1e6 / m_frequency;
    }

private:
    double m_frequency;
};

double Percentile(std::vector<double> samples, double p) {
    std::sort(samples.begin(), samples.end());
    const size_t at = static_cast<size_t>(p * static_cast<double>(samples.size() - 1) + 0.5);
    return samples[at];
}

void PumpPending() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// Calls as a line brings them: one after another in time, names and numbers
// from a fixed pseudo-random sequence, every kind of action.
class CCallMaker {
public:
    std::unique_ptr<CLoggedCall> Next() {
        auto call = std::make_unique<CLoggedCall>();
        const unsigned n = m_random();
        const char* const names[] = {"Smith",  "jones", "Brown", "<No Phone Book Entry>",
                                     "Taylor", "wilson"};
        char text[64];
        std::snprintf(text, sizeof text, "%s %u", names[n % 6], n % 977);
        call->SetName(text);
        std::snprintf(text, sizeof text, "0%u", 1000000000u + n % 900000000u);
        call->SetNumber(text);
        call->SetAction(static_cast<int32_t>(n % 10));
        // As blocked calls carry it: a message file's full path.
        if (IsBlockingAction(call->GetAction()))
            call->SetMessageFile("C:\\Users\\Household\\Documents\\Ringwarden\\Message.wav");
        m_minutes += 1.0 / (24 * 60);
        call->SetCallTime(CDateTime(36526.0 + m_minutes));
        return call;
    }

private:
    std::mt19937 m_random{1999};
    double m_minutes = 0;
};

void ReportSamples(const char* what, const std::vector<double>& samples) {
    std::printf("%-62s median %8.1f us  p99 %8.1f us\n", what, Percentile(samples, 0.5),
                Percentile(samples, 0.99));
}

struct Scenario {
    const char* what;
    bool shown;
    bool selected;
    bool keyboardInList; // the user is working in the list
    int sortColumn;
    bool repaint;
};

int Run() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    std::vector<std::unique_ptr<CLoggedCall>> calls;
    CCallListView view([&calls](size_t i) -> const CLoggedCall& { return *calls[i]; });
    CHost host;
    host.view = &view;
    if (!host.Create()) {
        std::printf("call list benchmark: the window could not be created\n");
        return 1;
    }
    HWND list = host.GetDlgItem(IDC_CALL_LIST);
    view.Attach(list, GetModuleHandleA(nullptr));
    const CTimer timer;
    CCallMaker maker;

    // Times the call path (the row added, the buttons updated) and, apart,
    // the redraw the list leaves for the loop's idle moment.
    std::vector<double> redraws;
    auto addRows = [&](size_t count, bool repaint) {
        std::vector<double> samples;
        redraws.clear();
        for (size_t i = 0; i < count; ++i) {
            calls.push_back(maker.Next());
            const size_t index = calls.size() - 1;
            samples.push_back(timer.Microseconds([&] {
                view.AddRow(index);
                host.UpdateButtons();
            }));
            if (repaint)
                redraws.push_back(timer.Microseconds([&] {
                    view.FlushRedraw();
                    UpdateWindow(host.GetSafeHwnd());
                }));
            PumpPending();
        }
        return samples;
    };
    auto prepare = [&](const Scenario& s) {
        ShowWindow(host.GetSafeHwnd(), s.shown ? SW_SHOWNORMAL : SW_HIDE);
        if (view.Order().SortColumn() != s.sortColumn)
            view.ClickColumn(s.sortColumn);
        const UINT state = LVIS_SELECTED | LVIS_FOCUSED;
        ListView_SetItemState(list, -1, 0, state);
        // A call in the middle, so that rows are added on both sides of it.
        if (s.selected)
            ListView_SetItemState(list, static_cast<int>(calls.size() / 2), state, state);
        SetFocus(s.keyboardInList ? list : host.GetDlgItem(IDC_CONFIGURE));
        PumpPending();
    };

    const Scenario scenarios[] = {
        {"hidden in the tray, nothing selected", false, false, false, CCallListOrder::ColumnTime,
         false},
        {"hidden in the tray, a call selected", false, true, false, CCallListOrder::ColumnTime,
         false},
        {"shown, nothing selected", true, false, false, CCallListOrder::ColumnTime, false},
        {"shown, a call selected", true, true, false, CCallListOrder::ColumnTime, false},
        {"shown, a call selected, keyboard in the list", true, true, true,
         CCallListOrder::ColumnTime, false},
        {"shown, a call selected", true, true, false, CCallListOrder::ColumnTime, true},
        {"shown, a call selected, sorted by name", true, true, false, CCallListOrder::ColumnName,
         false},
    };
    auto measure = [&](const Scenario& s) {
        prepare(s);
        char what[100];
        std::snprintf(what, sizeof what, "%5zu-%5zu rows, %s", calls.size(), calls.size() + kBatch,
                      s.what);
        ReportSamples(what, addRows(kBatch, s.repaint));
        if (s.repaint)
            ReportSamples("    then, once idle, the list redrawn and repainted", redraws);
    };
    const size_t heapBefore = g_heapBytes;
    std::printf("Call list (virtual list view) under Wine: adding one row, %zu rows each\n",
                kBatch);
    // The shown cases at a few rows first: what does not grow with the list.
    addRows(20, false);
    measure(scenarios[2]);
    measure(scenarios[4]);
    const size_t measured = std::size(scenarios) * kBatch;
    ShowWindow(host.GetSafeHwnd(), SW_HIDE);
    addRows(kRows - measured - calls.size(), false);
    for (const Scenario& s : scenarios)
        measure(s);
    std::printf("Call log and the list's order: %.0f bytes of heap per call at %zu calls\n",
                static_cast<double>(g_heapBytes - heapBefore) / static_cast<double>(calls.size()),
                calls.size());

    struct Sort {
        const char* what;
        int column;
    };
    const Sort sorts[] = {
        {"Name", CCallListOrder::ColumnName},
        {"Number", CCallListOrder::ColumnNumber},
        {"Time / Date", CCallListOrder::ColumnTime},
        {"Action", CCallListOrder::ColumnAction},
    };
    prepare(scenarios[3]);
    std::printf("Sorting %zu rows by a header click, shown, with the repaint:\n", calls.size());
    for (const Sort& sort : sorts) {
        // Each click sorts again (the direction alternates).
        std::vector<double> samples;
        for (int i = 0; i < 5; ++i)
            samples.push_back(timer.Microseconds([&] {
                view.ClickColumn(sort.column);
                UpdateWindow(host.GetSafeHwnd());
            }));
        std::printf("  by %-12s median %8.1f ms\n", sort.what, Percentile(samples, 0.5) / 1000);
    }
    // The search box: each keystroke filters every row, then the list is
    // repainted. A name, a number in its national and international forms,
    // a part of one while typing, and the box emptied again.
    std::printf("Searching %zu rows as the search box does, shown, with the repaint:\n",
                calls.size());
    // A number from the log, as it was sent and as written from abroad.
    const std::string national = calls[kRows / 2]->GetNumber();
    const std::string international = "+44 " + national.substr(1);
    const std::string part = national.substr(national.size() - 4);
    for (const char* typed :
         {"smith", national.c_str(), international.c_str(), part.c_str(), "nobody", ""}) {
        std::vector<double> samples;
        for (int i = 0; i < 5; ++i)
            samples.push_back(timer.Microseconds([&] {
                view.SetSearch(typed);
                host.UpdateButtons();
                UpdateWindow(host.GetSafeHwnd());
            }));
        std::printf("  \"%s\"%*s median %8.1f ms, %zu rows shown\n", typed,
                    static_cast<int>(14 - std::strlen(typed)), "", Percentile(samples, 0.5) / 1000,
                    view.Order().Size());
    }
    host.DestroyWindow();
    return 0;
}

} // namespace
} // namespace rw

int main() {
    return rw::Run();
}
