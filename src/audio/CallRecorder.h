// Records a blocked caller's message from the call's wave input device,
// away from the user-interface thread (a voice modem's driver can take
// hundreds of milliseconds to switch, and the disk may be slow).
//
// Who owns what, as with CCallPlayer: the user-interface thread owns this
// object, its report window and the ids; it asks (Record, Stop, Shutdown)
// and hears back through CCallRecorderNotify from its own message loop. The
// record thread (CRecordThread) owns the device, its buffers, the file and
// the detector. They share only the queue (through shared_ptr, so that a
// thread Shutdown gave up waiting for still finds it) and the report
// window's handle, which the record thread only posts to.
#pragma once

#include "audio/CallRecorderNotify.h"
#include "audio/HiddenWindow.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

namespace rw {

class CRecordQueue;

class CCallRecorder {
public:
    explicit CCallRecorder(CCallRecorderNotify* owner);
    ~CCallRecorder();
    CCallRecorder(const CCallRecorder&) = delete;
    CCallRecorder& operator=(const CCallRecorder&) = delete;

    // Records from `device` (a call's "wave/in") into a new file `path`
    // (UTF-8) for at most `maxSeconds`; its id, or 0 when it cannot be
    // asked (no thread, too many waiting, shut down).
    uint32_t Record(UINT device, const std::string& path, unsigned maxSeconds);
    // Ends the recording (the caller hung up or keyed, the line went): it
    // is kept as far as it goes and reported ended, as stopped.
    void Stop(uint32_t id);
    // Ends any recording and the thread, waiting for it, and hands the
    // owner the reports that came meanwhile: a recording cut short by the
    // program quitting is still told.
    void Shutdown();

    static LRESULT CALLBACK ReportWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    CCallRecorderNotify* m_owner;
    std::shared_ptr<CRecordQueue> m_queue;
    CHiddenWindow m_reports;
    HANDLE m_thread = nullptr;
    uint32_t m_lastId = 0;
};

} // namespace rw
