#include "records/VerifiedFile.h"

#include <algorithm>

namespace rw {
namespace {

// A key as a lookup key is made: digits, letters and the few marks a
// number or a prefix carries; nothing that could break a line.
bool IsKeyText(const std::string& key) {
    if (key.empty() || key.size() > kVerifiedMaxKeyBytes)
        return false;
    return std::all_of(key.begin(), key.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u > 0x20 && u != 0x7F && c != '\t';
    });
}

bool ParseSeconds(const std::string& text, long long& out) {
    if (text.empty() || text.size() > 12)
        return false;
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    out = value;
    return true;
}

} // namespace

std::string VerifiedPathFor(const std::string& configPath) {
    const size_t slash = configPath.find_last_of("\\/");
    return (slash == std::string::npos ? std::string() : configPath.substr(0, slash + 1)) +
           kVerifiedFileName;
}

std::vector<CVerifiedEntry> ReadVerified(CByteSource& source, size_t& skipped) {
    skipped = 0;
    std::vector<CVerifiedEntry> entries;
    std::string line;
    bool tooLong = false;
    bool first = true;
    auto take = [&] {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (first) {
            first = false;
            if (line == kVerifiedHeader)
                return;
        }
        if (line.empty() && !tooLong)
            return;
        const size_t tab = line.find('\t');
        CVerifiedEntry entry;
        if (tooLong || tab == std::string::npos ||
            !ParseSeconds(line.substr(tab + 1), entry.verifiedAt)) {
            ++skipped;
            return;
        }
        entry.key = line.substr(0, tab);
        if (!IsKeyText(entry.key)) {
            ++skipped;
            return;
        }
        entries.push_back(std::move(entry));
        // Only the newest lines are kept: the file is written oldest first.
        if (entries.size() > kVerifiedMaxEntries)
            entries.erase(entries.begin(), entries.begin() + kVerifiedMaxEntries / 2);
    };
    // A line can hold no more than a key, a tab and the seconds.
    constexpr size_t kMaxLine = kVerifiedMaxKeyBytes + 16;
    char buffer[4096];
    for (;;) {
        const size_t n = source.Read(buffer, sizeof buffer);
        if (n == 0)
            break;
        for (size_t i = 0; i < n; ++i) {
            if (buffer[i] == '\n') {
                take();
                line.clear();
                tooLong = false;
            } else if (line.size() < kMaxLine) {
                line += buffer[i];
            } else {
                tooLong = true;
            }
        }
    }
    if (!line.empty() || tooLong)
        take();
    return entries;
}

std::string FormatVerified(const std::vector<CVerifiedEntry>& entries) {
    std::string text = std::string(kVerifiedHeader) + "\r\n";
    for (const CVerifiedEntry& entry : entries) {
        if (!IsKeyText(entry.key) || entry.verifiedAt < 0)
            continue;
        text += entry.key;
        text += '\t';
        text += std::to_string(entry.verifiedAt);
        text += "\r\n";
    }
    return text;
}

} // namespace rw
