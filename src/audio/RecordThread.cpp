#include "audio/RecordThread.h"

#include "records/WidePath.h"

#include <algorithm>
#include <new>

namespace rw {
namespace {

// The rates asked of the device, best first: a voice modem's own rate is
// 8 kHz, and a message needs no more.
constexpr unsigned kRates[] = {8000, 11025, 16000, 22050, 44100, 48000};
constexpr unsigned kBufferSamples = CRecordThread::kMaxRate * CRecordThread::kBufferMs / 1000;

void Post(HWND reports, UINT message, uint32_t id, LPARAM lParam) {
    PostMessageA(reports, message, id, lParam);
}

} // namespace

CRecordThread::CRecordThread(CRecordQueue& queue, HWND reports)
    : m_queue(queue), m_reports(reports),
      m_deviceEvent(CreateEventA(nullptr, FALSE, FALSE, nullptr)),
      m_memory(new (std::nothrow) int16_t[kBuffers * kBufferSamples]) {
    // Asking for the devices loads the audio driver now, on this thread,
    // rather than at the first message.
    waveInGetNumDevs();
}

CRecordThread::~CRecordThread() {
    if (m_id)
        Finish(RecordingEnd::Stopped);
    if (m_deviceEvent)
        CloseHandle(m_deviceEvent);
}

void CRecordThread::Run() {
    for (;;) {
        RecordRequest request;
        for (;;) {
            const CRecordQueue::Next next = m_queue.Take(request);
            if (next == CRecordQueue::Next::Quit) {
                if (m_id)
                    Finish(RecordingEnd::Stopped);
                return;
            }
            if (next == CRecordQueue::Next::Nothing)
                break;
            if (request.kind == RecordRequest::Kind::Record)
                Start(request);
            else if (request.id == m_id)
                Finish(RecordingEnd::Stopped);
        }
        if (m_id)
            Collect();
        const HANDLE waits[] = {m_queue.Ready(), m_deviceEvent};
        WaitForMultipleObjects(m_deviceEvent ? 2 : 1, waits, FALSE, m_id ? 250 : INFINITE);
    }
}

void CRecordThread::Failed(uint32_t id, RecordingFailure why, DWORD error) {
    Post(m_reports, kRecordingFailedMessage, id,
         MAKELPARAM(static_cast<WORD>(why), static_cast<WORD>(std::min<DWORD>(error, 0xFFFF))));
}

void CRecordThread::Start(const RecordRequest& request) {
    if (m_id)
        Finish(RecordingEnd::Stopped);
    if (!m_memory || !m_deviceEvent) {
        Failed(request.id, RecordingFailure::NoMemory, 0);
        return;
    }
    MMRESULT opened = MMSYSERR_ERROR;
    for (const unsigned rate : kRates) {
        WAVEFORMATEX format{};
        format.wFormatTag = WAVE_FORMAT_PCM;
        format.nChannels = 1;
        format.nSamplesPerSec = rate;
        format.wBitsPerSample = 16;
        format.nBlockAlign = 2;
        format.nAvgBytesPerSec = rate * 2;
        opened = waveInOpen(&m_device, request.device, &format,
                            reinterpret_cast<DWORD_PTR>(m_deviceEvent), 0, CALLBACK_EVENT);
        if (opened == MMSYSERR_NOERROR) {
            m_rate = rate;
            break;
        }
        m_device = nullptr;
        if (opened != WAVERR_BADFORMAT)
            break;
    }
    if (opened != MMSYSERR_NOERROR) {
        Failed(request.id, RecordingFailure::NoDevice, opened);
        return;
    }
    if (!m_file.Create(request.path, m_rate)) {
        waveInClose(m_device);
        m_device = nullptr;
        Failed(request.id, RecordingFailure::FileFailed, m_file.LastError());
        return;
    }
    const DWORD bufferBytes = m_rate * kBufferMs / 1000 * 2;
    bool queued = true;
    for (unsigned i = 0; i < kBuffers && queued; ++i) {
        m_headers[i] = WAVEHDR{};
        m_headers[i].lpData = reinterpret_cast<LPSTR>(m_memory.get() + i * kBufferSamples);
        m_headers[i].dwBufferLength = bufferBytes;
        queued =
            waveInPrepareHeader(m_device, &m_headers[i], sizeof(WAVEHDR)) == MMSYSERR_NOERROR &&
            waveInAddBuffer(m_device, &m_headers[i], sizeof(WAVEHDR)) == MMSYSERR_NOERROR;
    }
    if (!queued || waveInStart(m_device) != MMSYSERR_NOERROR) {
        waveInReset(m_device);
        for (WAVEHDR& header : m_headers)
            if (header.dwFlags & WHDR_PREPARED)
                waveInUnprepareHeader(m_device, &header, sizeof header);
        waveInClose(m_device);
        m_device = nullptr;
        m_file.Close();
        DeleteFileW(WidePath(request.path).c_str());
        Failed(request.id, RecordingFailure::NoDevice, 0);
        return;
    }
    m_id = request.id;
    m_path = request.path;
    m_next = 0;
    m_maxBytes = static_cast<uint64_t>(request.maxSeconds) * m_rate * 2;
    m_detector.emplace(m_rate);
    m_diskError = 0;
    Post(m_reports, kRecordingStartedMessage, m_id, 0);
}

std::optional<RecordingEnd> CRecordThread::Take(WAVEHDR& header) {
    const uint64_t room = m_maxBytes - std::min<uint64_t>(m_maxBytes, m_file.DataBytes());
    const DWORD bytes = static_cast<DWORD>(std::min<uint64_t>(header.dwBytesRecorded & ~1u, room));
    const uint64_t before = m_detector->SamplesFed();
    if (bytes && !m_file.Append(header.lpData, bytes)) {
        m_diskError = m_file.LastError();
        // The detector hears what the file took, so that what it keeps
        // stays within the file.
        const uint64_t taken = m_file.DataBytes() / 2;
        m_detector->Feed(reinterpret_cast<const int16_t*>(header.lpData),
                         taken > before ? static_cast<size_t>(taken - before) : 0);
        return RecordingEnd::DiskFull;
    }
    const SignalEnd heard =
        m_detector->Feed(reinterpret_cast<const int16_t*>(header.lpData), bytes / 2);
    if (heard == SignalEnd::Tone)
        return RecordingEnd::Tone;
    if (heard == SignalEnd::SilenceAfterSpeech)
        return RecordingEnd::SilenceAfterSpeech;
    if (m_file.DataBytes() >= m_maxBytes)
        return RecordingEnd::Limit;
    return std::nullopt;
}

void CRecordThread::Collect() {
    while (m_id && (m_headers[m_next].dwFlags & WHDR_DONE)) {
        WAVEHDR& header = m_headers[m_next];
        m_next = (m_next + 1) % kBuffers;
        const std::optional<RecordingEnd> end = Take(header);
        header.dwFlags &= ~WHDR_DONE;
        header.dwBytesRecorded = 0;
        if (end) {
            Finish(*end);
            return;
        }
        if (waveInAddBuffer(m_device, &header, sizeof header) != MMSYSERR_NOERROR) {
            Finish(RecordingEnd::Stopped);
            return;
        }
    }
}

void CRecordThread::Finish(RecordingEnd why) {
    const uint32_t id = m_id;
    m_id = 0;
    waveInReset(m_device);
    // What the device holds when the owner stops it is the message's last
    // words: the buffers come back marked done, in order.
    if (why == RecordingEnd::Stopped) {
        for (unsigned i = 0; i < kBuffers; ++i) {
            WAVEHDR& header = m_headers[(m_next + i) % kBuffers];
            if ((header.dwFlags & WHDR_DONE) && header.dwBytesRecorded) {
                if (const auto end = Take(header); end == RecordingEnd::DiskFull)
                    why = *end;
                if (why != RecordingEnd::Stopped)
                    break;
            }
        }
    }
    for (WAVEHDR& header : m_headers)
        if (header.dwFlags & WHDR_PREPARED)
            waveInUnprepareHeader(m_device, &header, sizeof header);
    waveInClose(m_device);
    m_device = nullptr;

    auto* result = new (std::nothrow) RecordingResult;
    const bool speech = m_detector->HeardSpeech();
    uint32_t keep = 0;
    if (speech) {
        keep = static_cast<uint32_t>(
            std::min<uint64_t>(m_detector->SamplesToKeep() * 2, m_file.DataBytes()));
        m_file.Truncate(keep);
    }
    m_file.Close();
    // A recording with no speech in it is no message: nobody is to hear it.
    if (!speech)
        DeleteFileW(WidePath(m_path).c_str());
    m_detector.reset();
    if (!result)
        return;
    try {
        result->path = m_path;
    } catch (const std::bad_alloc&) {
    }
    result->why = why;
    result->kept = speech;
    result->ms = static_cast<uint32_t>(static_cast<uint64_t>(keep) * 1000 / (m_rate * 2));
    result->error = m_diskError;
    if (!PostMessageA(m_reports, kRecordingEndedMessage, id, reinterpret_cast<LPARAM>(result)))
        delete result;
}

} // namespace rw
