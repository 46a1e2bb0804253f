#include "audio/WaveFileWriter.h"

#include "records/WidePath.h"

#include <algorithm>
#include <cstring>

namespace rw {
namespace {

void Put32(unsigned char* at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<unsigned char>(v >> (8 * i));
}
void Put16(unsigned char* at, uint16_t v) {
    at[0] = static_cast<unsigned char>(v);
    at[1] = static_cast<unsigned char>(v >> 8);
}

// Offsets go through SetFilePointer's signed 32 bits.
constexpr uint32_t kMaxDataBytes = 0x7FFFFFFFu - CWaveFileWriter::kHeaderBytes;

// Set only by tests, before any recording.
uint32_t g_roomForTests = 0;

} // namespace

void CWaveFileWriter::SetRoomForTests(uint32_t bytes) {
    g_roomForTests = bytes;
}

bool CWaveFileWriter::Create(const std::string& path, unsigned sampleRate) {
    Close();
    m_dataBytes = 0;
    m_file = CreateFileW(WidePath(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                         nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_file == INVALID_HANDLE_VALUE) {
        m_lastError = GetLastError();
        return false;
    }
    unsigned char header[kHeaderBytes];
    std::memcpy(header, "RIFF", 4);
    Put32(header + 4, kHeaderBytes - 8);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    Put32(header + 16, 16);
    Put16(header + 20, 1); // PCM
    Put16(header + 22, 1);
    Put32(header + 24, sampleRate);
    Put32(header + 28, sampleRate * 2);
    Put16(header + 32, 2);
    Put16(header + 34, 16);
    std::memcpy(header + 36, "data", 4);
    Put32(header + 40, 0);
    if (!WriteAt(0, header, sizeof header)) {
        Close();
        DeleteFileW(WidePath(path).c_str());
        return false;
    }
    return true;
}

bool CWaveFileWriter::WriteAt(DWORD offset, const void* bytes, DWORD size) {
    if (SetFilePointer(m_file, static_cast<LONG>(offset), nullptr, FILE_BEGIN) ==
        INVALID_SET_FILE_POINTER) {
        m_lastError = GetLastError();
        return false;
    }
    DWORD written = 0;
    if (!WriteFile(m_file, bytes, size, &written, nullptr) || written != size) {
        m_lastError = written != size && GetLastError() == 0 ? ERROR_DISK_FULL : GetLastError();
        return false;
    }
    return true;
}

bool CWaveFileWriter::UpdateHeader() {
    unsigned char riff[4], data[4];
    Put32(riff, m_dataBytes + kHeaderBytes - 8);
    Put32(data, m_dataBytes);
    return WriteAt(4, riff, 4) && WriteAt(40, data, 4);
}

bool CWaveFileWriter::Append(const void* bytes, DWORD size) {
    if (!IsOpen())
        return false;
    if (size > kMaxDataBytes - m_dataBytes) {
        m_lastError = ERROR_FILE_TOO_LARGE;
        return false;
    }
    if (SetFilePointer(m_file, static_cast<LONG>(kHeaderBytes + m_dataBytes), nullptr,
                       FILE_BEGIN) == INVALID_SET_FILE_POINTER) {
        m_lastError = GetLastError();
        return false;
    }
    DWORD fits = size;
    if (g_roomForTests)
        fits = std::min<DWORD>(size, g_roomForTests - std::min(g_roomForTests, m_dataBytes));
    DWORD written = 0;
    const bool whole = WriteFile(m_file, bytes, fits, &written, nullptr) && written == size;
    if (!whole)
        m_lastError = fits < size      ? ERROR_DISK_FULL
                      : GetLastError() ? GetLastError()
                                       : ERROR_DISK_FULL;
    // Only whole samples count; a torn one is left beyond the data chunk.
    m_dataBytes += written & ~1u;
    const bool described = UpdateHeader();
    return whole && described;
}

bool CWaveFileWriter::Truncate(uint32_t dataBytes) {
    if (!IsOpen())
        return false;
    if (dataBytes < m_dataBytes)
        m_dataBytes = dataBytes & ~1u;
    if (SetFilePointer(m_file, static_cast<LONG>(kHeaderBytes + m_dataBytes), nullptr,
                       FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
        !SetEndOfFile(m_file)) {
        m_lastError = GetLastError();
        return false;
    }
    return UpdateHeader();
}

void CWaveFileWriter::Close() {
    if (m_file != INVALID_HANDLE_VALUE) {
        FlushFileBuffers(m_file);
        CloseHandle(m_file);
    }
    m_file = INVALID_HANDLE_VALUE;
}

} // namespace rw
