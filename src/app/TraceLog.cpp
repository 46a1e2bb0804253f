#include "app/TraceLog.h"

#include <cstdio>

namespace rw {
namespace {

CTraceLog* g_active = nullptr;

} // namespace

CTraceLog* ActiveTrace() {
    return g_active;
}

void SetActiveTrace(CTraceLog* trace) {
    g_active = trace;
}

std::string CTraceLog::PathBeside(const std::string& configPath, bool older) {
    const size_t slash = configPath.find_last_of("\\/");
    return (slash == std::string::npos ? std::string() : configPath.substr(0, slash + 1)) +
           (older ? kOlderFileName : kFileName);
}

void CTraceLog::Start(const std::string& path, const std::string& olderPath,
                      const std::string& header, uint64_t maxBytes) {
    if (m_on)
        Stop();
    m_on = true;
    m_path = path;
    m_olderPath = olderPath;
    m_maxBytes = maxBytes;
    m_sizeKnown = false;
    m_pending.clear();
    m_dropped = 0;
    m_pending.assign(header);
    m_pending.append("\r\n");
}

void CTraceLog::Stop() {
    if (!m_on)
        return;
    Flush();
    m_on = false;
}

void CTraceLog::Add(uint32_t tickMs, const std::string& text) {
    if (!m_on)
        return;
    if (m_pending.size() + text.size() > kMaxPendingBytes) {
        ++m_dropped;
        return;
    }
    char stamp[16];
    std::snprintf(stamp, sizeof stamp, "%10lu ", static_cast<unsigned long>(tickMs));
    m_pending += stamp;
    // One line per entry, whatever the text holds (caller ID is any bytes).
    for (char c : text)
        m_pending += c == '\r' || c == '\n' ? ' ' : c;
    m_pending += "\r\n";
}

namespace {

// Where `text` may be cut so that what follows is at most `most` bytes and
// starts a line.
size_t CutFor(const std::string& text, uint64_t most) {
    if (text.size() <= most)
        return 0;
    const size_t cut = text.find("\r\n", text.size() - static_cast<size_t>(most));
    return cut == std::string::npos ? text.size() : cut + 2;
}

} // namespace

bool CTraceLog::Rotate(const std::string& olderPart) {
    // The older half replaces the one before; the trace goes on in a new
    // file. A batch bigger than half the bound is itself the older half's
    // end. Should a move fail, the file is started again instead: the
    // bound holds either way.
    if (olderPart.empty()) {
        if (!m_fs.Replace(m_path, m_olderPath) && m_fs.Exists(m_path))
            m_fs.Remove(m_path);
    } else {
        m_fs.Remove(m_path);
        if (auto older = m_fs.Create(m_olderPath)) {
            const std::string kept = olderPart.substr(CutFor(olderPart, m_maxBytes / 2));
            if (!older->Write(kept.data(), kept.size()) || !older->Close())
                m_fs.Remove(m_olderPath);
        }
    }
    m_size = 0;
    return true;
}

bool CTraceLog::Flush() {
    if (m_pending.empty())
        return true;
    if (m_dropped) {
        m_pending.append("(");
        m_pending.append(std::to_string(m_dropped));
        m_pending.append(" lines dropped: the trace came too fast)\r\n");
        m_dropped = 0;
    }
    const uint64_t half = m_maxBytes / 2;
    if (!m_sizeKnown) {
        CFileStamp stamp;
        m_size = m_fs.Stamp(m_path, stamp) ? stamp.size : 0;
        m_sizeKnown = true;
    }
    std::string batch;
    batch.swap(m_pending);
    if (batch.size() > half) {
        const size_t cut = CutFor(batch, half);
        Rotate(batch.substr(0, cut));
        batch.erase(0, cut);
    } else if (m_size > 0 && m_size + batch.size() > half) {
        Rotate(std::string());
    }
    auto file = m_fs.OpenAppend(m_path);
    if (!file)
        return false;
    const bool written = file->Write(batch.data(), batch.size()) && file->Close();
    m_size = file->SizeAtOpen() + (written ? batch.size() : 0);
    return written;
}

} // namespace rw
