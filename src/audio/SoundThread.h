// The sound thread's side of CCallPlayer: everything here is made, used and
// destroyed on that one thread. It takes requests from the queue, reads
// message files, owns the one CWavePlayer (and so the one wave device open
// at a time), and posts what became of each sound to the report window.
//
// One sound plays at a time, as a modem has one voice path: a new sound
// ends the one playing (reported as ended, so that its call's hold limit
// counts from then), and the old device closes before the new one opens.
#pragma once

#include "audio/SoundQueue.h"
#include "audio/WaveData.h"
#include "audio/WavePlayer.h"
#include "audio/WavePlayerNotify.h"

#include <windows.h>

#include <map>
#include <memory>
#include <string>

namespace rw {

// Posted to the report window: wParam the sound's id, lParam for a start
// its length in ms.
enum : UINT {
    kSoundStartedMessage = WM_APP + 1,
    kSoundEndedMessage,
    kSoundFailedMessage,
};

class CSoundThread : private CWavePlayerNotify {
public:
    // Reads the acknowledgement (wave resource `acknowledgementId` of
    // `resources`) once, here, for every call that keys the code.
    // The beep (resource `beepId`, 0: none) likewise.
    CSoundThread(CSoundQueue& queue, HWND reports, HMODULE resources, UINT acknowledgementId,
                 UINT beepId = 0);
    // Stops and closes whatever still plays.
    ~CSoundThread();
    CSoundThread(const CSoundThread&) = delete;
    CSoundThread& operator=(const CSoundThread&) = delete;

    // Serves the queue and the players' device messages until it says quit.
    void Run();

private:
    void Handle(const SoundRequest& request);
    void Start(const SoundRequest& request);
    // Stops the sound playing, if any, and reports it ended.
    void EndPlaying();
    void PumpMessages();
    // CWavePlayerNotify: the device reached the end of a buffer.
    void OnWaveOutDone() override;
    // The message file's data: the copy kept from last time while the file
    // is as it was then, else read now. Null when it cannot be read.
    std::shared_ptr<const CWaveData> ReadMessage(const std::string& path);

    CSoundQueue& m_queue;
    HWND m_reports;
    std::shared_ptr<const CWaveData> m_acknowledgement;
    // The program's other wave resources (the key check's prompts), read
    // the first time each is asked for.
    std::shared_ptr<const CWaveData> Resource(UINT id);
    HMODULE m_resources;
    std::map<UINT, std::shared_ptr<const CWaveData>> m_resourceData;
    std::shared_ptr<const CWaveData> m_beep;
    CWavePlayer m_player{this};
    uint32_t m_playing = 0; // the id of the sound the player holds, 0: none
    // The beep still to follow the sound playing, on its device.
    bool m_beepPending = false;
    UINT m_device = 0;
    std::string m_keptPath;
    WIN32_FILE_ATTRIBUTE_DATA m_keptAttributes{};
    std::shared_ptr<const CWaveData> m_kept;
};

} // namespace rw
