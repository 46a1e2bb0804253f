// The telephony trace for bad days: every TAPI message and reply the
// program receives, every request it makes, and each screening decision
// with its reason, one line each, stamped with a millisecond tick. Lines
// are only queued where they happen (on a call's path); the message loop
// writes them in batches, as it writes the history. The files beside the
// configuration are bounded: when the trace would pass half the bound, it
// becomes the older file (Ringwarden-trace.1.log, replacing the one
// before) and a new trace starts, so both together stay within the bound.
// Off by default; when off, ActiveTrace() is null and tracing costs the
// caller one branch. Portable.
#pragma once

#include "records/FileSystem.h"

#include <cstdint>
#include <string>
#include <vector>

namespace rw {

class CTraceLog {
public:
    static constexpr uint64_t kDefaultMaxBytes = 10 * 1024 * 1024;
    // More than this waiting for the message loop is dropped (and counted):
    // a trace never holds the program's memory hostage.
    static constexpr size_t kMaxPendingBytes = 1024 * 1024;
    static constexpr const char* kFileName = "Ringwarden-trace.log";
    static constexpr const char* kOlderFileName = "Ringwarden-trace.1.log";

    // The trace file in the folder of `configPath`, and the older one.
    static std::string PathBeside(const std::string& configPath, bool older = false);

    explicit CTraceLog(CFileSystem& fs) : m_fs(fs) {}
    CTraceLog(const CTraceLog&) = delete;
    CTraceLog& operator=(const CTraceLog&) = delete;

    // Starts tracing into `path` (`olderPath` takes the older half), adding
    // to what is there; `header` is the first line written.
    void Start(const std::string& path, const std::string& olderPath, const std::string& header,
               uint64_t maxBytes = kDefaultMaxBytes);
    // Writes what is queued and stops.
    void Stop();
    bool IsOn() const { return m_on; }

    // Queues one line, "tick text". Never touches the disk.
    void Add(uint32_t tickMs, const std::string& text);
    // Writes the queued lines; false when the file could not be written
    // (the lines are dropped: a trace never stops the program).
    bool Flush();
    size_t PendingBytes() const { return m_pending.size(); }
    uint64_t DroppedLines() const { return m_dropped; }

private:
    // Moves the current file aside (or writes `olderPart` as the older file
    // instead, when a batch alone fills half the bound).
    bool Rotate(const std::string& olderPart);

    CFileSystem& m_fs;
    bool m_on = false;
    std::string m_path, m_olderPath;
    uint64_t m_maxBytes = kDefaultMaxBytes;
    uint64_t m_size = 0; // of the current file, as far as known
    bool m_sizeKnown = false;
    std::string m_pending;
    uint64_t m_dropped = 0;
};

// The trace the program writes to now, or null when tracing is off.
CTraceLog* ActiveTrace();
void SetActiveTrace(CTraceLog* trace);

} // namespace rw
