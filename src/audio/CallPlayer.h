// Plays a call's message or the acknowledgement on the call's own wave
// device, away from the user-interface thread, so that reading a file or
// opening a voice modem's device (which can take a driver hundreds of
// milliseconds) never holds up the screening of the next call.
//
// Who owns what:
// - The user-interface thread owns this object, its report window and the
//   ids. It asks (PlayMessage, PlayAcknowledgement, Stop, Shutdown) and
//   hears back through CCallPlayerNotify, from its own message loop; none of
//   these calls waits on a file or a device, except Shutdown.
// - The sound thread (CSoundThread, made inside the thread) owns the
//   CWavePlayer, its HWAVEOUT, WAVEHDR and window, the acknowledgement's
//   data (read once, at start) and the last message read. Nothing of it is
//   ever touched from another thread.
// - The two share only the CSoundQueue (behind its lock) and the report
//   window's handle, which the sound thread only posts to. The queue is
//   held by both through shared_ptr, so that a sound thread still stuck in
//   a file that does not answer when Shutdown gives up waiting for it finds
//   it still there, and then ends without opening anything.
//
// One sound plays at a time, as a modem has one voice path: a sound that
// starts ends the one before (reported as ended). A sound is named by the
// id Play* returned: reports for an id the owner
// has stopped or forgotten may still arrive and are to be ignored.
#pragma once

#include "audio/CallPlayerNotify.h"
#include "audio/HiddenWindow.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

namespace rw {

class CSoundQueue;
struct SoundRequest;

class CCallPlayer {
public:
    // Starts the sound thread, which reads wave resources `acknowledgementId`
    // and `beepId` (0: none) of `resources` once for every acknowledgement
    // and beep to come.
    CCallPlayer(CCallPlayerNotify* owner, HMODULE resources, UINT acknowledgementId,
                UINT beepId = 0);
    ~CCallPlayer();
    CCallPlayer(const CCallPlayer&) = delete;
    CCallPlayer& operator=(const CCallPlayer&) = delete;

    // Queue a sound for `device` (a call's "wave/out"); its id, or 0 when
    // it cannot be queued (no sound thread, too many waiting, shut down).
    // With `beepAfter`, the beep follows the message on the same device as
    // part of the same sound (reported ended after the beep): one request,
    // so a caller about to leave a message adds nothing to the queue.
    uint32_t PlayMessage(UINT device, const std::string& path, bool beepAfter = false);
    uint32_t PlayAcknowledgement(UINT device);
    // Wave resource `resourceId` of the program (the key check's prompts).
    uint32_t PlayResource(UINT device, UINT resourceId);
    // The beep before a caller's message.
    uint32_t PlayBeep(UINT device);
    // The sound is not wanted any more: one still waiting or being prepared
    // never plays, one playing is stopped and its device closed. Returns at
    // once; no report follows.
    void Stop(uint32_t id);
    // Stops every sound and ends the sound thread, waiting for it (for a
    // few seconds at most: a file that does not answer may hold it longer).
    // Nothing plays afterwards. The destructor does it too.
    void Shutdown();

    static LRESULT CALLBACK ReportWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    // Names the request and queues it; its id, or 0.
    uint32_t Queue(SoundRequest& request);

    CCallPlayerNotify* m_owner;
    std::shared_ptr<CSoundQueue> m_queue;
    CHiddenWindow m_reports;
    HANDLE m_thread = nullptr;
    uint32_t m_lastId = 0;
};

} // namespace rw
