// Feeds any bytes to the call history reader. Every row it keeps must
// write out and read back as the same row, and no kept text may be longer
// than a field may be.
#include "records/CallHistory.h"

#include <cstdlib>

using namespace rw;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CMemorySource source(data, size);
    const CHistoryReadResult read = ReadHistory(source, {CDateTime(), 50});
    if (read.rows.size() > read.rowsInFile || read.skipped > read.rowsInFile)
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
    return 0;
}
