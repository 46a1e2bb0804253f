// Helpers shared by the configuration tests: hex fixtures, a scratch
// directory and whole-file reads.
#pragma once

#include "records/PhoneBookEntry.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace rw::test {

// Bytes from hex digits; anything else (spaces, newlines) is skipped.
std::vector<uint8_t> FromHex(const std::string& hex);
std::string ToHex(const std::vector<uint8_t>& bytes);

// The worked examples: default preferences with an empty phone book, and
// with the one entry "A" numbered "1".
extern const char* const kEmptyConfigHex;
extern const char* const kOneEntryConfigHex;

// A fresh directory, removed with everything in it on destruction.
class CScratchDir {
public:
    CScratchDir();
    ~CScratchDir();
    CScratchDir(const CScratchDir&) = delete;
    CScratchDir& operator=(const CScratchDir&) = delete;
    std::string Path(const std::string& name) const { return (m_dir / name).string(); }

private:
    std::filesystem::path m_dir;
};

std::vector<uint8_t> ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes);
bool FileExists(const std::string& path);

bool SameEntry(const CPhoneBookEntry& a, const CPhoneBookEntry& b);
// A stored entry as the entry editor leaves it: name, number, key, InPhoneBook.
std::unique_ptr<CPhoneBookEntry> Entry(const std::string& name, const std::string& number);

} // namespace rw::test
