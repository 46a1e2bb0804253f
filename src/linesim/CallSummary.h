// The one-line outcome of a simulated call, printed on exit so that someone
// without a display can see what the screener did.
#pragma once

#include <string>

namespace rw::linesim {

struct SimCall;

std::string FormatCallSummary(const SimCall& call);

} // namespace rw::linesim
