// The settings of messages, section [Messages] of Ringwarden.ini: who may
// leave one, how long it may be, and whether a balloon tells of each. Kept
// apart from CSettings, which holds the other sections, and read and written
// alongside it through the same profile functions. A missing or damaged
// value takes its default.
#pragma once

#include "app/MessagePolicy.h"

#include <string>

namespace rw {

class CMessageSettings {
public:
    static constexpr bool kDefaultFromTimeBlocked = true;
    static constexpr bool kDefaultFromUnknownCallers = true;
    static constexpr int kDefaultMaxSeconds = 120;
    static constexpr int kMinMaxSeconds = 30;
    static constexpr int kMaxMaxSeconds = 300;
    static constexpr bool kDefaultBalloon = true;

    // `path`: Ringwarden.ini (UTF-8, a full path).
    void Load(const std::string& path);
    // False when a value could not be written.
    bool Save(const std::string& path) const;

    MessageRules Rules() const { return m_rules; }
    void SetRules(const MessageRules& rules) { m_rules = rules; }
    // 30 to 300.
    int MaxSeconds() const { return m_maxSeconds; }
    void SetMaxSeconds(int seconds);
    bool Balloon() const { return m_balloon; }
    void SetBalloon(bool on) { m_balloon = on; }

    friend bool operator==(const CMessageSettings& a, const CMessageSettings& b) {
        return a.m_rules.fromTimeBlocked == b.m_rules.fromTimeBlocked &&
               a.m_rules.fromUnknownCallers == b.m_rules.fromUnknownCallers &&
               a.m_maxSeconds == b.m_maxSeconds && a.m_balloon == b.m_balloon;
    }

private:
    MessageRules m_rules{kDefaultFromTimeBlocked, kDefaultFromUnknownCallers};
    int m_maxSeconds = kDefaultMaxSeconds;
    bool m_balloon = kDefaultBalloon;
};

} // namespace rw
