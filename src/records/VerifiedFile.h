// Ringwarden-verified.txt beside the configuration: the numbers that passed
// the key check, and when (universal seconds since 1970), so that a restart
// does not ask them again. A header line, then one "key<TAB>seconds" line a
// number. Reading never trusts the file: a line that cannot be read is
// skipped, nothing is kept past the limits below, and no allocation is
// larger than the file's own bytes justify.
#pragma once

#include "records/ByteStream.h"

#include <cstddef>
#include <string>
#include <vector>

namespace rw {

inline constexpr const char* kVerifiedFileName = "Ringwarden-verified.txt";
inline constexpr const char* kVerifiedHeader = "Ringwarden verified callers 1";
// A lookup key longer than this is no caller's.
inline constexpr size_t kVerifiedMaxKeyBytes = 64;
// The list keeps at most this many numbers (the newest).
inline constexpr size_t kVerifiedMaxEntries = 10000;

struct CVerifiedEntry {
    std::string key;
    long long verifiedAt = 0;

    friend bool operator==(const CVerifiedEntry&, const CVerifiedEntry&) = default;
};

// The path of the file beside the configuration file `configPath`.
std::string VerifiedPathFor(const std::string& configPath);

// Reads what can be read; `skipped` counts the lines that could not be.
std::vector<CVerifiedEntry> ReadVerified(CByteSource& source, size_t& skipped);
// The whole file for `entries`.
std::string FormatVerified(const std::vector<CVerifiedEntry>& entries);

} // namespace rw
