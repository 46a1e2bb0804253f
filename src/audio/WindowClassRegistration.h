// Registers a plain window class for the program's module and unregisters
// it when destroyed. Name() is null when the registration failed, so that
// windows of the class are then never created.
#pragma once

#include <windows.h>

#include <string>

namespace rw {

class CWindowClassRegistration {
public:
    CWindowClassRegistration(const char* name, WNDPROC procedure);
    ~CWindowClassRegistration();
    CWindowClassRegistration(const CWindowClassRegistration&) = delete;
    CWindowClassRegistration& operator=(const CWindowClassRegistration&) = delete;

    const char* Name() const { return m_registered ? m_name.c_str() : nullptr; }

private:
    std::string m_name;
    bool m_registered = false;
};

} // namespace rw
