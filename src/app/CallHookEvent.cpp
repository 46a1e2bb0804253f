#include "app/CallHookEvent.h"

#include "records/CallHistory.h"
#include "records/LoggedCall.h"
#include "records/StringTable.h"
#include "res/resource.h"

#include <cstdio>
#include <iterator>

namespace rw {
namespace {

constexpr const char* kNames[] = {"all", "blocked", "messages"};

std::string CleanValue(std::string value) {
    if (value.size() > kHookValueMax)
        value.resize(kHookValueMax);
    for (char& c : value)
        if (c == '\0')
            c = ' ';
    return value;
}

std::string TimeText(const CLoggedCall& call) {
    CDateTimeParts p;
    if (!call.GetCallTime().GetParts(p))
        return {};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day,
                  p.hour, p.minute, p.second);
    return text;
}

// The phone book's name for the caller; for a caller without an entry
// (listed as "<No Phone Book Entry>", which names nobody) the caller ID's.
std::string CallerName(const CLoggedCall& call) {
    const std::string listed = call.GetName();
    if (listed.empty() || listed == LoadResString(IDS_NO_PHONE_BOOK_ENTRY))
        return call.GetCallerIdName();
    return listed;
}

} // namespace

const char* HookEventsName(HookEvents events) {
    const auto i = static_cast<size_t>(events);
    return i < std::size(kNames) ? kNames[i] : kNames[0];
}

bool ParseHookEvents(const std::string& text, HookEvents& events) {
    for (size_t i = 0; i < std::size(kNames); ++i) {
        if (text == kNames[i]) {
            events = static_cast<HookEvents>(i);
            return true;
        }
    }
    return false;
}

const char* HookEventOf(const CLoggedCall& call) {
    if (!call.GetRecording().empty())
        return "message";
    // A block the line refused left the call to ring: it was not turned away.
    if (call.IsBlockingAction())
        return "blocked";
    return "call";
}

bool HookWanted(HookEvents events, const CLoggedCall& call) {
    switch (events) {
    case HookEvents::All:
        return true;
    case HookEvents::Blocked:
        // A caller who left a message was blocked first.
        return call.IsBlockingAction() || !call.GetRecording().empty();
    case HookEvents::Messages:
        return !call.GetRecording().empty();
    }
    return false;
}

std::vector<CHookVariable> HookVariables(const CLoggedCall& call, const std::string& messagePath) {
    std::vector<CHookVariable> v;
    v.push_back({"RINGWARDEN_TIME", TimeText(call), false});
    v.push_back({"RINGWARDEN_NUMBER", CleanValue(call.GetNumber()), false});
    v.push_back({"RINGWARDEN_NAME", CleanValue(CallerName(call)), false});
    v.push_back({"RINGWARDEN_CALL_TYPE", CallerIdKindText(call.GetCallerIdKind()), false});
    v.push_back({"RINGWARDEN_ACTION", CleanValue(call.ActionDisplayText()), false});
    v.push_back({"RINGWARDEN_MESSAGE", CleanValue(messagePath), true});
    v.push_back({"RINGWARDEN_EVENT", HookEventOf(call), false});
    return v;
}

} // namespace rw
