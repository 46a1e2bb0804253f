#pragma once

#include <cstdint>

namespace rw {

// The platform's window placement record, field for field (44 bytes):
// length, flags, show command, minimised and maximised positions, and the
// normal rectangle in screen coordinates.
struct RwWindowPlacement {
    int32_t length;
    int32_t flags;
    int32_t showCmd;
    int32_t minX, minY;
    int32_t maxX, maxY;
    int32_t normalLeft, normalTop, normalRight, normalBottom;
};
static_assert(sizeof(RwWindowPlacement) == 44);

} // namespace rw
