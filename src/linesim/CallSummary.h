// The one-line outcome of a simulated call, printed on exit so that someone
// without a display can see what the screener did.
#pragma once

#include <string>

namespace rw::linesim {

struct CallRecord;
struct SimCall;

// `record` is the call's record as it stands, played bytes included.
std::string FormatCallSummary(const SimCall& call, const CallRecord& record);

} // namespace rw::linesim
