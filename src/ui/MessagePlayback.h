// The user's side of the messages callers left: plays one on the
// computer's own speakers, stops it, deletes one when asked, and opens the
// folder. Playback has a sound thread of its own, on the wave mapper, so
// that it never takes the modem's voice path from a call, nor a call from
// it. The thread starts with the first message played.
#pragma once

#include "app/MessageStore.h"
#include "audio/CallPlayerNotify.h"

#include <windows.h>

#include <mmsystem.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace rw {

class CCallPlayer;

class CMessagePlayback : public CCallPlayerNotify {
public:
    // Shows a message box built from the string table; returns the button.
    using AskFn = std::function<int(const std::string& text, UINT type)>;

    CMessagePlayback(CMessageStore& store, AskFn ask);
    ~CMessagePlayback();
    CMessagePlayback(const CMessagePlayback&) = delete;
    CMessagePlayback& operator=(const CMessagePlayback&) = delete;

    // Plays message `name` of the store's folder, ending any other that
    // plays. It is marked heard once it starts. When it cannot play (gone,
    // damaged, no sound device) the user is told why and false returned.
    bool Play(const std::string& name);
    void Stop();
    // The message playing or about to, or empty.
    const std::string& Playing() const { return m_name; }
    // Asks the user, naming the caller and the time, then deletes message
    // `name`; false when it stays (the user said no, or the file would not
    // go, which the user is told).
    bool Delete(const std::string& name, const std::string& caller, const std::string& time);
    // Opens the messages folder in the shell; says so when there is none.
    void OpenFolder(HWND owner);
    // Stops and ends the sound thread (the window is closing).
    void Shutdown();

    // The device to play to: the wave mapper, unless a test says otherwise.
    void SetDevice(UINT device) { m_device = device; }

private:
    void OnSoundStarted(uint32_t id, UINT lengthMs) override;
    void OnSoundEnded(uint32_t id) override;
    void OnSoundFailed(uint32_t id) override;
    void CannotPlay(const std::string& name, UINT reasonId);

    CMessageStore& m_store;
    AskFn m_ask;
    std::unique_ptr<CCallPlayer> m_player;
    UINT m_device = WAVE_MAPPER;
    uint32_t m_id = 0; // the sound playing, 0: none
    std::string m_name;
};

} // namespace rw
