// Windows-side tests: a caller ID for the line simulator from two texts,
// both laid out the same way in the call information.
#pragma once

#include "LineSim.h"

#include <string>

namespace rw::test {

inline linesim::CallerId Caller(linesim::CallerIdKind kind, const std::string& number,
                                const std::string& name,
                                linesim::TextLayout layout = linesim::TextLayout::Normal) {
    linesim::CallerId id;
    id.kind = kind;
    id.number = {number.data(), number.size(), layout};
    id.name = {name.data(), name.size(), layout};
    return id;
}

} // namespace rw::test
