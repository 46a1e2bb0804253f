#include "app/VerifiedCallers.h"

#include <algorithm>

namespace rw {

long long CVerifiedCallers::Lifetime() const {
    return std::max(kFreshSeconds, 86400LL * m_days);
}

bool CVerifiedCallers::IsVerified(const std::string& key, long long utcNow) const {
    auto found = m_verified.find(key);
    return found != m_verified.end() && utcNow - found->second <= Lifetime();
}

void CVerifiedCallers::Verify(const std::string& key, long long utcNow) {
    if (key.empty())
        return;
    m_verified[key] = utcNow;
    m_dirty = true;
    // A stream of distinct numbers never grows the list for long.
    if (m_verified.size() > kVerifiedMaxEntries) {
        std::erase_if(m_verified,
                      [&](const auto& pair) { return utcNow - pair.second > Lifetime(); });
        while (m_verified.size() > kVerifiedMaxEntries) {
            auto oldest =
                std::min_element(m_verified.begin(), m_verified.end(),
                                 [](const auto& a, const auto& b) { return a.second < b.second; });
            m_verified.erase(oldest);
        }
    }
}

std::vector<CVerifiedEntry> CVerifiedCallers::Entries(long long utcNow) const {
    std::vector<CVerifiedEntry> entries;
    for (const auto& [key, at] : m_verified)
        if (utcNow - at <= Lifetime())
            entries.push_back({key, at});
    std::sort(entries.begin(), entries.end(), [](const CVerifiedEntry& a, const CVerifiedEntry& b) {
        return a.verifiedAt < b.verifiedAt || (a.verifiedAt == b.verifiedAt && a.key < b.key);
    });
    return entries;
}

void CVerifiedCallers::Load(const std::vector<CVerifiedEntry>& entries) {
    m_verified.clear();
    for (const CVerifiedEntry& entry : entries) {
        auto [it, added] = m_verified.try_emplace(entry.key, entry.verifiedAt);
        if (!added)
            it->second = std::max(it->second, entry.verifiedAt);
    }
    m_dirty = false;
}

} // namespace rw
