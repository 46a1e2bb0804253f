#include "app/CallHistoryLog.h"

#include "records/Archive.h"
#include "records/ConfigFile.h"

namespace rw {

CHistoryRow HistoryRowFrom(const CLoggedCall& call, const CClock& clock) {
    CHistoryRow row;
    row.time = call.GetCallTime();
    row.utcOffsetMinutes = clock.UtcOffsetMinutes(row.time);
    row.name = call.GetName();
    row.number = call.GetNumber();
    row.kind = call.GetCallerIdKind();
    row.action = call.GetAction();
    row.answeredAndDropped = call.GetAnsweredAndDropped();
    row.message = call.GetRecording();
    row.messageMs = row.message.empty() ? 0 : call.GetRecordingMs();
    return row;
}

std::unique_ptr<CLoggedCall> LoggedCallFrom(const CHistoryRow& row) {
    auto call = std::make_unique<CLoggedCall>();
    call->SetCallTime(row.time);
    call->SetName(row.name);
    call->SetNumber(row.number);
    call->MakeLookupKey();
    call->SetCallerIdKind(row.kind);
    call->SetAction(row.action);
    call->SetAnsweredAndDropped(row.answeredAndDropped);
    if (!row.message.empty())
        call->SetRecording(row.message, row.messageMs);
    return call;
}

void CCallHistoryLog::Open(const std::string& path) {
    m_queued.clear();
    m_carried.clear();
    m_waitingFileQueued = false;
    m_unfinishedStale = false;
    m_file = path.empty() ? nullptr : std::make_unique<CCallHistoryFile>(m_fs, path);
    if (!m_file)
        return;
    // Rows an earlier run kept because the history could not be written
    // then: older than any of this run's, so they go first.
    if (std::unique_ptr<CReadFile> waiting = m_fs.OpenRead(WaitingPathFor(path))) {
        CHistoryReadResult read = ReadHistory(*waiting);
        m_queued = std::move(read.rows);
        m_waitingFileQueued = true;
    }
    // Calls an earlier run had up when it ended without quitting (a crash,
    // the power): their outcome as it was then is final now.
    if (std::unique_ptr<CReadFile> unfinished = UnfinishedFs().OpenRead(UnfinishedPathFor(path))) {
        CHistoryReadResult read = ReadHistory(*unfinished);
        m_carried = std::move(read.rows);
        m_queued.insert(m_queued.end(), m_carried.begin(), m_carried.end());
        // Nothing to carry: the empty file goes at the first write.
        m_unfinishedStale = m_carried.empty();
    }
}

const std::string& CCallHistoryLog::Path() const {
    static const std::string none;
    return m_file ? m_file->Path() : none;
}

std::vector<std::unique_ptr<CLoggedCall>> CCallHistoryLog::LoadRecent(size_t& skipped,
                                                                      bool& readable) {
    skipped = 0;
    readable = true;
    std::vector<std::unique_ptr<CLoggedCall>> calls;
    if (!m_file)
        return calls;
    CHistoryReadOptions options;
    options.since = CDateTime(m_clock.Now().GetDays() - kShownDays);
    options.maxRows = kShownRows;
    CHistoryReadResult read;
    if (!m_file->Load(options, read)) {
        readable = false;
        return calls;
    }
    skipped = read.skipped;
    calls.reserve(read.rows.size());
    for (const CHistoryRow& row : read.rows)
        calls.push_back(LoggedCallFrom(row));
    return calls;
}

void CCallHistoryLog::Queue(const CLoggedCall& call) {
    if (m_file)
        m_queued.push_back(HistoryRowFrom(call, m_clock));
}

bool CCallHistoryLog::WriteQueued() {
    if (!m_file)
        return true;
    // Each row joins the file's own queue, which keeps it while the file is
    // locked and writes the rows in order once it can.
    std::vector<CHistoryRow> rows;
    rows.swap(m_queued);
    bool written = true;
    for (const CHistoryRow& row : rows)
        written = m_file->Append(row) && written;
    written = m_file->Flush() && written;
    if (!written) {
        m_lastError = m_fs.LastErrorText();
        return false;
    }
    if (m_waitingFileQueued && m_fs.Remove(WaitingPathFor(m_file->Path())))
        m_waitingFileQueued = false;
    if (!m_carried.empty()) {
        // In the history now: the unfinished file must stop carrying them.
        m_carried.clear();
        m_unfinishedStale = true;
    }
    return true;
}

bool CCallHistoryLog::KeepUnfinished(const std::vector<CHistoryRow>& rows) {
    if (!m_file)
        return true;
    m_unfinishedStale = false;
    const std::string path = UnfinishedPathFor(m_file->Path());
    bool kept = true;
    if (rows.empty() && m_carried.empty()) {
        kept = !UnfinishedFs().Exists(path) || UnfinishedFs().Remove(path);
    } else {
        kept = WriteFileSafely(UnfinishedFs(), path, [&](CByteSink& sink) {
            std::string text = HistoryHeader();
            for (const CHistoryRow& row : m_carried)
                text += FormatHistoryRow(row);
            for (const CHistoryRow& row : rows)
                text += FormatHistoryRow(row);
            if (!sink.Write(text.data(), text.size()))
                throw CArchiveException(CArchiveException::writeFailed, 0, "rows not kept");
        });
    }
    if (!kept)
        m_unfinishedStale = true;
    return kept;
}

bool CCallHistoryLog::RemoveUnfinished() {
    if (!m_file)
        return true;
    m_carried.clear();
    m_unfinishedStale = false;
    const std::string path = UnfinishedPathFor(m_file->Path());
    return !UnfinishedFs().Exists(path) || UnfinishedFs().Remove(path);
}

bool CCallHistoryLog::KeepWaiting() {
    if (!m_file)
        return true;
    const std::string path = WaitingPathFor(m_file->Path());
    if (Waiting() == 0) {
        // Written after all: an older waiting file must not bring its rows
        // back a second time.
        return !UnfinishedFs().Exists(path) || UnfinishedFs().Remove(path);
    }
    return WriteFileSafely(UnfinishedFs(), path, [this](CByteSink& sink) {
        std::string text = HistoryHeader();
        for (const std::string& row : m_file->PendingRows())
            text += row;
        for (const CHistoryRow& row : m_queued)
            text += FormatHistoryRow(row);
        if (!sink.Write(text.data(), text.size()))
            throw CArchiveException(CArchiveException::writeFailed, 0, "rows not kept");
    });
}

} // namespace rw
