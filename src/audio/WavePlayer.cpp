#include "audio/WavePlayer.h"

#include "audio/DebugOutput.h"
#include "audio/MmioFile.h"
#include "audio/WindowClassRegistration.h"

#include <cstdio>
#include <new>

namespace rw {
namespace {

// Registered for the program's whole life, before any player exists.
const CWindowClassRegistration g_invisibleClass("InvisibleWindowClass",
                                                CWavePlayer::InvisibleWindowProc);

// Set only by tests, before any sound plays.
CWavePlayer::FileReadHook g_fileReadHook = nullptr;

void WriteResourceFailure(const char* text, UINT id) {
    char name[16];
    std::snprintf(name, sizeof name, "#%u", id);
    DebugOutput(text);
    DebugOutput(name);
    DebugOutput("\n");
}

// True when a chunk's declared size fits in what the source holds. A size
// beyond that can only end in a short read, so it is refused before any
// block of that size is allocated.
bool ChunkFits(const MMCKINFO& chunk, DWORD available) {
    return chunk.dwDataOffset <= available && chunk.cksize <= available - chunk.dwDataOffset;
}

// Finds the next chunk named `id` (for a RIFF chunk: form type `id`) from
// the current position up to `end`, skipping others, and descends into it.
// mmioDescend's own search flags are not used: in Wine a declared size near
// 4 GB makes their skip wrap back onto the same header and loop for ever.
// Here every skip must move forward and stay inside `end`, so hostile sizes
// only end the search.
bool FindChunk(HMMIO file, MMCKINFO& found, const MMCKINFO* parent, FOURCC id, DWORD end) {
    for (;;) {
        const LONG start = mmioSeek(file, 0, SEEK_CUR);
        if (start < 0 || static_cast<unsigned long long>(start) + 8 > end)
            return false;
        MMCKINFO chunk{};
        if (mmioDescend(file, &chunk, parent, 0) != MMSYSERR_NOERROR)
            return false;
        const bool match =
            parent ? chunk.ckid == id : chunk.ckid == FOURCC_RIFF && chunk.fccType == id;
        if (match) {
            found = chunk;
            return true;
        }
        const unsigned long long next =
            static_cast<unsigned long long>(start) + 8 + chunk.cksize + (chunk.cksize & 1);
        if (next > end || mmioSeek(file, static_cast<LONG>(next), SEEK_SET) < 0)
            return false;
    }
}

} // namespace

CWavePlayer::CWavePlayer(CWavePlayerNotify* owner) : m_owner(owner) {}

CWavePlayer::~CWavePlayer() {
    Unload();
    m_window.Destroy();
}

void CWavePlayer::SetFileReadHook(FileReadHook hook) {
    g_fileReadHook = hook;
}

bool CWavePlayer::LoadFromFile(const char* path) {
    Unload();
    if (g_fileReadHook)
        g_fileReadHook(path);
    CMmioFile file(mmioOpenA(const_cast<LPSTR>(path), nullptr, MMIO_ALLOCBUF | MMIO_READ));
    if (!file) {
        DebugOutput("mmioOpen() -- Failed to open file: ");
        DebugOutput(path);
        DebugOutput("\n");
        return false;
    }
    const LONG end = mmioSeek(file.Get(), 0, SEEK_END);
    if (end < 0 || mmioSeek(file.Get(), 0, SEEK_SET) != 0)
        return false;
    return ReadChunks(file.Get(), static_cast<DWORD>(end));
}

bool CWavePlayer::LoadFromResource(HMODULE module, UINT id) {
    Unload();
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), "wave");
    if (!found) {
        WriteResourceFailure("Failed to find 'wave' resource ", id);
        return false;
    }
    HGLOBAL loaded = LoadResource(module, found);
    const DWORD size = SizeofResource(module, found);
    if (!loaded) {
        WriteResourceFailure("Failed to load 'wave' resource ", id);
        return false;
    }
    // A memory file over the resource's bytes; mmio reads them in place.
    MMIOINFO info{};
    info.fccIOProc = FOURCC_MEM;
    info.pchBuffer = static_cast<HPSTR>(LockResource(loaded));
    info.cchBuffer = static_cast<LONG>(size);
    CMmioFile file(mmioOpenA(nullptr, &info, MMIO_ALLOCBUF | MMIO_READ));
    if (!file) {
        WriteResourceFailure("mmioOpen() -- Failed to open 'wave' resource ", id);
        return false;
    }
    return ReadChunks(file.Get(), size);
}

bool CWavePlayer::ReadChunks(HMMIO file, DWORD available) {
    MMCKINFO riff{};
    if (!FindChunk(file, riff, nullptr, mmioFOURCC('W', 'A', 'V', 'E'), available))
        return false;
    // Subchunks are searched only inside the RIFF chunk, as far as the
    // source really goes.
    const unsigned long long riffEnd =
        static_cast<unsigned long long>(riff.dwDataOffset) + riff.cksize;
    const DWORD end = riffEnd < available ? static_cast<DWORD>(riffEnd) : available;

    MMCKINFO chunk{};
    if (!FindChunk(file, chunk, &riff, mmioFOURCC('f', 'm', 't', ' '), end))
        return false;
    if (!ChunkFits(chunk, available)) {
        DebugOutput("mmioRead() -- Failed to read FMT chunk\n");
        return false;
    }
    // The device reads a WAVEFORMATEX from the block: a short chunk is
    // padded with zeros so that read stays inside the block.
    const DWORD formatSize = chunk.cksize;
    const DWORD formatAlloc = formatSize < sizeof(WAVEFORMATEX) ? sizeof(WAVEFORMATEX) : formatSize;
    std::unique_ptr<BYTE[]> format(new (std::nothrow) BYTE[formatAlloc]());
    if (!format) {
        DebugOutput("new[] -- Out of memory\n");
        return false;
    }
    if (mmioRead(file, reinterpret_cast<HPSTR>(format.get()), static_cast<LONG>(formatSize)) !=
        static_cast<LONG>(formatSize)) {
        DebugOutput("mmioRead() -- Failed to read FMT chunk\n");
        return false;
    }
    mmioAscend(file, &chunk, 0);

    if (!FindChunk(file, chunk, &riff, mmioFOURCC('d', 'a', 't', 'a'), end))
        return false;
    if (chunk.cksize == 0) {
        DebugOutput("Data chunk actually has no data\n");
        return false;
    }
    if (!ChunkFits(chunk, available)) {
        DebugOutput("mmioRead() -- Failed to read waveform data subchunk\n");
        return false;
    }
    const DWORD sampleSize = chunk.cksize;
    std::unique_ptr<BYTE[]> samples(new (std::nothrow) BYTE[sampleSize]);
    if (!samples) {
        DebugOutput("new[] -- Out of memory\n");
        return false;
    }
    if (mmioRead(file, reinterpret_cast<HPSTR>(samples.get()), static_cast<LONG>(sampleSize)) !=
        static_cast<LONG>(sampleSize)) {
        DebugOutput("mmioRead() -- Failed to read waveform data subchunk\n");
        return false;
    }
    std::unique_ptr<CWaveData> data(new (std::nothrow) CWaveData);
    if (!data) {
        DebugOutput("new[] -- Out of memory\n");
        return false;
    }
    data->format = std::move(format);
    data->formatSize = formatSize;
    data->samples = std::move(samples);
    data->sampleSize = sampleSize;
    try {
        m_data = std::move(data);
    } catch (const std::bad_alloc&) {
        // No room for the shared count; `data` frees the samples.
        DebugOutput("new[] -- Out of memory\n");
        return false;
    }
    return true;
}

void CWavePlayer::Load(std::shared_ptr<const CWaveData> data) {
    Unload();
    m_data = std::move(data);
}

void CWavePlayer::Unload() {
    Stop();
    m_data.reset();
}

// Formats the device must not even be asked about, whatever their tag
// (extensible and compressed ones included): no channels, no rate, no block
// size, no bits per sample or no byte rate (Wine's wave mapper aborts the
// process on such fields), and a non-PCM format with fewer extra bytes than
// its cbSize claims (the device copies cbSize bytes after the WAVEFORMATEX).
// They are refused like any format the device cannot play.
bool CWavePlayer::FormatIsConsistent() const {
    const auto* format = reinterpret_cast<const WAVEFORMATEX*>(GetFormat());
    if (format->nChannels == 0 || format->nSamplesPerSec == 0 || format->nBlockAlign == 0 ||
        format->wBitsPerSample == 0 || format->nAvgBytesPerSec == 0)
        return false;
    if (format->wFormatTag == WAVE_FORMAT_PCM)
        return true;
    const DWORD size = GetFormatSize();
    const DWORD held = size < sizeof(WAVEFORMATEX) ? sizeof(WAVEFORMATEX) : size;
    return format->cbSize <= held - sizeof(WAVEFORMATEX);
}

bool CWavePlayer::Play(UINT device, bool loop, const std::function<bool()>& wanted) {
    if (!m_data)
        return false;
    Stop();
    const DWORD mapped = device == WAVE_MAPPER ? 0 : WAVE_MAPPED;
    const auto* format = reinterpret_cast<const WAVEFORMATEX*>(GetFormat());
    if (!FormatIsConsistent() ||
        waveOutOpen(nullptr, device, format, 0, 0, WAVE_FORMAT_QUERY | mapped) != MMSYSERR_NOERROR)
        return false;
    if (!m_window.Get() && !CreateCallbackWindow()) {
        DebugOutput("Couldn't create window for callbacks\n");
        return false;
    }
    if (m_device.Open(device, format, m_window.Get(), CALLBACK_WINDOW | mapped) != MMSYSERR_NOERROR)
        return false;
    if (wanted && !wanted()) {
        m_device.Close();
        return false;
    }
    // The device reads the samples in place; they are shared and never
    // written: WAVEHDR merely has no const pointer.
    std::unique_ptr<CWaveHeader> header(new (std::nothrow) CWaveHeader(
        const_cast<BYTE*>(m_data->samples.get()), m_data->sampleSize, loop));
    if (!header) {
        DebugOutput("new[] -- Out of memory\n");
        m_device.Close();
        return false;
    }
    if (header->Prepare(m_device.Get()) != MMSYSERR_NOERROR ||
        header->Write() != MMSYSERR_NOERROR) {
        header.reset(); // unprepares, if prepared, while the device is open
        m_device.Close();
        return false;
    }
    m_header = std::move(header);
    return true;
}

bool CWavePlayer::Stop() {
    if (!m_header || m_stopping)
        return true;
    m_stopping = true;
    if (m_device) {
        m_device.Reset();
        m_header->Unprepare();
        m_device.Close();
    }
    m_header.reset();
    m_stopping = false;
    return true;
}

bool CWavePlayer::CreateCallbackWindow() {
    // Message-only: a top-level window would be sent every broadcast and
    // WM_QUERYENDSESSION, which would wait on a sound thread blocked in a
    // slow device open.
    return m_window.Create(g_invisibleClass.Name(), 0, HWND_MESSAGE, this);
}

LRESULT CALLBACK CWavePlayer::InvisibleWindowProc(HWND hWnd, UINT message, WPARAM wParam,
                                                  LPARAM lParam) {
    if (auto* player = CHiddenWindow::Owner<CWavePlayer>(hWnd))
        return player->WindowProc(hWnd, message, wParam, lParam);
    return DefWindowProcA(hWnd, message, wParam, lParam);
}

// A done message may come from a playback that a later Play has already
// replaced (its reset posts one); it must not end the playback now running.
// The current playback is stopped only when the message comes from its own
// device and its own buffer has finished.
void CWavePlayer::OnDone(HWAVEOUT device) {
    if (m_header && device == m_device.Get() && m_header->IsDone())
        Stop();
    if (m_owner)
        m_owner->OnWaveOutDone();
}

LRESULT CWavePlayer::WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case MM_WOM_OPEN:
        if (m_owner)
            m_owner->OnWaveOutOpen();
        return 0;
    case MM_WOM_DONE:
        OnDone(reinterpret_cast<HWAVEOUT>(wParam));
        return 0;
    case MM_WOM_CLOSE:
        if (m_owner)
            m_owner->OnWaveOutClose();
        return 0;
    default:
        return DefWindowProcA(hWnd, message, wParam, lParam);
    }
}

} // namespace rw
