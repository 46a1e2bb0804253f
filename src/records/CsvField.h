// One field of a CSV row, as spreadsheets write it (RFC 4180): quoted only
// when it holds a comma, a quote or a line break, with quotes doubled.
#pragma once

#include <string>

namespace rw {

inline void AppendCsvField(std::string& out, const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        out += text;
        return;
    }
    out += '"';
    for (char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

} // namespace rw
