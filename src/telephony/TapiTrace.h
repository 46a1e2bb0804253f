// Where the telephony layer reports, for the trace, every message and reply
// the service delivers and every request the program makes. Nobody listens
// unless the trace is on; then each report is formatted into one line.
#pragma once

#include <windows.h>

#include <tapi.h>

#include <string>

namespace rw {

class CTapiTraceSink {
public:
    virtual void OnTapiTrace(const std::string& line) = 0;

protected:
    ~CTapiTraceSink() = default;
};

// Null (the default) turns it off.
void SetTapiTraceSink(CTapiTraceSink* sink);
CTapiTraceSink* TapiTraceSink();

// Format and report only when there is a sink; callers test TapiTraceSink()
// first, so that nothing is formatted while the trace is off.
// `phone`: a message of the phone registration's callback.
void TraceTapiMessage(DWORD device, DWORD message, DWORD_PTR instance, DWORD_PTR param1,
                      DWORD_PTR param2, DWORD_PTR param3, bool phone = false);
void TraceTapiRequest(const char* function, DWORD_PTR handle, const char* detail, LONG result);

} // namespace rw
