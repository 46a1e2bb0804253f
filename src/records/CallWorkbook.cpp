#include "records/CallWorkbook.h"

#include "records/CallAction.h"
#include "records/Cp1252.h"

#include <xlsxwriter.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdio>
#include <iterator>

namespace rw {
namespace {

// libxlsxwriter opens files with the C library's fopen, which on Windows
// takes the system code page: a path it cannot name there is written under
// the temporary folder's short name and moved into place.
#ifdef _WIN32
std::wstring Wide(const std::string& utf8) {
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

// `wide` in the system code page, or empty when it has characters the code
// page lacks.
std::string InCodePage(const std::wstring& wide) {
    BOOL lost = FALSE;
    const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(),
                                      static_cast<int>(wide.size()), nullptr, 0, nullptr, &lost);
    if (n <= 0 || lost)
        return std::string();
    std::string text(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                        text.data(), n, nullptr, &lost);
    return lost ? std::string() : text;
}
#endif

std::string Utf8(const std::string& systemText) {
    return Cp1252ToUtf8(systemText);
}

bool WriteTo(const char* path, const std::vector<CHistoryRow>& rows, const std::string& timeFormat,
             std::string& error) {
    // Constant memory: each row goes to a temporary file as it is written.
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* workbook = workbook_new_opt(path, &options);
    if (!workbook) {
        error = "the workbook could not be created";
        return false;
    }
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, "Calls");
    lxw_format* header = workbook_add_format(workbook);
    format_set_bold(header);
    lxw_format* time = workbook_add_format(workbook);
    format_set_num_format(time, timeFormat.c_str());
    format_set_align(time, LXW_ALIGN_LEFT);
    // "@": a number typed there later stays text too.
    lxw_format* text = workbook_add_format(workbook);
    format_set_num_format(text, "@");

    const char* titles[] = {"Time",      "Name",           "Number",
                            "Caller ID", "Action",         "Answered and dropped",
                            "Message",   "Message seconds"};
    const double widths[] = {20, 28, 18, 12, 36, 10, 34, 10};
    static_assert(std::size(titles) == std::size(widths));
    for (lxw_col_t c = 0; c < static_cast<lxw_col_t>(std::size(titles)); ++c) {
        worksheet_set_column(sheet, c, c, widths[c], c == 2 ? text : nullptr);
        worksheet_write_string(sheet, 0, c, titles[c], header);
    }
    worksheet_freeze_panes(sheet, 1, 0);

    lxw_row_t r = 1;
    for (const CHistoryRow& row : rows) {
        if (r >= LXW_ROW_MAX)
            break;
        CDateTimeParts p{};
        if (row.time.GetParts(p)) {
            lxw_datetime when{p.year,
                              static_cast<uint8_t>(p.month),
                              static_cast<uint8_t>(p.day),
                              static_cast<uint8_t>(p.hour),
                              static_cast<uint8_t>(p.minute),
                              static_cast<double>(p.second)};
            worksheet_write_datetime(sheet, r, 0, &when, time);
        }
        worksheet_write_string(sheet, r, 1, Utf8(row.name).c_str(), nullptr);
        worksheet_write_string(sheet, r, 2, Utf8(row.number).c_str(), text);
        worksheet_write_string(sheet, r, 3, CallerIdKindText(row.kind).c_str(), nullptr);
        worksheet_write_string(sheet, r, 4, Utf8(ActionText(row.action)).c_str(), nullptr);
        worksheet_write_string(sheet, r, 5, row.answeredAndDropped ? "yes" : "no", nullptr);
        if (!row.message.empty()) {
            worksheet_write_string(sheet, r, 6, Utf8(row.message).c_str(), nullptr);
            worksheet_write_number(sheet, r, 7, row.messageMs / 1000.0, nullptr);
        }
        ++r;
    }
    const lxw_error result = workbook_close(workbook);
    if (result != LXW_NO_ERROR) {
        error = lxw_strerror(result);
        return false;
    }
    return true;
}

} // namespace

bool CCallWorkbook::Write(const std::string& path, const std::vector<CHistoryRow>& rows,
                          const std::string& timeFormat, std::string& error) {
    const std::string format = timeFormat.empty() ? kDefaultTimeFormat : timeFormat;
#ifdef _WIN32
    const std::wstring wide = Wide(path);
    const std::string direct = InCodePage(wide);
    if (!direct.empty())
        return WriteTo(direct.c_str(), rows, format, error);
    wchar_t folder[MAX_PATH + 1] = {}, shortFolder[MAX_PATH + 1] = {}, temp[MAX_PATH + 1] = {};
    if (!GetTempPathW(MAX_PATH, folder) || !GetShortPathNameW(folder, shortFolder, MAX_PATH) ||
        !GetTempFileNameW(shortFolder, L"rwx", 0, temp)) {
        error = "no temporary file could be made";
        return false;
    }
    const std::string tempPath = InCodePage(temp);
    bool written = !tempPath.empty() && WriteTo(tempPath.c_str(), rows, format, error);
    if (tempPath.empty())
        error = "the temporary folder's name cannot be written in this system's code page";
    if (written &&
        !MoveFileExW(temp, wide.c_str(), MOVEFILE_COPY_ALLOWED | MOVEFILE_REPLACE_EXISTING)) {
        error = "the workbook could not be moved into place";
        written = false;
    }
    if (!written)
        DeleteFileW(temp);
    return written;
#else
    return WriteTo(path.c_str(), rows, format, error);
#endif
}

std::string CCallWorkbook::TimeFormatFrom(const std::string& datePicture,
                                          const std::string& timePicture) {
    std::string format;
    // The date: M (month) is m in a spreadsheet; d, y and quoted text are
    // the same.
    for (char c : datePicture)
        format += c == 'M' ? 'm' : c;
    format += ' ';
    // The time: H (24-hour) is h; t or tt (the 12-hour clock's marker)
    // is AM/PM, which also makes h count to 12.
    for (size_t i = 0; i < timePicture.size(); ++i) {
        const char c = timePicture[i];
        if (c == 't') {
            while (i + 1 < timePicture.size() && timePicture[i + 1] == 't')
                ++i;
            format += "AM/PM";
        } else {
            format += c == 'H' ? 'h' : c;
        }
    }
    return format;
}

} // namespace rw
