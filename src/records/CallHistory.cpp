#include "records/CallHistory.h"

#include "records/Archive.h"
#include "records/CallAction.h"
#include "records/ConfigFile.h"
#include "records/Cp1252.h"
#include "records/CsvField.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace rw {
namespace {

constexpr char kBom[] = "\xEF\xBB\xBF";
// The columns, in order. Files written before the message columns came
// hold only the first kOldColumnCount; they read as rows without a message.
constexpr size_t kColumnCount = 8;
constexpr size_t kOldColumnCount = 6;
const char* const kColumns[kColumnCount] = {"Time",    "Name",
                                            "Number",  "Caller ID",
                                            "Action",  "Answered and dropped",
                                            "Message", "Message length (ms)"};
const char* const kKinds[] = {"none",     "number",      "name",       "name and number",
                              "withheld", "out of area", "unavailable"};
// How far back a later row of the same call looks for the earlier one: the
// few calls that can overlap it.
constexpr size_t kSameCallLookBack = 16;

// A text as the file holds it: UTF-8 on one line (a line break becomes a
// space, so that a line end always ends a row), cut on a character boundary
// at the most bytes the reader takes. A name the reader took is never cut.
std::string FieldText(const std::string& cp1252) {
    std::string text = Cp1252ToUtf8(cp1252);
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    if (text.size() > kHistoryMaxFieldBytes) {
        size_t cut = kHistoryMaxFieldBytes;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut; // not inside a character's bytes
        text.resize(cut);
    }
    return text;
}

bool ParseDigits(const std::string& s, size_t at, size_t count, int& out) {
    if (at + count > s.size())
        return false;
    out = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (s[i] < '0' || s[i] > '9')
            return false;
        out = out * 10 + (s[i] - '0');
    }
    return true;
}

// RFC 4180 records read a chunk at a time, one line each: a line feed
// always ends a record, even inside quotes, so one damaged row never hides
// the rows after it. Each kept field is cut at kHistoryMaxFieldBytes and
// only kColumnCount + 1 fields are kept, so a record costs at most a few
// tens of kilobytes however long it is.
class CRecordReader {
public:
    explicit CRecordReader(CByteSource& source) : m_source(source) {}

    enum class Got { record, end, torn };
    // The next record's fields; `bad` when it broke the quoting rules or a
    // field or the field count went past the limits.
    Got Next(std::vector<std::string>& fields, bool& bad) {
        fields.clear();
        fields.emplace_back();
        bad = false;
        bool quoted = false;     // inside a quoted field
        bool afterQuote = false; // a quoted field's closing quote (or a doubled one) came
        bool fieldStart = true;
        bool pendingCr = false; // a CR outside quotes, kept until we know what follows
        bool any = false;
        for (;;) {
            int c = Byte();
            if (c < 0) {
                if (!any)
                    return Got::end;
                return Got::torn; // no line end: the last write did not finish
            }
            any = true;
            if (quoted) {
                if (c == '\n') {
                    // The writer never puts a line break inside a field: a
                    // quote still open at a line end was torn (a power cut,
                    // a full disk), and the rows after it must still read.
                    bad = true;
                    return Got::record;
                }
                if (c == '"') {
                    quoted = false;
                    afterQuote = true;
                } else {
                    Put(fields, bad, static_cast<char>(c));
                }
                continue;
            }
            if (pendingCr) {
                pendingCr = false;
                if (c != '\n')
                    Put(fields, bad, '\r'); // a lone CR is text
            }
            if (c == '\n')
                return Got::record;
            if (c == '\r') {
                pendingCr = true;
                continue;
            }
            if (c == ',') {
                if (fields.size() > kColumnCount)
                    bad = true;
                else
                    fields.emplace_back();
                fieldStart = true;
                afterQuote = false;
                continue;
            }
            if (c == '"') {
                if (fieldStart) {
                    quoted = true;
                    fieldStart = false;
                    continue;
                }
                if (afterQuote) { // "" inside a quoted field
                    Put(fields, bad, '"');
                    quoted = true;
                    afterQuote = false;
                    continue;
                }
                bad = true;
                continue;
            }
            if (afterQuote)
                bad = true; // text after a closing quote
            fieldStart = false;
            Put(fields, bad, static_cast<char>(c));
        }
    }

    // Bytes taken from the source so far.
    uint64_t Consumed() const { return m_consumed + m_pos; }

private:
    static void Put(std::vector<std::string>& fields, bool& bad, char c) {
        std::string& field = fields.back();
        if (field.size() >= kHistoryMaxFieldBytes) {
            bad = true;
            return;
        }
        field += c;
    }
    int Byte() {
        if (m_pos == m_size) {
            m_consumed += m_size;
            m_size = m_source.Read(m_buffer, sizeof m_buffer);
            m_pos = 0;
            if (m_size == 0)
                return -1;
        }
        return static_cast<unsigned char>(m_buffer[m_pos++]);
    }

    CByteSource& m_source;
    char m_buffer[64 * 1024];
    size_t m_size = 0;
    size_t m_pos = 0;
    uint64_t m_consumed = 0; // bytes in the buffers before this one
};

bool IsHeader(const std::vector<std::string>& fields) {
    if (fields.size() != kColumnCount && fields.size() != kOldColumnCount)
        return false;
    for (size_t i = 0; i < fields.size(); ++i)
        if (fields[i] != kColumns[i])
            return false;
    return true;
}

bool ParseRow(const std::vector<std::string>& f, const std::string* actionTexts, CHistoryRow& row) {
    if (f.size() != kColumnCount && f.size() != kOldColumnCount)
        return false;
    if (!ParseHistoryTime(f[0], row.time, row.utcOffsetMinutes))
        return false;
    auto name = Utf8ToCp1252(f[1]);
    auto number = Utf8ToCp1252(f[2]);
    if (!name || !number || !ParseCallerIdKind(f[3], row.kind))
        return false;
    row.name = std::move(*name);
    row.number = std::move(*number);
    // A lone CR is text to the reader, but the writer puts a space for any
    // line break: the row reads the same after the bound's rewrite.
    for (std::string* text : {&row.name, &row.number})
        std::replace(text->begin(), text->end(), '\r', ' ');
    bool found = false;
    for (int32_t a = ActionWaitingForCallerId; a <= ActionLast && !found; ++a) {
        if (actionTexts[a] == f[4]) {
            row.action = a;
            found = true;
        }
    }
    if (!found)
        return false;
    if (f[5] == "yes")
        row.answeredAndDropped = true;
    else if (f[5] == "no")
        row.answeredAndDropped = false;
    else
        return false;
    if (f.size() == kColumnCount && !f[6].empty()) {
        // The name is used to open a file in the Messages folder: anything
        // but a plain name there (a path, "..", another kind of file) is
        // dropped, and the row reads as a call without a message.
        int ms = 0;
        const bool msRead = f[7].size() <= 9 && ParseDigits(f[7], 0, f[7].size(), ms);
        if (IsPlainMessageName(f[6]) && msRead) {
            row.message = f[6];
            row.messageMs = static_cast<uint32_t>(ms);
        }
    }
    return true;
}

// What ends the torn row at the end of `file`: a closing quote when its
// quotes leave one open, and the line end it lacks.
std::string TornRowEnding(const CAppendFile& file) {
    const std::string tail = file.LastLine();
    if (std::count(tail.begin(), tail.end(), '"') % 2)
        return "\"\r\n";
    return !tail.empty() && tail.back() == '\r' ? "\n" : "\r\n";
}

} // namespace

std::string HistoryPathFor(const std::string& configPath) {
    const size_t slash = configPath.find_last_of("\\/");
    const std::string folder =
        slash == std::string::npos ? std::string() : configPath.substr(0, slash + 1);
    return folder + kHistoryFileName;
}

bool IsSameCall(const CHistoryRow& earlier, const CHistoryRow& later) {
    return earlier.time == later.time && earlier.utcOffsetMinutes == later.utcOffsetMinutes &&
           (earlier.action == ActionWaitingForCallerId || earlier.number == later.number);
}

bool IsPlainMessageName(const std::string& name) {
    constexpr size_t kMaxName = 255; // the longest name a file system takes
    if (name.size() < 5 || name.size() > kMaxName || name.find("..") != std::string::npos)
        return false;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u >= 0x7F || std::strchr("\\/:*?\"<>|", c))
            return false;
    }
    std::string ext = name.substr(name.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](char c) {
        return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    });
    return ext == ".wav" && name.front() != ' ' && name.back() != ' ';
}

std::string HistoryHeader() {
    std::string out = kBom;
    for (size_t i = 0; i < kColumnCount; ++i) {
        if (i)
            out += ',';
        out += kColumns[i];
    }
    out += "\r\n";
    return out;
}

std::string CallerIdKindText(CallerIdType kind) {
    const auto i = static_cast<size_t>(kind);
    return i < std::size(kKinds) ? kKinds[i] : kKinds[0];
}

bool ParseCallerIdKind(const std::string& text, CallerIdType& kind) {
    for (size_t i = 0; i < std::size(kKinds); ++i) {
        if (text == kKinds[i]) {
            kind = static_cast<CallerIdType>(i);
            return true;
        }
    }
    return false;
}

std::string FormatHistoryTime(CDateTime time, int utcOffsetMinutes) {
    CDateTimeParts p;
    if (!time.GetParts(p) || utcOffsetMinutes <= -24 * 60 || utcOffsetMinutes >= 24 * 60)
        return {};
    const int offset = utcOffsetMinutes < 0 ? -utcOffsetMinutes : utcOffsetMinutes;
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", p.year, p.month,
                  p.day, p.hour, p.minute, p.second, utcOffsetMinutes < 0 ? '-' : '+', offset / 60,
                  offset % 60);
    return text;
}

bool ParseHistoryTime(const std::string& s, CDateTime& time, int& utcOffsetMinutes) {
    // YYYY-MM-DDTHH:MM:SS+HH:MM, or Z for UTC.
    int y, mo, d, h, mi, se, oh = 0, om = 0;
    if (s.size() != 25 && s.size() != 20)
        return false;
    if (!ParseDigits(s, 0, 4, y) || s[4] != '-' || !ParseDigits(s, 5, 2, mo) || s[7] != '-' ||
        !ParseDigits(s, 8, 2, d) || s[10] != 'T' || !ParseDigits(s, 11, 2, h) || s[13] != ':' ||
        !ParseDigits(s, 14, 2, mi) || s[16] != ':' || !ParseDigits(s, 17, 2, se))
        return false;
    int sign = 1;
    if (s.size() == 20) {
        if (s[19] != 'Z')
            return false;
    } else {
        if ((s[19] != '+' && s[19] != '-') || !ParseDigits(s, 20, 2, oh) || s[22] != ':' ||
            !ParseDigits(s, 23, 2, om) || oh > 23 || om > 59)
            return false;
        sign = s[19] == '-' ? -1 : 1;
    }
    if (h > 23 || mi > 59)
        return false;
    const CDateTime t = CDateTime::FromParts(y, mo, d, h, mi, se);
    if (!t.IsValid())
        return false;
    time = t;
    utcOffsetMinutes = sign * (oh * 60 + om);
    return true;
}

std::string FormatHistoryRow(const CHistoryRow& row) {
    std::string out;
    out.reserve(96 + row.name.size() + row.number.size());
    AppendCsvField(out, FormatHistoryTime(row.time, row.utcOffsetMinutes));
    out += ',';
    AppendCsvField(out, FieldText(row.name));
    out += ',';
    AppendCsvField(out, FieldText(row.number));
    out += ',';
    AppendCsvField(out, CallerIdKindText(row.kind));
    out += ',';
    AppendCsvField(out, Cp1252ToUtf8(ActionText(row.action)));
    out += ',';
    out += row.answeredAndDropped ? "yes" : "no";
    out += ',';
    // Only a name the reader takes back is written.
    if (IsPlainMessageName(row.message)) {
        out += row.message;
        out += ',';
        out += std::to_string(row.messageMs);
    } else {
        out += ',';
    }
    out += "\r\n";
    return out;
}

CHistoryReadResult ReadHistory(CByteSource& source, const CHistoryReadOptions& options) {
    CHistoryReadResult result;
    std::string actionTexts[ActionLast + 1];
    for (int32_t a = ActionWaitingForCallerId; a <= ActionLast; ++a)
        actionTexts[a] = Cp1252ToUtf8(ActionText(a));

    // The newest rows are wanted; with a limit the older ones fall off the
    // front as newer ones come.
    std::deque<CHistoryRow> kept;
    CRecordReader reader(source);
    std::vector<std::string> fields;
    bool first = true;
    for (;;) {
        bool bad = false;
        const CRecordReader::Got got = reader.Next(fields, bad);
        if (got == CRecordReader::Got::end)
            break;
        if (got == CRecordReader::Got::torn) {
            result.tornTail = true;
            result.endsInNewline = false;
            break;
        }
        result.completeBytes = reader.Consumed();
        if (first) {
            first = false;
            // The byte-order mark, written before the header.
            if (fields[0].compare(0, 3, kBom) == 0)
                fields[0].erase(0, 3);
            if (!bad && IsHeader(fields))
                continue;
        }
        if (fields.size() == 1 && fields[0].empty() && !bad)
            continue; // a blank line
        ++result.rowsInFile;
        CHistoryRow row;
        if (bad || !ParseRow(fields, actionTexts, row)) {
            ++result.skipped;
            continue;
        }
        if (options.since.IsValid() && row.time < options.since)
            continue;
        bool merged = false;
        const size_t look = std::min(kept.size(), kSameCallLookBack);
        for (size_t i = 0; i < look && !merged; ++i) {
            CHistoryRow& earlier = kept[kept.size() - 1 - i];
            if (IsSameCall(earlier, row)) {
                earlier = std::move(row);
                merged = true;
            }
        }
        if (merged)
            continue;
        kept.push_back(std::move(row));
        if (options.maxRows && kept.size() > options.maxRows)
            kept.pop_front();
    }
    result.rows.assign(std::make_move_iterator(kept.begin()), std::make_move_iterator(kept.end()));
    return result;
}

bool CCallHistoryFile::Load(const CHistoryReadOptions& options, CHistoryReadResult& result) {
    result = CHistoryReadResult();
    std::unique_ptr<CReadFile> file = m_fs.OpenRead(m_path);
    if (!file) {
        if (m_fs.Exists(m_path))
            return false;
        m_rowCount = 0;
        m_counted = true;
        return true;
    }
    result = ReadHistory(*file, options);
    m_rowCount = result.rowsInFile;
    m_counted = true;
    return true;
}

bool CCallHistoryFile::Append(const CHistoryRow& row) {
    m_pending.push_back(FormatHistoryRow(row));
    while (m_pending.size() > kMaxPending)
        m_pending.pop_front();
    return Flush();
}

bool CCallHistoryFile::Flush() {
    if (m_pending.empty())
        return true;
    std::unique_ptr<CAppendFile> file = m_fs.OpenAppend(m_path);
    if (!file)
        return false;
    bool header = file->SizeAtOpen() == 0;
    // A row torn by a power cut or a full disk is ended first, its quote
    // closed if it was left open, so that the next row starts a line of its
    // own for every reader (a spreadsheet's too).
    const std::string ending = file->EndedInNewline() ? std::string() : TornRowEnding(*file);
    bool newline = !ending.empty();
    if (header) {
        m_rowCount = 0;
        m_counted = true;
    }
    bool written = true;
    while (!m_pending.empty()) {
        std::string text;
        if (header)
            text = HistoryHeader();
        else if (newline)
            text = ending;
        text += m_pending.front();
        // One write call per row, straight to the system (nothing is kept
        // back in the program): a crash or a power cut tears at most the row
        // being written.
        if (!file->Write(text.data(), text.size())) {
            written = false;
            break;
        }
        header = newline = false;
        m_pending.pop_front();
        ++m_rowCount;
    }
    // Pushed through to the disk once for the rows written together (the
    // program writes at most a few times a second): a flush for each row
    // would hold its message loop for as many disk writes.
    file->Flush();
    file->Close();
    if (!written)
        return false;
    if (!m_counted) {
        // Never loaded (the file was locked at start): counted once, keeping
        // no row (none is as late as the year 9999).
        CHistoryReadResult counted;
        Load(CHistoryReadOptions{CDateTime::FromParts(9999, 12, 31, 23, 59, 59), 0}, counted);
    }
    if (m_rowCount > kHistoryMaxRows)
        Trim();
    return true;
}

bool CCallHistoryFile::Trim() {
    CHistoryReadResult all;
    {
        std::unique_ptr<CReadFile> file = m_fs.OpenRead(m_path);
        if (!file)
            return false;
        all = ReadHistory(*file, CHistoryReadOptions{CDateTime(), kHistoryTrimmedRows});
    }
    // Another copy of the program on the same folder may append rows while
    // the newest are rewritten: they are copied after them until none comes,
    // the last time after the rewrite is on the disk, so the replace itself
    // leaves the shortest moment for a row to come and go.
    uint64_t copiedTo = all.completeBytes;
    size_t rowsCopied = 0;
    const bool written = WriteFileSafely(m_fs, m_path, [&](CWriteFile& sink) {
        std::string text = HistoryHeader();
        auto put = [&sink, &text] {
            if (!sink.Write(text.data(), text.size()))
                throw CArchiveException(CArchiveException::writeFailed, 0, "history not written");
            text.clear();
        };
        for (const CHistoryRow& row : all.rows) {
            text += FormatHistoryRow(row);
            if (text.size() >= 64 * 1024)
                put();
        }
        put();
        for (int round = 0; round < kCatchUpRounds; ++round) {
            const size_t rows = CopyRowsAppendedSince(sink, copiedTo);
            rowsCopied += rows;
            if (round > 0 && rows == 0)
                return;
            if (!sink.Flush())
                throw CArchiveException(CArchiveException::writeFailed, 0, "history not written");
        }
    });
    if (written) {
        m_rowCount = all.rows.size() + rowsCopied;
    } else {
        m_counted = false; // counted again after the next append
    }
    return written;
}

size_t CCallHistoryFile::CopyRowsAppendedSince(CByteSink& sink, uint64_t& offset) {
    std::unique_ptr<CReadFile> file = m_fs.OpenRead(m_path);
    // Shorter than what was read: another copy has rewritten it already,
    // and this rewrite would lose what that one kept.
    if (!file || file->Remaining() < offset)
        throw CArchiveException(CArchiveException::endOfFile, 0, "history changed meanwhile");
    char buffer[64 * 1024];
    for (uint64_t skip = offset; skip > 0;) {
        const size_t n =
            file->Read(buffer, static_cast<size_t>(std::min<uint64_t>(skip, sizeof buffer)));
        if (n == 0)
            throw CArchiveException(CArchiveException::endOfFile, 0, "history not read");
        skip -= n;
    }
    // Only whole rows: one still being written is taken in the next round.
    size_t rows = 0;
    std::string pending;
    for (;;) {
        const size_t n = file->Read(buffer, sizeof buffer);
        if (n == 0)
            break;
        pending.append(buffer, n);
        const size_t end = pending.rfind('\n');
        if (end == std::string::npos)
            continue;
        rows += static_cast<size_t>(std::count(pending.begin(), pending.begin() + end + 1, '\n'));
        if (!sink.Write(pending.data(), end + 1))
            throw CArchiveException(CArchiveException::writeFailed, 0, "history not written");
        offset += end + 1;
        pending.erase(0, end + 1);
    }
    return rows;
}

} // namespace rw
