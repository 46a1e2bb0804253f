// Writes a RIFF WAVE file of 16-bit mono PCM as it is recorded. The header
// is brought up to date after every piece written, so that the file is a
// playable WAV of all that was said at every moment a crash or a power cut
// could stop it; a piece the disk took only in part counts for the whole
// samples it holds.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace rw {

class CWaveFileWriter {
public:
    CWaveFileWriter() = default;
    ~CWaveFileWriter() { Close(); }
    CWaveFileWriter(const CWaveFileWriter&) = delete;
    CWaveFileWriter& operator=(const CWaveFileWriter&) = delete;

    // Creates `path` (UTF-8; never over an existing file) with an empty
    // data chunk. False with the system's error code in LastError().
    bool Create(const std::string& path, unsigned sampleRate);
    // Appends samples; false (LastError set) when the disk would not take
    // them all. What it took stays described by the header.
    bool Append(const void* bytes, DWORD size);
    // Keeps only the first `dataBytes` bytes of samples.
    bool Truncate(uint32_t dataBytes);
    void Close();

    bool IsOpen() const { return m_file != INVALID_HANDLE_VALUE; }
    uint32_t DataBytes() const { return m_dataBytes; }
    DWORD LastError() const { return m_lastError; }

    static constexpr DWORD kHeaderBytes = 44;

    // Tests fill the disk through this: every file then takes at most
    // `bytes` of samples, and a write past them fails as a full disk would
    // (after writing what fits). 0: no limit. Set before recording starts.
    static void SetRoomForTests(uint32_t bytes);

private:
    bool WriteAt(DWORD offset, const void* bytes, DWORD size);
    bool UpdateHeader();

    HANDLE m_file = INVALID_HANDLE_VALUE;
    uint32_t m_dataBytes = 0;
    DWORD m_lastError = 0;
};

} // namespace rw
