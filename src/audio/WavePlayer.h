// Loads RIFF WAVE data from a file or a "wave" resource and plays it, once
// or looped, on one wave output device. Device events arrive at a hidden
// window of class "InvisibleWindowClass" and go to the owner as
// CWavePlayerNotify notifications. Runs on the user-interface thread.
#pragma once

#include "audio/HiddenWindow.h"
#include "audio/WaveHeader.h"
#include "audio/WaveOutDevice.h"
#include "audio/WavePlayerNotify.h"

#include <windows.h>
#include <mmsystem.h>

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
    void Unload();

    // device: a wave output device number or WAVE_MAPPER.
    bool Play(UINT device, bool loop);
    bool Stop();

    bool IsPlaying() const { return m_header != nullptr; }
    const BYTE* GetSamples() const { return m_samples.get(); }
    DWORD GetSampleSize() const { return m_sampleSize; }
    const BYTE* GetFormat() const { return m_format.get(); }
    DWORD GetFormatSize() const { return m_formatSize; }
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
    std::unique_ptr<BYTE[]> m_samples;
    DWORD m_sampleSize = 0;
    std::unique_ptr<BYTE[]> m_format;
    DWORD m_formatSize = 0;
    CWaveOutDevice m_device;
    bool m_stopping = false;
    CHiddenWindow m_window;
};

} // namespace rw
