#include "audio/WindowClassRegistration.h"

namespace rw {

CWindowClassRegistration::CWindowClassRegistration(const char* name, WNDPROC procedure)
    : m_name(name) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = procedure;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = m_name.c_str();
    m_registered = RegisterClassA(&wc) != 0;
}

CWindowClassRegistration::~CWindowClassRegistration() {
    if (m_registered)
        UnregisterClassA(m_name.c_str(), GetModuleHandleA(nullptr));
}

} // namespace rw
