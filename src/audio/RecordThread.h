// The record thread's side of CCallRecorder: it alone opens the call's wave
// input device, owns its fixed buffers, feeds what arrives to the message
// file and the signal detector, and posts what became of each recording to
// the report window. Memory does not grow with a message's length: the
// buffers are allocated once, when the thread starts.
//
// One recording at a time, as a modem has one voice path: a new one ends the
// one before (reported as stopped).
#pragma once

#include "audio/CallRecorderNotify.h"
#include "audio/RecordQueue.h"
#include "audio/SignalDetector.h"
#include "audio/WaveFileWriter.h"

#include <windows.h>
#include <mmsystem.h>

#include <memory>
#include <optional>

namespace rw {

// Posted to the report window: wParam the recording's id; for an end,
// lParam a RecordingResult* that the window then owns; for a failure,
// lParam MAKELPARAM(RecordingFailure, the system's error code).
enum : UINT {
    kRecordingStartedMessage = WM_APP + 11,
    kRecordingEndedMessage,
    kRecordingFailedMessage,
};

class CRecordThread {
public:
    static constexpr unsigned kBuffers = 4;
    static constexpr unsigned kBufferMs = 100;
    static constexpr unsigned kMaxRate = 48000;

    CRecordThread(CRecordQueue& queue, HWND reports);
    ~CRecordThread();
    CRecordThread(const CRecordThread&) = delete;
    CRecordThread& operator=(const CRecordThread&) = delete;

    // Serves the queue and the device until the queue says quit; a
    // recording still going then ends as stopped.
    void Run();

private:
    void Start(const RecordRequest& request);
    void Failed(uint32_t id, RecordingFailure why, DWORD error);
    // Takes the buffers the device has filled, and ends the recording when
    // one of them says so.
    void Collect();
    // Takes one filled buffer; the reason to end, if any.
    std::optional<RecordingEnd> Take(WAVEHDR& header);
    void Finish(RecordingEnd why);

    CRecordQueue& m_queue;
    HWND m_reports;
    HANDLE m_deviceEvent;
    std::unique_ptr<int16_t[]> m_memory; // kBuffers buffers of kBufferMs at kMaxRate
    WAVEHDR m_headers[kBuffers]{};
    HWAVEIN m_device = nullptr;
    unsigned m_next = 0; // the header the device fills next
    uint32_t m_id = 0;   // the recording going on, 0: none
    unsigned m_rate = 0;
    uint64_t m_maxBytes = 0;
    std::string m_path;
    CWaveFileWriter m_file;
    std::optional<CSignalDetector> m_detector;
    DWORD m_diskError = 0;
};

} // namespace rw
