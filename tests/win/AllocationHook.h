// Replaces the global operator new of the test program so a test can see
// the largest single block requested while the hook is armed.
#pragma once

#include <cstddef>

namespace rw::test {

void ArmAllocationHook();
// Disarms the hook; returns the largest request made while it was armed.
std::size_t DisarmAllocationHook();

} // namespace rw::test
