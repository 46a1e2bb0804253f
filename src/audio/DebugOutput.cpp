#include "audio/DebugOutput.h"

#include <windows.h>

namespace rw {
namespace {
DebugOutputSink g_sink = nullptr;
}

void DebugOutput(const char* text) {
    if (g_sink)
        g_sink(text);
    else
        OutputDebugStringA(text);
}

DebugOutputSink SetDebugOutputSink(DebugOutputSink sink) {
    DebugOutputSink previous = g_sink;
    g_sink = sink;
    return previous;
}

} // namespace rw
