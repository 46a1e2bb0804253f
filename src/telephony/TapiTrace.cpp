#include "telephony/TapiTrace.h"

#include <cstdio>

namespace rw {
namespace {

CTapiTraceSink* g_sink = nullptr;

const char* MessageName(DWORD message) {
    switch (message) {
    case LINE_ADDRESSSTATE:
        return "LINE_ADDRESSSTATE";
    case LINE_CALLINFO:
        return "LINE_CALLINFO";
    case LINE_CALLSTATE:
        return "LINE_CALLSTATE";
    case LINE_CLOSE:
        return "LINE_CLOSE";
    case LINE_DEVSPECIFIC:
        return "LINE_DEVSPECIFIC";
    case LINE_GATHERDIGITS:
        return "LINE_GATHERDIGITS";
    case LINE_GENERATE:
        return "LINE_GENERATE";
    case LINE_LINEDEVSTATE:
        return "LINE_LINEDEVSTATE";
    case LINE_MONITORDIGITS:
        return "LINE_MONITORDIGITS";
    case LINE_MONITORMEDIA:
        return "LINE_MONITORMEDIA";
    case LINE_REPLY:
        return "LINE_REPLY";
    case LINE_CREATE:
        return "LINE_CREATE";
    default:
        return nullptr;
    }
}

const char* PhoneMessageName(DWORD message) {
    switch (message) {
    case PHONE_CREATE:
        return "PHONE_CREATE";
    case PHONE_STATE:
        return "PHONE_STATE";
    case PHONE_REPLY:
        return "PHONE_REPLY";
    case PHONE_CLOSE:
        return "PHONE_CLOSE";
    default:
        return nullptr;
    }
}

} // namespace

void SetTapiTraceSink(CTapiTraceSink* sink) {
    g_sink = sink;
}

CTapiTraceSink* TapiTraceSink() {
    return g_sink;
}

void TraceTapiMessage(DWORD device, DWORD message, DWORD_PTR instance, DWORD_PTR param1,
                      DWORD_PTR param2, DWORD_PTR param3, bool phone) {
    if (!g_sink)
        return;
    char line[160];
    // The phone messages' numbers overlap the line ones'.
    const char* name = phone ? PhoneMessageName(message) : MessageName(message);
    char number[16];
    if (!name) {
        std::snprintf(number, sizeof number, "%s %lu", phone ? "phone message" : "message",
                      static_cast<unsigned long>(message));
        name = number;
    }
    std::snprintf(line, sizeof line, "<- %s device/call 0x%lX instance 0x%llX 0x%llX 0x%llX 0x%llX",
                  name, static_cast<unsigned long>(device),
                  static_cast<unsigned long long>(instance),
                  static_cast<unsigned long long>(param1), static_cast<unsigned long long>(param2),
                  static_cast<unsigned long long>(param3));
    g_sink->OnTapiTrace(line);
}

void TraceTapiRequest(const char* function, DWORD_PTR handle, const char* detail, LONG result) {
    if (!g_sink)
        return;
    char line[160];
    std::snprintf(line, sizeof line, "-> %s 0x%llX%s%s = 0x%lX", function,
                  static_cast<unsigned long long>(handle), detail && *detail ? " " : "",
                  detail ? detail : "", static_cast<unsigned long>(result));
    g_sink->OnTapiTrace(line);
}

} // namespace rw
