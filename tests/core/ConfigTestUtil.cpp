#include "ConfigTestUtil.h"

#include <atomic>
#include <cctype>
#include <chrono>
#include <fstream>
#include <iterator>

namespace rw::test {

const char* const kEmptyConfigHex =
    "00000000 ABAAAAAAAAAAEE3F"           // OutOfHoursStart 23:00
    "00000000 555555555555D53F"           // OutOfHoursEnd 08:00
    "00"                                  // DefaultMessageFile
    "00000000 00000000 01000000 00000000" // rule, minimised, notification, main valid
    "0000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
    "00000000" // NotifyPlacementValid
    "0000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
    "05000000 01000000 31 32 02000000" // seconds, suspend, keys, minutes
    "00000000"                         // entry count
    "0000";                            // pairs

const char* const kOneEntryConfigHex =
    "00000000 ABAAAAAAAAAAEE3F 00000000 555555555555D53F 00"
    "00000000 00000000 01000000 00000000"
    "0000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
    "00000000"
    "0000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
    "05000000 01000000 31 32 02000000"
    "01000000"                                            // entry count
    "0100"                                                // pairs
    "0131"                                                // key
    "FFFF 0100 0F00 435068 6F6E65 426F6F6B 456E747279"    // new class, schema 1
    "0141 0131 0131 00"                                   // name, number, key, notes
    "01000000 00000000 00000000 01000000"                 // in book, filter, own hours, answer
    "00000000 ABAAAAAAAAAAEE3F 00000000 555555555555D53F" // own window
    "00"                                                  // message file
    "02000000 0000000000000000";                          // last call: null

std::vector<uint8_t> FromHex(const std::string& hex) {
    std::vector<uint8_t> out;
    int high = -1;
    for (char c : hex) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            continue;
        const int v = std::isdigit(static_cast<unsigned char>(c))
                          ? c - '0'
                          : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<uint8_t>(high << 4 | v));
            high = -1;
        }
    }
    return out;
}

std::string ToHex(const std::vector<uint8_t>& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (uint8_t b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
        out += ' ';
    }
    return out;
}

CScratchDir::CScratchDir() {
    static std::atomic<int> serial{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    m_dir = std::filesystem::temp_directory_path() /
            ("rwtest-" + std::to_string(stamp) + "-" + std::to_string(serial++));
    std::filesystem::create_directories(m_dir);
}

CScratchDir::~CScratchDir() {
    std::error_code ec;
    // Read-only files would stop the removal on Windows.
    for (const auto& e : std::filesystem::directory_iterator(m_dir, ec))
        std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(m_dir, ec);
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

bool SameEntry(const CPhoneBookEntry& a, const CPhoneBookEntry& b) {
    return a.Name == b.Name && a.Number == b.Number && a.LookupKey == b.LookupKey &&
           a.Notes == b.Notes && a.InPhoneBook == b.InPhoneBook && a.FilterType == b.FilterType &&
           a.UseOwnHours == b.UseOwnHours && a.AnswerMode == b.AnswerMode &&
           a.OwnHoursStart == b.OwnHoursStart && a.OwnHoursEnd == b.OwnHoursEnd &&
           a.MessageFile == b.MessageFile && a.LastCallTime == b.LastCallTime;
}

std::unique_ptr<CPhoneBookEntry> Entry(const std::string& name, const std::string& number) {
    auto e = std::make_unique<CPhoneBookEntry>();
    e->Name = name;
    e->Number = number;
    e->MakeLookupKey();
    e->InPhoneBook = 1;
    return e;
}

} // namespace rw::test
