// The messages callers left: the folder that holds them (Messages beside
// Ringwarden.cfg), which of them the user has heard, and whether a blocked
// call may leave another. Portable: it reaches the disk through
// CFileSystem, and the screener through CMessageTaker.
//
// Each message is a WAV file named by its call's time and the caller's
// digits ("20260302-231005-0123456.wav"), so the folder lists in the order
// the calls came and a message's caller is known without the history.
// Which have been heard is kept in "heard.txt" in the same folder, one
// file name a line, written whole to a temporary file and put in place, so
// that a crash leaves either the old list or the new. A file listed there
// that has gone is forgotten; a file not listed is new. Nothing here ever
// deletes a message but Delete, which the user asks for.
#pragma once

#include "app/MessagePolicy.h"
#include "app/MessageTaker.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace rw {

class CFileSystem;

struct StoredMessage {
    std::string name; // the file's name in the folder
    uint64_t bytes = 0;
    bool heard = false;
};

class CMessageStore : public CMessageTaker {
public:
    static constexpr const char* kFolderName = "Messages";
    static constexpr const char* kHeardFileName = "heard.txt";

    explicit CMessageStore(CFileSystem& fs) : m_fs(fs) {}

    // The folder beside `configPath` (UTF-8).
    static std::string FolderBeside(const std::string& configPath);

    // Lists `folder` and reads which messages were heard. The folder is
    // made when the first message is.
    void Open(const std::string& folder);
    const std::string& Folder() const { return m_folder; }
    // A run that cannot save its configuration records nothing: asked at
    // each call (a file unread at start may be read later). Null: can.
    void SetCanSave(std::function<bool()> canSave) { m_canSave = std::move(canSave); }
    void SetRules(const MessageRules& rules) { m_rules = rules; }
    void SetMaxSeconds(unsigned seconds) { m_maxSeconds = seconds; }
    // Raised whenever the list, a heard mark or fullness changes.
    void SetOnChange(std::function<void()> onChange) { m_onChange = std::move(onChange); }

    // Oldest first.
    const std::vector<StoredMessage>& Messages() const { return m_messages; }
    size_t UnheardCount() const;
    // Whether `name` is a message in the folder, and one not heard yet.
    bool Has(const std::string& name) const { return Find(name) != nullptr; }
    bool IsUnheard(const std::string& name) const;
    // The newest message not yet heard; null when all are.
    const StoredMessage* NewestUnheard() const;
    // 1,000 messages or 1 GB: new recordings stop until the user deletes.
    bool Full() const;
    std::string PathOf(const std::string& name) const;
    // Marks a message heard and saves the list; false when it could not be
    // saved (it stays heard for this run).
    bool MarkHeard(const std::string& name);
    // Whether message `name` can be played, before it is: its file may have
    // been deleted, renamed or replaced outside the program.
    enum class Playability { Playable, Gone, NotWave };
    Playability Check(const std::string& name, uint32_t& ms) const;
    // Deletes a message's file, as the user asked; false when it stays.
    bool Delete(const std::string& name);

    // How long a message file plays, from its header, as far as the file
    // really goes; false for a file that is no PCM WAV (damaged, renamed,
    // hostile), which is then never played.
    static bool ReadLengthMs(CFileSystem& fs, const std::string& path, uint32_t& ms);
    // The same from the file's first `size` bytes (at most kHeadBytes are
    // looked at) and its whole size.
    static bool ParseLengthMs(const unsigned char* head, size_t size, uint64_t fileSize,
                              uint32_t& ms);
    static constexpr size_t kHeadBytes = 4096;
    // The call's time ("2026-03-02 23:10:05") and the caller's digits that
    // a message's file name holds; empty when it holds none.
    static std::string TimeOf(const std::string& name);
    static std::string CallerOf(const std::string& name);

    // CMessageTaker
    bool TakesMessageFrom(const CLoggedCall& call) override;
    std::string NewMessagePath(const CLoggedCall& call) override;
    unsigned MessageMaxSeconds() const override { return m_maxSeconds; }
    void OnMessageEnded(size_t index, const RecordingResult& result) override;
    void OnMessageFailed(size_t index, RecordingFailure why, uint32_t error) override;

    // The modem has shown that it cannot record (no wave input, or one
    // that will not open), for the Messages page and the tray to say so.
    bool ModemCannotRecord() const { return m_cannotRecord; }
    // The last recording stopped on a full disk or a folder that cannot be
    // written; cleared by the next message kept.
    bool DiskFull() const { return m_diskFull; }

private:
    const StoredMessage* Find(const std::string& name) const;
    bool SaveHeard();
    void Changed();
    char Separator() const;

    CFileSystem& m_fs;
    std::string m_folder;
    std::vector<StoredMessage> m_messages;
    MessageRules m_rules;
    unsigned m_maxSeconds = 120;
    std::function<bool()> m_canSave;
    std::function<void()> m_onChange;
    // The folder is there (made or found); names handed out this run. A
    // message asked for touches no file on the screening thread: the
    // folder is made once, and a name is checked against those known.
    bool m_folderMade = false;
    std::vector<std::string> m_handedOut;
    bool m_cannotRecord = false;
    bool m_diskFull = false;
};

} // namespace rw
