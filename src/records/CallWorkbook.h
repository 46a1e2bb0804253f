// The calls as an .xlsx workbook, for a spreadsheet: one row per call, the
// numbers as text cells (so "0123 456" keeps its leading zero), the times
// as date cells in a given number format, and the header row frozen.
// Written with libxlsxwriter, streaming row by row, so memory does not
// grow with the number of calls.
#pragma once

#include "records/CallHistory.h"

#include <string>
#include <vector>

namespace rw {

class CCallWorkbook {
public:
    // The format of the time cells when no other is given.
    static constexpr const char* kDefaultTimeFormat = "yyyy-mm-dd hh:mm:ss";

    // Writes `rows` (oldest first) to `path` (UTF-8), replacing any file
    // there; the time cells in `timeFormat`, a spreadsheet number format.
    // False, with the reason in `error`, when it could not be written.
    static bool Write(const std::string& path, const std::vector<CHistoryRow>& rows,
                      const std::string& timeFormat, std::string& error);

    // The user's short date and time as a spreadsheet number format, from
    // the system's pictures ("dd/MM/yyyy" and "HH:mm:ss" give
    // "dd/mm/yyyy hh:mm:ss").
    static std::string TimeFormatFrom(const std::string& datePicture,
                                      const std::string& timePicture);
};

} // namespace rw
