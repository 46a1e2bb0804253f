// The configuration sheet's Phone Book page at 100,000 entries, under Wine:
// the time from opening the sheet on that page until all rows are listed
// and the first screen is painted, a sort by each column header (with the
// repaint), and what closing the sheet costs (Cancel puts the whole book
// back). It prints figures only.
#include "records/PhoneBook.h"
#include "records/RingwardenPreferences.h"
#include "res/resource.h"
#include "ui/ConfigPhoneBookPage.h"
#include "ui/ConfigPropertySheet.h"

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace rw {
namespace {

constexpr size_t kEntries = 100000;
constexpr int kRuns = 3;

double Now() {
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

// Callers as a household might keep them: names in either case, numbers of
// a few shapes, every filter type.
void FillBook(CPhoneBook& book) {
    std::mt19937 random(2024);
    const char* const names[] = {"Smith",  "jones",      "Brown",      "O'Neil",  "taylor",
                                 "Wilson", "de la Cruz", "Anne-Marie", "Dentist", "garage"};
    char text[64];
    for (size_t i = 0; i < kEntries; ++i) {
        auto entry = std::make_unique<CPhoneBookEntry>();
        const unsigned n = random();
        std::snprintf(text, sizeof text, "%s %u", names[n % 10], n % 99991);
        entry->Name = text;
        std::snprintf(text, sizeof text, "%s%09zu", n % 3 ? "01" : "+44 7", i * 7919 % 1000000000);
        entry->Number = text;
        entry->FilterType = static_cast<int32_t>(n % 3);
        entry->MakeLookupKey();
        entry->InPhoneBook = 1;
        const std::string key = entry->LookupKey;
        book.SetAt(key, std::move(entry));
    }
}

void ClickHeader(HWND page, HWND list, int column) {
    NMLISTVIEW click{};
    click.hdr.hwndFrom = list;
    click.hdr.idFrom = IDC_BOOK_LIST;
    click.hdr.code = LVN_COLUMNCLICK;
    click.iItem = -1;
    click.iSubItem = column;
    SendMessageA(page, WM_NOTIFY, IDC_BOOK_LIST, reinterpret_cast<LPARAM>(&click));
}

void Report(const char* what, std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    std::printf("  %-44s median %8.1f ms  max %8.1f ms\n", what, samples[samples.size() / 2],
                samples.back());
}

struct Sort {
    const char* what;
    int column;
};
const Sort kSorts[] = {
    {"by Name (descending: already by Name)", 0},
    {"by Number", 1},
    {"by Filter Type", 2},
    {"by Name", 0},
    {"by Name again (descending)", 0},
};

int Run() {
    CPhoneBook book;
    CRingwardenPreferences preferences;
    FillBook(book);
    std::printf("Phone Book page under Wine at %zu entries, %d runs\n", book.GetCount(), kRuns);

    std::vector<double> opens, cancels, oks;
    std::vector<std::vector<double>> sorts(std::size(kSorts));
    for (int run = 0; run <= kRuns; ++run) {
        const bool ok = run == kRuns; // the last run keeps the (unchanged) book
        CConfigPropertySheet sheet(preferences, book, IDS_CONFIG_SHEET_CAPTION, nullptr, 2);
        double opened = 0, closing = 0;
        int rows = 0;
        const double start = Now();
        CCorePropertySheet::SetShownHook([&](CCorePropertySheet& shown) {
            CConfigPhoneBookPage& page = sheet.PhoneBookPage();
            HWND list = page.GetDlgItem(IDC_BOOK_LIST);
            UpdateWindow(shown.GetSafeHwnd());
            opened = Now() - start;
            rows = ListView_GetItemCount(list);
            // A row in the middle selected: the sort keeps it selected.
            ListView_SetItemState(list, rows / 2, LVIS_SELECTED | LVIS_FOCUSED,
                                  LVIS_SELECTED | LVIS_FOCUSED);
            UpdateWindow(list);
            for (size_t i = 0; i < std::size(kSorts); ++i) {
                const double before = Now();
                ClickHeader(page.GetSafeHwnd(), list, kSorts[i].column);
                UpdateWindow(list);
                sorts[i].push_back(Now() - before);
            }
            closing = Now();
            shown.PressButton(ok ? PSBTN_OK : PSBTN_CANCEL);
        });
        sheet.DoModal();
        (ok ? oks : cancels).push_back(Now() - closing);
        if (!ok)
            opens.push_back(opened);
        if (static_cast<size_t>(rows) != kEntries)
            std::printf("  (the list showed %d rows)\n", rows);
    }
    CCorePropertySheet::SetShownHook({});
    Report("opened on the page, all rows, painted", opens);
    std::printf(" sorting by a header click, with the repaint:\n");
    for (size_t i = 0; i < std::size(kSorts); ++i)
        Report(kSorts[i].what, sorts[i]);
    Report("Cancel (the whole book read back)", cancels);
    Report("OK (the copy dropped)", oks);
    std::printf("  entries after the runs: %zu\n", book.GetCount());
    return 0;
}

} // namespace
} // namespace rw

int main() {
    return rw::Run();
}
