// The program's side of the call history: what a logged call writes, what
// the list gets back at start, and when writing is off. A call's one row is
// queued once its outcome is final and written later from the message loop,
// so a call never waits for the disk. Calls still up are kept in a small
// file beside the history (the unfinished file), so that a crash loses none:
// the next start writes them as they were.
#pragma once

#include "records/CallHistory.h"
#include "records/Clock.h"
#include "records/LoggedCall.h"

#include <memory>
#include <string>
#include <vector>

namespace rw {

// The row that records `call` now; the offset is the clock's at its time.
CHistoryRow HistoryRowFrom(const CLoggedCall& call, const CClock& clock);
// A call of an earlier run, for the list.
std::unique_ptr<CLoggedCall> LoggedCallFrom(const CHistoryRow& row);

class CCallHistoryLog {
public:
    // The list shows the calls of this many days back at start...
    static constexpr int kShownDays = 30;
    // ...and at most this many of them.
    static constexpr size_t kShownRows = 10000;

    CCallHistoryLog(CFileSystem& fs, const CClock& clock) : m_fs(fs), m_clock(clock) {}

    // Starts keeping history in `path`; an empty path (history off) stops.
    // Rows an earlier run could not write (its waiting file), then the calls
    // it left up when it ended without quitting (its unfinished file), are
    // queued first.
    void Open(const std::string& path);
    bool IsOpen() const { return m_file != nullptr; }
    const std::string& Path() const;

    // The calls of the last kShownDays days, oldest first; `skipped` counts
    // rows that could not be read. Empty while the history is off or the
    // file cannot be read; `readable` is false when it is there but cannot
    // be read now (locked), so that it is worth trying again.
    std::vector<std::unique_ptr<CLoggedCall>> LoadRecent(size_t& skipped, bool& readable);

    // Takes a copy of the call's row to write later; nothing while off.
    void Queue(const CLoggedCall& call);
    // Writes what is queued; false when rows still wait (the file is locked).
    bool WriteQueued();
    // Rows not in the file yet.
    size_t Waiting() const { return m_queued.size() + (m_file ? m_file->Pending() : 0); }
    // Why the last write failed (the system's words).
    const std::string& LastErrorText() const { return m_lastError; }
    // Keeps the rows that wait in the waiting file beside the history, for
    // the next start (at exit and log-off); false when they could not be.
    bool KeepWaiting();
    // The waiting file of the history `path`.
    static std::string WaitingPathFor(const std::string& path) { return path + ".waiting"; }

    // Replaces the unfinished file with the rows of the calls still up (and
    // an earlier run's unfinished rows not yet written); with none, it goes.
    // Written through a temporary file and a replace. False when it could
    // not be: it is then worth trying again.
    bool KeepUnfinished(const std::vector<CHistoryRow>& rows);
    // The unfinished file must be written again (an earlier run's rows it
    // held are in the history now, or the last write failed).
    bool UnfinishedStale() const { return m_unfinishedStale; }
    // At exit, once every call's row is written or kept in the waiting file.
    bool RemoveUnfinished();
    // The files the unfinished file is written with (by default the
    // history's). It guards against the program's crash, not the
    // system's: the session passes one that does not push each write
    // through to the disk, so that keeping it costs the message loop little.
    void SetUnfinishedFileSystem(CFileSystem& fs) { m_unfinishedFs = &fs; }
    // The unfinished file of the history `path`.
    static std::string UnfinishedPathFor(const std::string& path) { return path + ".pending"; }

private:
    CFileSystem& m_fs;
    const CClock& m_clock;
    std::unique_ptr<CCallHistoryFile> m_file;
    std::vector<CHistoryRow> m_queued;
    std::string m_lastError;
    // The waiting file's rows were queued: it goes once they are written.
    bool m_waitingFileQueued = false;
    // An earlier run's unfinished rows, queued and not yet written: each
    // unfinished file keeps them until they are.
    std::vector<CHistoryRow> m_carried;
    bool m_unfinishedStale = false;
    CFileSystem* m_unfinishedFs = nullptr;
    CFileSystem& UnfinishedFs() { return m_unfinishedFs ? *m_unfinishedFs : m_fs; }
};

} // namespace rw
