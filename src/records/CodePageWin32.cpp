#include "records/CodePage.h"

#include <windows.h>

#include <algorithm>
#include <climits>

namespace rw {

void UpperCaseInPlace(std::string& text) {
    // CharUpperBuffA works in the system (ANSI) code page and never changes
    // the length, so it can run over the string's own buffer. It takes a
    // DWORD count; longer texts go in pieces.
    size_t done = 0;
    while (done < text.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(text.size() - done, INT_MAX));
        CharUpperBuffA(text.data() + done, chunk);
        done += chunk;
    }
}

std::string Utf16ToSystem(std::u16string_view text) {
    // WideCharToMultiByte takes int counts; long texts go in pieces that
    // never split a surrogate pair.
    constexpr size_t kPiece = size_t{1} << 20;
    std::string out;
    size_t done = 0;
    while (done < text.size()) {
        size_t n = std::min(text.size() - done, kPiece);
        if (n < text.size() - done && text[done + n - 1] >= 0xD800 && text[done + n - 1] < 0xDC00)
            --n;
        const auto* wide = reinterpret_cast<const wchar_t*>(text.data() + done);
        const int need =
            WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
        const size_t at = out.size();
        out.resize(at + static_cast<size_t>(need > 0 ? need : 0));
        if (need > 0)
            WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(n), out.data() + at, need,
                                nullptr, nullptr);
        done += n;
    }
    return out;
}

} // namespace rw
