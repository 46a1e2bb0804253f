// The callers with no entry who passed the key check: their next call
// within kFreshSeconds rings through, and for VerifiedDays after it (0: no
// longer) they are not asked again. Keyed by the lookup key of the number;
// kept across restarts by the session (Ringwarden-verified.txt).
#pragma once

#include "records/VerifiedFile.h"

#include <string>
#include <unordered_map>
#include <vector>

namespace rw {

class CVerifiedCallers {
public:
    // A caller who has just passed rings through this long whatever the days.
    static constexpr long long kFreshSeconds = 10 * 60;

    void SetDays(int days) { m_days = days < 0 ? 0 : days; }
    int Days() const { return m_days; }

    // True when `key` passed the check no longer ago than the fresh minutes
    // or the days allow. A time that seems to lie ahead (the clock was set
    // back) counts as just now.
    bool IsVerified(const std::string& key, long long utcNow) const;
    void Verify(const std::string& key, long long utcNow);

    // What the file holds, and back: entries whose time has passed are left
    // out.
    std::vector<CVerifiedEntry> Entries(long long utcNow) const;
    void Load(const std::vector<CVerifiedEntry>& entries);
    // Changed since the last Entries() was saved.
    bool Dirty() const { return m_dirty; }
    void SetSaved() { m_dirty = false; }

private:
    long long Lifetime() const;

    int m_days = 30;
    std::unordered_map<std::string, long long> m_verified;
    bool m_dirty = false;
};

} // namespace rw
