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

} // namespace rw
