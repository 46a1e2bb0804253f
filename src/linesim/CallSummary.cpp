#include "CallSummary.h"

#include "LineSimulator.h"

#include <cstdio>

namespace rw::linesim {

namespace {

constexpr size_t kMaxShown = 40;

// Caller-ID bytes may be anything: show printable ones, '?' for the rest.
std::string Printable(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size() && i < kMaxShown; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        out += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
    }
    if (text.size() > kMaxShown)
        out += "...";
    return out;
}

std::string Caller(const SimCall& call) {
    if (!call.number.empty())
        return Printable(call.number);
    if (!call.name.empty())
        return Printable(call.name);
    switch (call.kind) {
    case CallerIdKind::Blocked:
        return "<blocked>";
    case CallerIdKind::OutOfArea:
        return "<out of area>";
    case CallerIdKind::Unavailable:
        return "<unavailable>";
    case CallerIdKind::Unknown:
        return "<unknown>";
    default:
        return "<no number>";
    }
}

std::string Rings(uint32_t rings) {
    return std::to_string(rings) + (rings == 1 ? " ring" : " rings");
}

std::string Seconds(int32_t ms) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f s", ms / 1000.0);
    return buf;
}

} // namespace

std::string FormatCallSummary(const SimCall& call, const CallRecord& r) {
    std::string out =
        "call " + std::to_string(r.id) + (r.outbound ? " to " : " from ") + Caller(call) + ":";
    auto add = [&out, first = true](const std::string& part) mutable {
        out += first ? " " : ", ";
        out += part;
        first = false;
    };
    if (r.outbound)
        add("outbound");
    if (r.answeredMs >= 0)
        add("answered after " + Seconds(r.answeredMs));
    else if (r.pickedUpMs >= 0)
        add("picked up by someone else after " + Seconds(r.pickedUpMs));
    else if (r.rangOut)
        add("not answered, rang out after " + Rings(r.rings));
    else if (r.hungUpMs >= 0)
        add("not answered, caller hung up after " + Rings(r.rings));
    else if (!r.outbound)
        add("not answered");
    if (r.waveOutRequests)
        add("asked for the wave device");
    if (r.bytesPlayed)
        add("played " + std::to_string(r.bytesPlayed) + " bytes");
    else if (r.waveOutRequests && (r.answeredMs >= 0 || r.pickedUpMs >= 0))
        add("played nothing");
    if (r.waveInOpens)
        add("recorded " + std::to_string(r.bytesRecorded) + " bytes");
    if (r.monitorOn)
        add("monitored digits");
    if (r.digitsKeyed)
        add("caller keyed " + Printable(r.keyed) + " (" + std::to_string(r.digitsDelivered) +
            " reported)");
    if (r.dropFailures)
        add(std::to_string(r.dropFailures) + (r.dropFailures == 1 ? " drop" : " drops") +
            " failed");
    if (r.droppedMs >= 0) {
        if (r.hungUpMs >= 0 && r.hungUpMs <= r.droppedMs)
            add("dropped after caller hung up");
        else
            add("dropped after " + Seconds(r.droppedMs));
    } else if ((r.answeredMs >= 0 || r.pickedUpMs >= 0) && r.hungUpMs >= 0) {
        add("caller hung up, never dropped");
    } else if (call.cutOff) {
        add("cut off when the line closed");
    } else if (r.callState != LINECALLSTATE_IDLE) {
        add("still on the line");
    }
    return out;
}

} // namespace rw::linesim
