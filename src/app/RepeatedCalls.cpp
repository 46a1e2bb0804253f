#include "app/RepeatedCalls.h"

#include <algorithm>

namespace rw {

void CRepeatedCalls::SetMinutes(int minutes) {
    m_minutes = std::clamp(minutes, 0, kMaxMinutes);
    if (m_minutes == 0)
        m_blocked.clear();
}

bool CRepeatedCalls::Inside(long long blockedAt, long long utcSeconds) const {
    const long long elapsed = utcSeconds - blockedAt;
    return elapsed >= 0 && elapsed <= 60LL * m_minutes;
}

bool CRepeatedCalls::IsRepeat(const std::string& key, long long utcSeconds) const {
    if (m_minutes <= 0 || key.empty())
        return false;
    auto it = m_blocked.find(key);
    return it != m_blocked.end() && Inside(it->second, utcSeconds) &&
           utcSeconds - it->second >= kMinGapSeconds;
}

void CRepeatedCalls::RememberBlock(const std::string& key, long long utcSeconds) {
    if (m_minutes <= 0 || key.empty())
        return;
    if (m_blocked.size() >= m_pruneAt)
        Prune(utcSeconds);
    auto [it, added] = m_blocked.try_emplace(key, utcSeconds);
    if (!added && !Inside(it->second, utcSeconds))
        it->second = utcSeconds;
}

void CRepeatedCalls::Prune(long long utcSeconds) {
    std::erase_if(m_blocked, [&](const auto& pair) { return !Inside(pair.second, utcSeconds); });
    m_pruneAt = std::max<size_t>(64, 2 * m_blocked.size());
}

} // namespace rw
