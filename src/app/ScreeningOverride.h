// A screening override with an end: "Let every call ring" (nothing is
// answered) or "Quiet" (every caller who would ring is blocked as at
// night, but for Never Block entries). Its end is universal time, so that
// summer time never stretches it, or "never" (until the user turns it off).
// Kept in Ringwarden.ini by the session; the rules ask it for each call.
#pragma once

#include <string>

namespace rw {

enum class OverrideMode { None, Quiet, AllRing };

class CScreeningOverride {
public:
    // The end of an override that lasts until it is turned off.
    static constexpr long long kNever = -1;

    void Set(OverrideMode mode, long long untilUtc);
    void Clear() { Set(OverrideMode::None, 0); }
    OverrideMode Mode() const { return m_mode; }
    // Universal seconds since 1970, or kNever.
    long long Until() const { return m_until; }
    // The mode in force at `utcNow`: None once its end has come.
    OverrideMode ModeAt(long long utcNow) const;

    // Ringwarden.ini's words: "none", "quiet", "all-ring"; and back (false
    // for anything else).
    static const char* ModeName(OverrideMode mode);
    static bool ParseMode(const std::string& text, OverrideMode& mode);
    // "2026-12-11T21:30:00Z", or "never"; and back (false for anything
    // else, or a time before 1970).
    static std::string FormatUntil(long long untilUtc);
    static bool ParseUntil(const std::string& text, long long& untilUtc);

private:
    OverrideMode m_mode = OverrideMode::None;
    long long m_until = 0;
};

} // namespace rw
