// Loads RIFF WAVE data from a file or a "wave" resource and plays it, once
// or looped, on one wave output device. Device events arrive at a hidden
// window of class "InvisibleWindowClass" and go to the owner as
// CWavePlayerNotify notifications. A player belongs to one thread, the one
// that plays it: its window and device are made there and must be let go
// there (the configuration pages play on the user-interface thread, calls'
// sounds on the sound thread of CCallPlayer).
#pragma once

#include "audio/HiddenWindow.h"
#include "audio/WaveData.h"
#include "audio/WaveHeader.h"
#include "audio/WaveOutDevice.h"
#include "audio/WavePlayerNotify.h"

#include <windows.h>
#include <mmsystem.h>

#include <functional>
#include <memory>

namespace rw {

class CWavePlayer {
public:
    explicit CWavePlayer(CWavePlayerNotify* owner = nullptr);
    virtual ~CWavePlayer();
    CWavePlayer(const CWavePlayer&) = delete;
    CWavePlayer& operator=(const CWavePlayer&) = delete;

    // Each load unloads first, so a failed load leaves the player empty.
    bool LoadFromFile(const char* path);
    bool LoadFromResource(HMODULE module, UINT id);
    // Takes data already read (null unloads).
    void Load(std::shared_ptr<const CWaveData> data);
    void Unload();
    // What was loaded, to share with other players; null when empty.
    std::shared_ptr<const CWaveData> Data() const { return m_data; }

    // Tests make reading slow through this: it runs at the start of every
    // LoadFromFile with the path, on the loading thread. Null: none.
    using FileReadHook = void (*)(const char* path);
    static void SetFileReadHook(FileReadHook hook);

    // device: a wave output device number or WAVE_MAPPER. `wanted`, when
    // given, is asked once the device has opened (which can take a voice
    // modem's driver a while): false closes it again with nothing written.
    bool Play(UINT device, bool loop, const std::function<bool()>& wanted = {});
    bool Stop();

    bool IsPlaying() const { return m_header != nullptr; }
    const BYTE* GetSamples() const { return m_data ? m_data->samples.get() : nullptr; }
    DWORD GetSampleSize() const { return m_data ? m_data->sampleSize : 0; }
    const BYTE* GetFormat() const { return m_data ? m_data->format.get() : nullptr; }
    DWORD GetFormatSize() const { return m_data ? m_data->formatSize : 0; }
    HWND GetCallbackWindow() const { return m_window.Get(); }

    // The procedure of "InvisibleWindowClass": routes to the player stored
    // in the window's user data.
    static LRESULT CALLBACK InvisibleWindowProc(HWND hWnd, UINT message, WPARAM wParam,
                                                LPARAM lParam);

protected:
    virtual LRESULT WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    // available: bytes in the file or resource; no chunk may claim more.
    bool ReadChunks(HMMIO file, DWORD available);
    bool CreateCallbackWindow();
    bool FormatIsConsistent() const;
    void OnDone(HWAVEOUT device);

    CWavePlayerNotify* m_owner;
    std::unique_ptr<CWaveHeader> m_header;
    std::shared_ptr<const CWaveData> m_data;
    CWaveOutDevice m_device;
    bool m_stopping = false;
    CHiddenWindow m_window;
};

} // namespace rw
