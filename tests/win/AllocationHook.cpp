#include "AllocationHook.h"

#include <cstdlib>
#include <new>

namespace {
bool g_armed = false;
std::size_t g_largest = 0;

void* Allocate(std::size_t size) {
    if (g_armed && size > g_largest)
        g_largest = size;
    return std::malloc(size ? size : 1);
}

void* AllocateOrThrow(std::size_t size) {
    if (void* p = Allocate(size))
        return p;
    throw std::bad_alloc();
}
} // namespace

namespace rw::test {

void ArmAllocationHook() {
    g_largest = 0;
    g_armed = true;
}

std::size_t DisarmAllocationHook() {
    g_armed = false;
    return g_largest;
}

} // namespace rw::test

void* operator new(std::size_t size) {
    return AllocateOrThrow(size);
}
void* operator new[](std::size_t size) {
    return AllocateOrThrow(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
