// The sound thread's side of CCallPlayer: everything here is made, used and
// destroyed on that one thread. It takes requests from the queue, reads
// message files, owns one CWavePlayer (and so one wave device) per sound
// playing, and posts what became of each sound to the report window.
#pragma once

#include "audio/SoundQueue.h"
#include "audio/WaveData.h"
#include "audio/WavePlayer.h"
#include "audio/WavePlayerNotify.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace rw {

// Posted to the report window: wParam the sound's id, lParam for a start
// its length in ms.
enum : UINT {
    kSoundStartedMessage = WM_APP + 1,
    kSoundEndedMessage,
    kSoundFailedMessage,
};

class CSoundThread {
public:
    // Reads the acknowledgement (wave resource `acknowledgementId` of
    // `resources`) once, here, for every call that keys the code.
    CSoundThread(CSoundQueue& queue, HWND reports, HMODULE resources, UINT acknowledgementId);
    // Stops and closes whatever still plays.
    ~CSoundThread();
    CSoundThread(const CSoundThread&) = delete;
    CSoundThread& operator=(const CSoundThread&) = delete;

    // Serves the queue and the players' device messages until it says quit.
    void Run();

private:
    struct Playback : CWavePlayerNotify {
        explicit Playback(uint32_t soundId) : id(soundId) {}
        void OnWaveOutDone() override { ended = !player.IsPlaying(); }
        uint32_t id;
        bool ended = false;
        CWavePlayer player{this};
    };

    void Handle(const SoundRequest& request);
    void Start(const SoundRequest& request);
    void Stop(uint32_t id);
    // Reports the sounds that reached their end, and lets go of them (not
    // from inside their own players' window procedures).
    void Sweep();
    void PumpMessages();
    // The message file's data: the copy kept from last time while the file
    // is as it was then, else read now. Null when it cannot be read.
    std::shared_ptr<const CWaveData> ReadMessage(const std::string& path);

    CSoundQueue& m_queue;
    HWND m_reports;
    std::shared_ptr<const CWaveData> m_acknowledgement;
    std::vector<std::unique_ptr<Playback>> m_playing;
    std::string m_keptPath;
    WIN32_FILE_ATTRIBUTE_DATA m_keptAttributes{};
    std::shared_ptr<const CWaveData> m_kept;
};

} // namespace rw
