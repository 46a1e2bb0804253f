// Feeds any bytes to the call history reader. Every row it keeps must
// write out and read back as the same row (so the rewrite at the bound
// never changes or cuts one), no kept text may be longer than a field may
// be, and nothing before a line end may hide the row after it.
#include "records/CallAction.h"
#include "records/CallHistory.h"

#include <algorithm>
#include <cstdlib>

using namespace rw;

namespace {

CHistoryRow Sentinel() {
    CHistoryRow row;
    row.time = CDateTime::FromParts(2099, 12, 31, 23, 59, 58);
    row.name = "Sentinel, \"last\"";
    row.number = "0999";
    row.kind = CallerIdNameAndNumber;
    row.action = ActionBlockAlways;
    row.answeredAndDropped = true;
    return row;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CMemorySource source(data, size);
    const CHistoryReadResult read = ReadHistory(source, {CDateTime(), 50});
    if (read.rows.size() > read.rowsInFile || read.skipped > read.rowsInFile)
        std::abort();
    if (read.completeBytes > size)
        std::abort();
    for (const CHistoryRow& row : read.rows) {
        if (row.name.size() > kHistoryMaxFieldBytes || row.number.size() > kHistoryMaxFieldBytes)
            std::abort();
        const std::string again = HistoryHeader() + FormatHistoryRow(row);
        CMemorySource written(again.data(), again.size());
        const CHistoryReadResult back = ReadHistory(written);
        if (back.skipped != 0 || back.tornTail || back.rows.size() != 1 || !(back.rows[0] == row))
            std::abort();
    }

    // A row after a line end is read whatever came before it.
    const CHistoryRow sentinel = Sentinel();
    std::string text(reinterpret_cast<const char*>(data), size);
    text += "\n" + FormatHistoryRow(sentinel);
    CMemorySource after(text.data(), text.size());
    const CHistoryReadResult withSentinel = ReadHistory(after, {CDateTime(), 50});
    if (std::find(withSentinel.rows.begin(), withSentinel.rows.end(), sentinel) ==
        withSentinel.rows.end())
        std::abort();
    return 0;
}
