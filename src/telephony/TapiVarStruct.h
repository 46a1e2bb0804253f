// A TAPI variable-size structure (LINECALLINFO, VARSTRING...) in a heap
// block that grows until the service's answer fits. The first three 32-bit
// fields of such a structure are its total, needed and used sizes.
#pragma once

#include <windows.h>

#include <tapi.h>

#include <cstddef>
#include <string>

namespace rw {

class CTapiVarStruct {
public:
    CTapiVarStruct() = default;
    virtual ~CTapiVarStruct();
    CTapiVarStruct(const CTapiVarStruct&) = delete;
    CTapiVarStruct& operator=(const CTapiVarStruct&) = delete;

    // Queries until the block holds the whole answer: 0 on success, a
    // positive request id, or a negative TAPI result (the block is then gone).
    LONG Fetch();

    const void* Block() const { return m_block; }
    // Bytes actually allocated (0 without a block).
    DWORD BlockSize() const { return m_size; }

    // The text that a variable part names by offset and size, from a block
    // of blockSize readable bytes whose fixed part is fixedSize bytes: at
    // most what both the block and its total and used sizes cover, after
    // the fixed part, up to the first NUL. Empty when any of it is out of
    // range.
    static std::string ReadPart(const void* block, size_t blockSize, size_t fixedSize, DWORD offset,
                                DWORD size);

protected:
    // The TAPI call that fills the block.
    virtual LONG Query() = 0;
    void* MutableBlock() { return m_block; }

private:
    bool Resize(DWORD size);
    void Free();

    void* m_block = nullptr;
    DWORD m_size = 0;
};

} // namespace rw
