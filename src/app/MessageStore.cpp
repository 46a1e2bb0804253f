#include "app/MessageStore.h"

#include "records/DateTime.h"
#include "records/FileSystem.h"
#include "records/LoggedCall.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

namespace rw {
namespace {

constexpr const char* kExtension = ".wav";
// Digits of the caller's number kept in a file name.
constexpr size_t kMaxDigits = 20;
// The heard list is read only this far: a file of the program's own, but
// every file read is untrusted.
constexpr uint64_t kMaxHeardBytes = 1 << 20;

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A message's file name: its call's time and the caller's digits only, so
// no caller ID text ever reaches a path.
std::string MessageName(const CLoggedCall& call, int attempt) {
    CDateTimeParts p{};
    std::string name = "call";
    if (call.GetCallTime().GetParts(p)) {
        char text[32];
        std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02d", p.year, p.month, p.day,
                      p.hour, p.minute, p.second);
        name = text;
    }
    std::string digits;
    if (call.HasNumber())
        for (char c : call.GetNumber())
            if (c >= '0' && c <= '9' && digits.size() < kMaxDigits)
                digits += c;
    if (!digits.empty()) {
        name += '-';
        name += digits;
    }
    if (attempt > 0) { // "_" sorts after the first's "."
        name += '_';
        name += std::to_string(attempt + 1);
    }
    name += kExtension;
    return name;
}

} // namespace

std::string CMessageStore::FolderBeside(const std::string& configPath) {
    const size_t slash = configPath.find_last_of("\\/");
    if (slash == std::string::npos)
        return kFolderName;
    return configPath.substr(0, slash + 1) + kFolderName;
}

char CMessageStore::Separator() const {
    return m_folder.find('\\') != std::string::npos ? '\\' : '/';
}

std::string CMessageStore::PathOf(const std::string& name) const {
    return m_folder + Separator() + name;
}

void CMessageStore::Open(const std::string& folder) {
    m_folder = folder;
    m_messages.clear();
    m_folderMade = false;
    m_handedOut.clear();
    std::vector<std::string> heard;
    if (auto file = m_fs.OpenRead(PathOf(kHeardFileName))) {
        std::string text;
        char buffer[4096];
        size_t got = 0;
        while (text.size() < kMaxHeardBytes && (got = file->Read(buffer, sizeof buffer)) > 0)
            text.append(buffer, got);
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos)
                end = text.size();
            std::string line = text.substr(start, end - start);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (!line.empty())
                heard.push_back(std::move(line));
            start = end + 1;
        }
    }
    for (const std::string& path : m_fs.FindFiles(m_folder + Separator())) {
        const std::string name = BaseName(path);
        if (!EndsWith(name, kExtension))
            continue;
        StoredMessage message;
        message.name = name;
        CFileStamp stamp;
        if (m_fs.Stamp(path, stamp))
            message.bytes = stamp.size;
        message.heard = std::find(heard.begin(), heard.end(), name) != heard.end();
        m_messages.push_back(std::move(message));
    }
    std::sort(m_messages.begin(), m_messages.end(),
              [](const StoredMessage& a, const StoredMessage& b) { return a.name < b.name; });
}

size_t CMessageStore::UnheardCount() const {
    return static_cast<size_t>(std::count_if(m_messages.begin(), m_messages.end(),
                                             [](const StoredMessage& m) { return !m.heard; }));
}

const StoredMessage* CMessageStore::Find(const std::string& name) const {
    // Kept in the order of their names.
    const auto it =
        std::lower_bound(m_messages.begin(), m_messages.end(), name,
                         [](const StoredMessage& m, const std::string& n) { return m.name < n; });
    return it != m_messages.end() && it->name == name ? &*it : nullptr;
}

bool CMessageStore::IsUnheard(const std::string& name) const {
    const StoredMessage* message = Find(name);
    return message && !message->heard;
}

const StoredMessage* CMessageStore::NewestUnheard() const {
    for (auto it = m_messages.rbegin(); it != m_messages.rend(); ++it)
        if (!it->heard)
            return &*it;
    return nullptr;
}

bool CMessageStore::Full() const {
    uint64_t bytes = 0;
    for (const StoredMessage& m : m_messages)
        bytes += m.bytes;
    return MessageFolderFull(static_cast<uint32_t>(std::min<size_t>(m_messages.size(), UINT32_MAX)),
                             bytes);
}

bool CMessageStore::SaveHeard() {
    std::string text;
    for (const StoredMessage& m : m_messages)
        if (m.heard)
            text.append(m.name).append("\r\n");
    const std::string path = PathOf(kHeardFileName);
    std::string temporary = path;
    temporary += '.';
    temporary += std::to_string(CurrentProcessId());
    temporary += ".tmp";
    auto file = m_fs.Create(temporary);
    if (!file)
        return false;
    const bool written = file->Write(text.data(), text.size()) && file->Flush() && file->Close();
    if (!written || !m_fs.Replace(temporary, path)) {
        m_fs.Remove(temporary);
        return false;
    }
    return true;
}

void CMessageStore::Changed() {
    if (m_onChange)
        m_onChange();
}

bool CMessageStore::MarkHeard(const std::string& name) {
    for (StoredMessage& m : m_messages)
        if (m.name == name && !m.heard) {
            m.heard = true;
            const bool saved = SaveHeard();
            Changed();
            return saved;
        }
    return true;
}

bool CMessageStore::Delete(const std::string& name) {
    const auto it = std::find_if(m_messages.begin(), m_messages.end(),
                                 [&](const StoredMessage& m) { return m.name == name; });
    if (it == m_messages.end())
        return false;
    if (!m_fs.Remove(PathOf(name)) && m_fs.Exists(PathOf(name)))
        return false;
    const bool wasHeard = it->heard;
    m_messages.erase(it);
    if (wasHeard)
        SaveHeard();
    Changed();
    return true;
}

bool CMessageStore::TakesMessageFrom(const CLoggedCall& call) {
    return (!m_canSave || m_canSave()) && !m_folder.empty() && !Full() &&
           MayLeaveMessage(call.GetAction(), m_rules);
}

std::string CMessageStore::NewMessagePath(const CLoggedCall& call) {
    if (!TakesMessageFrom(call))
        return std::string();
    if (!m_folderMade && !(m_folderMade = m_fs.MakeFolder(m_folder)))
        return std::string();
    auto known = [this](const std::string& name) {
        return std::find(m_handedOut.begin(), m_handedOut.end(), name) != m_handedOut.end() ||
               std::any_of(m_messages.begin(), m_messages.end(),
                           [&](const StoredMessage& m) { return m.name == name; });
    };
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = MessageName(call, attempt);
        if (known(name))
            continue;
        try {
            // Only the last few can clash: names carry the call's second.
            if (m_handedOut.size() >= 64)
                m_handedOut.erase(m_handedOut.begin());
            m_handedOut.push_back(name);
        } catch (const std::bad_alloc&) {
            return std::string();
        }
        return PathOf(name);
    }
    return std::string();
}

CMessageStore::Playability CMessageStore::Check(const std::string& name, uint32_t& ms) const {
    ms = 0;
    // A name read back from the history is untrusted: only a plain file in
    // the folder is ever opened.
    if (name.empty() || name.find_first_of("\\/:") != std::string::npos ||
        name.find("..") != std::string::npos)
        return Playability::Gone;
    const std::string path = PathOf(name);
    if (!m_fs.Exists(path))
        return Playability::Gone;
    return ReadLengthMs(m_fs, path, ms) ? Playability::Playable : Playability::NotWave;
}

bool CMessageStore::ReadLengthMs(CFileSystem& fs, const std::string& path, uint32_t& ms) {
    ms = 0;
    CFileStamp stamp;
    auto file = fs.OpenRead(path);
    if (!file || !fs.Stamp(path, stamp))
        return false;
    // The chunks before the samples: a few dozen bytes in any file the
    // recorder wrote; a file whose samples start further in is refused.
    unsigned char head[kHeadBytes];
    size_t got = 0;
    for (size_t n = 0; got < sizeof head && (n = file->Read(head + got, sizeof head - got)) > 0;)
        got += n;
    return ParseLengthMs(head, got, stamp.size, ms);
}

bool CMessageStore::ParseLengthMs(const unsigned char* head, size_t size, uint64_t fileSize,
                                  uint32_t& ms) {
    ms = 0;
    const size_t got = std::min(size, kHeadBytes);
    auto le32 = [&](size_t at) {
        return static_cast<uint32_t>(head[at] | head[at + 1] << 8 | head[at + 2] << 16 |
                                     static_cast<uint32_t>(head[at + 3]) << 24);
    };
    if (got < 12 || std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0)
        return false;
    uint32_t byteRate = 0;
    uint16_t tag = 0;
    for (uint64_t at = 12; at + 8 <= got;) {
        const uint32_t chunk = le32(at + 4);
        if (std::memcmp(head + at, "fmt ", 4) == 0 && chunk >= 16 && at + 8 + 16 <= got) {
            tag = static_cast<uint16_t>(head[at + 8] | head[at + 9] << 8);
            byteRate = le32(at + 16);
        } else if (std::memcmp(head + at, "data", 4) == 0) {
            if (tag != 1 || byteRate == 0)
                return false;
            // A header written ahead of its samples (a crash mid-message)
            // counts only what is there.
            const uint64_t there = fileSize > at + 8 ? fileSize - at - 8 : 0;
            const uint64_t bytes = std::min<uint64_t>(chunk, there);
            ms = static_cast<uint32_t>(std::min<uint64_t>(bytes * 1000 / byteRate, UINT32_MAX));
            return true;
        }
        at += 8 + static_cast<uint64_t>(chunk) + (chunk & 1);
    }
    return false;
}

std::string CMessageStore::TimeOf(const std::string& name) {
    // YYYYMMDD-HHMMSS
    if (name.size() < 15 || name[8] != '-')
        return std::string();
    for (size_t i = 0; i < 15; ++i)
        if (i != 8 && (name[i] < '0' || name[i] > '9'))
            return std::string();
    const char* n = name.c_str();
    char text[20];
    std::snprintf(text, sizeof text, "%.4s-%.2s-%.2s %.2s:%.2s:%.2s", n, n + 4, n + 6, n + 9,
                  n + 11, n + 13);
    return text;
}

std::string CMessageStore::CallerOf(const std::string& name) {
    if (TimeOf(name).empty() || name.size() < 17 || name[15] != '-')
        return std::string();
    std::string digits;
    for (size_t i = 16; i < name.size() && name[i] >= '0' && name[i] <= '9'; ++i)
        digits += name[i];
    return digits;
}

void CMessageStore::OnMessageFailed(size_t, RecordingFailure why, uint32_t) {
    const bool cannotRecord = why == RecordingFailure::NoDevice;
    const bool diskFull = why == RecordingFailure::FileFailed;
    if (cannotRecord == m_cannotRecord && diskFull == m_diskFull)
        return;
    m_cannotRecord = m_cannotRecord || cannotRecord;
    m_diskFull = diskFull;
    Changed();
}

void CMessageStore::OnMessageEnded(size_t, const RecordingResult& result) {
    m_cannotRecord = false;
    const bool diskFull = result.why == RecordingEnd::DiskFull;
    if (diskFull != m_diskFull) {
        m_diskFull = diskFull;
        Changed();
    }
    if (!result.kept)
        return;
    try {
        StoredMessage message;
        message.name = BaseName(result.path);
        CFileStamp stamp;
        if (m_fs.Stamp(result.path, stamp))
            message.bytes = stamp.size;
        const auto at = std::upper_bound(
            m_messages.begin(), m_messages.end(), message,
            [](const StoredMessage& a, const StoredMessage& b) { return a.name < b.name; });
        m_messages.insert(at, std::move(message));
    } catch (const std::bad_alloc&) {
        return; // listed at the next start
    }
    Changed();
}

} // namespace rw
