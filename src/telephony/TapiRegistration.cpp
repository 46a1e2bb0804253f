#include "telephony/TapiRegistration.h"

#include "records/StringTable.h"
#include "res/resource.h"
#include "telephony/TapiApi.h"
#include "telephony/TapiLine.h"
#include "telephony/TapiTrace.h"

#include <new>
#include <string>
#include <vector>

namespace rw {

namespace {

struct Registration {
    DWORD handle = 0;
    DWORD deviceCount = 0;
    CTapiAppNotify* notify = nullptr;
    std::vector<DWORD> versions;
    bool reinitUntold = false; // a REINIT came while nobody listened
};

Registration g_line;
Registration g_phone;

// A line device plugged in after registration: TAPI 1.4 numbers it next
// after the devices already known, and its version is negotiated like the
// others' before anyone opens it.
void AddLineDevice(DWORD device) {
    if (!g_line.handle || device < g_line.deviceCount || device > g_line.deviceCount + 64)
        return;
    try {
        g_line.versions.resize(device + 1, 0);
    } catch (const std::bad_alloc&) {
        return;
    }
    for (DWORD i = g_line.deviceCount; i <= device; ++i) {
        LINEEXTENSIONID extension{};
        if (Tapi().lineNegotiateAPIVersion(g_line.handle, i, kTapiLowVersion, kTapiHighVersion,
                                           &g_line.versions[i], &extension) < 0)
            g_line.versions[i] = 0;
    }
    g_line.deviceCount = device + 1;
}

void DeliverLineMessage(DWORD device, DWORD message, DWORD_PTR instance, DWORD_PTR param1,
                        DWORD_PTR param2, DWORD_PTR param3) {
    switch (message) {
    case LINE_REQUEST:
        if (g_line.notify)
            g_line.notify->OnRequest(static_cast<DWORD>(param1), reinterpret_cast<HWND>(param2),
                                     static_cast<WORD>(param3 & 0xFFFF));
        return;
    case LINE_CREATE:
        AddLineDevice(static_cast<DWORD>(param1));
        if (g_line.notify)
            g_line.notify->OnLineCreated(static_cast<DWORD>(param1));
        return;
    default:
        // The instance is the CTapiLine given to lineOpen.
        if (instance) {
            reinterpret_cast<CTapiLine*>(instance)->OnMessage(device, message, param1, param2,
                                                              param3);
        } else if (message == LINE_LINEDEVSTATE && (param1 & LINEDEVSTATE_REINIT)) {
            // Sent to every application with instance 0, since it concerns
            // the registration rather than one line.
            NoteLineResult(LINEERR_REINIT);
        }
    }
}

void CALLBACK LineCallback(DWORD device, DWORD message, DWORD_PTR instance, DWORD_PTR param1,
                           DWORD_PTR param2, DWORD_PTR param3) {
    // Nothing may unwind into the service that called us.
    try {
        if (TapiTraceSink())
            TraceTapiMessage(device, message, instance, param1, param2, param3);
        DeliverLineMessage(device, message, instance, param1, param2, param3);
    } catch (...) {
    }
}

void CALLBACK PhoneCallback(DWORD device, DWORD message, DWORD_PTR instance, DWORD_PTR param1,
                            DWORD_PTR param2, DWORD_PTR param3) {
    // No phone device is ever opened, so only the registration's own
    // messages arrive: a new device, and the request to register again.
    try {
        if (TapiTraceSink())
            TraceTapiMessage(device, message, instance, param1, param2, param3, true);
        if (!g_phone.notify)
            return;
        if (message == PHONE_CREATE)
            g_phone.notify->OnPhoneCreated(static_cast<DWORD>(param1));
        else if (message == PHONE_STATE && (param1 & PHONESTATE_REINIT))
            g_phone.notify->OnReinit();
    } catch (...) {
    }
}

std::string DefaultName(const char* appName) {
    return appName ? std::string(appName) : LoadResString(IDS_APP_TITLE);
}

HINSTANCE DefaultInstance(HINSTANCE instance) {
    return instance ? instance : GetModuleHandleA(nullptr);
}

// Keeps one version per device; 0 where negotiation failed. Out of memory
// leaves no array, so the device stays closed.
template <class Negotiate> void NegotiateVersions(Registration& reg, Negotiate negotiate) {
    if (reg.deviceCount == 0)
        return;
    try {
        reg.versions.assign(reg.deviceCount, 0);
    } catch (const std::bad_alloc&) {
        reg.versions.clear();
        return;
    }
    for (DWORD i = 0; i < reg.deviceCount; ++i)
        if (negotiate(i, &reg.versions[i]) < 0)
            reg.versions[i] = 0;
}

void ForgetRegistration(Registration& reg) {
    reg.notify = nullptr;
    reg.reinitUntold = false;
    reg.versions.clear();
    reg.versions.shrink_to_fit();
}

} // namespace

LONG RegisterLineApp(CTapiAppNotify* notify, const char* appName, HINSTANCE instance) {
    const std::string name = DefaultName(appName);
    instance = DefaultInstance(instance);
    if (g_line.handle)
        return LINEERR_OPERATIONFAILED;
    HLINEAPP handle = 0;
    DWORD count = 0;
    LONG result = Tapi().lineInitialize(&handle, instance, LineCallback, name.c_str(), &count);
    if (result != 0)
        return result;
    g_line.handle = handle;
    g_line.deviceCount = count;
    g_line.notify = notify;
    NegotiateVersions(g_line, [&](DWORD device, DWORD* version) {
        LINEEXTENSIONID extension{};
        return Tapi().lineNegotiateAPIVersion(handle, device, kTapiLowVersion, kTapiHighVersion,
                                              version, &extension);
    });
    return 0;
}

void SetLineAppNotify(CTapiAppNotify* notify) {
    g_line.notify = notify;
    if (notify && g_line.reinitUntold) {
        g_line.reinitUntold = false;
        notify->OnReinit();
    }
}

LONG NoteLineResult(LONG result) {
    if (result != static_cast<LONG>(LINEERR_REINIT) || !g_line.handle)
        return result;
    if (g_line.notify)
        g_line.notify->OnReinit();
    else
        g_line.reinitUntold = true;
    return result;
}

void SetPhoneAppNotify(CTapiAppNotify* notify) {
    g_phone.notify = notify;
}

LONG UnregisterLineApp() {
    ForgetRegistration(g_line);
    if (!g_line.handle)
        return LINEERR_OPERATIONFAILED;
    LONG result = Tapi().lineShutdown(g_line.handle);
    g_line.handle = 0;
    g_line.deviceCount = 0;
    return result;
}

DWORD LineDeviceCount() {
    return g_line.handle ? g_line.deviceCount : 0;
}

HLINEAPP LineAppHandle() {
    return g_line.handle;
}

DWORD LineApiVersion(DWORD device) {
    return device < g_line.versions.size() ? g_line.versions[device] : 0;
}

LONG RegisterPhoneApp(CTapiAppNotify* notify, const char* appName, HINSTANCE instance) {
    const std::string name = DefaultName(appName);
    instance = DefaultInstance(instance);
    if (g_phone.handle)
        return PHONEERR_OPERATIONFAILED;
    HPHONEAPP handle = 0;
    DWORD count = 0;
    LONG result = Tapi().phoneInitialize(&handle, instance, PhoneCallback, name.c_str(), &count);
    if (result != 0)
        return result;
    g_phone.handle = handle;
    g_phone.deviceCount = count;
    g_phone.notify = notify;
    NegotiateVersions(g_phone, [&](DWORD device, DWORD* version) {
        PHONEEXTENSIONID extension{};
        return Tapi().phoneNegotiateAPIVersion(handle, device, kTapiLowVersion, kTapiHighVersion,
                                               version, &extension);
    });
    return 0;
}

LONG UnregisterPhoneApp() {
    ForgetRegistration(g_phone);
    if (!g_phone.handle)
        return PHONEERR_OPERATIONFAILED;
    LONG result = Tapi().phoneShutdown(g_phone.handle);
    g_phone.handle = 0;
    g_phone.deviceCount = 0;
    return result;
}

DWORD PhoneDeviceCount() {
    return g_phone.handle ? g_phone.deviceCount : 0;
}

} // namespace rw
