// Which calls run the user's program, and what each run is told. Portable:
// the runner (CCallHook) turns the variables into a process's environment.
// A call's texts come from the line and are untrusted: they only ever
// travel as the values of environment variables, never as command text.
#pragma once

#include <string>
#include <vector>

namespace rw {

class CLoggedCall;

// The calls the program runs for ([Hook] Events=).
enum class HookEvents { All, Blocked, Messages };

// "all", "blocked", "messages"; and back (false for any other word).
const char* HookEventsName(HookEvents events);
bool ParseHookEvents(const std::string& text, HookEvents& events);

// What the call came to, as RINGWARDEN_EVENT says it: "message" when the
// caller left one, "blocked" when it was answered and turned away, "call"
// for one that rang through.
const char* HookEventOf(const CLoggedCall& call);
// True when `events` asks for a run for the call, whose outcome is final.
bool HookWanted(HookEvents events, const CLoggedCall& call);

struct CHookVariable {
    std::string name;
    std::string value;
    // The value is UTF-8 (a path); otherwise it is in the system code page,
    // as the call's texts are.
    bool utf8 = false;
};

// The longest value a variable is given: a caller ID is whatever the line
// delivered, and an environment block has a size limit of its own.
inline constexpr size_t kHookValueMax = 1024;

// The call's variables: RINGWARDEN_TIME (local, "YYYY-MM-DD HH:MM:SS"),
// _NUMBER, _NAME (the phone book's, else the caller ID's), _CALL_TYPE, _ACTION, _MESSAGE
// (`messagePath`, the kept message's full path, or empty) and _EVENT. A NUL, which would end the
// value early, becomes a space; a longer value is cut at kHookValueMax.
std::vector<CHookVariable> HookVariables(const CLoggedCall& call, const std::string& messagePath);

} // namespace rw
