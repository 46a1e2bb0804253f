#include "telephony/TapiApi.h"

#include "records/WidePath.h"
#include "telephony/SystemLibrary.h"

#include <memory>
#include <utility>

namespace rw {

namespace {

// Exported names, in the order of CTapiLoader::Function.
const char* const kExportNames[CTapiLoader::kFunctionCount] = {
    "lineInitialize",    "lineNegotiateAPIVersion",
    "lineOpen",          "lineSetStatusMessages",
    "lineClose",         "lineShutdown",
    "lineGetCallInfo",   "lineDeallocateCall",
    "lineAnswer",        "lineDrop",
    "lineMonitorDigits", "lineGetID",
    "phoneInitialize",   "phoneNegotiateAPIVersion",
    "phoneShutdown",     "phoneGetID",
    "lineGetDevCaps",    "lineGetAddressCaps",
};

std::string& LibraryPath() {
    static std::string path = "TAPI32.DLL";
    return path;
}

std::unique_ptr<CTapiLoader>& OwnLoader() {
    static std::unique_ptr<CTapiLoader> loader;
    return loader;
}

CTapiApi*& Installed() {
    static CTapiApi* api = nullptr;
    return api;
}

} // namespace

CTapiLoader::CTapiLoader(std::string libraryPath) : m_path(std::move(libraryPath)) {}

CTapiLoader::~CTapiLoader() {
    if (m_module)
        FreeLibrary(m_module);
}

FARPROC CTapiLoader::Lookup(Function function) {
    if (!m_loadTried) {
        m_loadTried = true;
        ++m_loadAttempts;
        // A bare name is Windows' own library, taken from the system folder
        // only; anything else (the line simulator) is a full path, in UTF-8
        // as every path in the program.
        m_module = m_path.find_first_of("\\/:") == std::string::npos
                       ? LoadSystemLibrary(m_path.c_str())
                       : LoadLibraryW(WidePath(m_path).c_str());
    }
    if (!m_module)
        return nullptr;
    if (!m_looked[function]) {
        m_looked[function] = true;
        ++m_lookupAttempts;
        m_procs[function] = GetProcAddress(m_module, kExportNames[function]);
    }
    return m_procs[function];
}

#define RW_TAPI_FORWARD(index, name, ...)                                                          \
    auto f = Get<decltype(&::name)>(index);                                                        \
    return f ? f(__VA_ARGS__) : LINEERR_OPERATIONUNAVAIL

LONG CTapiLoader::lineInitialize(LPHLINEAPP app, HINSTANCE instance, LINECALLBACK callback,
                                 LPCSTR appName, LPDWORD numDevs) {
    RW_TAPI_FORWARD(kLineInitialize, lineInitialize, app, instance, callback, appName, numDevs);
}
LONG CTapiLoader::lineNegotiateAPIVersion(HLINEAPP app, DWORD device, DWORD low, DWORD high,
                                          LPDWORD version, LPLINEEXTENSIONID extension) {
    RW_TAPI_FORWARD(kLineNegotiateAPIVersion, lineNegotiateAPIVersion, app, device, low, high,
                    version, extension);
}
LONG CTapiLoader::lineOpen(HLINEAPP app, DWORD device, LPHLINE line, DWORD version,
                           DWORD extVersion, DWORD_PTR instance, DWORD privileges, DWORD mediaModes,
                           LPLINECALLPARAMS params) {
    RW_TAPI_FORWARD(kLineOpen, lineOpen, app, device, line, version, extVersion, instance,
                    privileges, mediaModes, params);
}
LONG CTapiLoader::lineSetStatusMessages(HLINE line, DWORD lineStates, DWORD addressStates) {
    RW_TAPI_FORWARD(kLineSetStatusMessages, lineSetStatusMessages, line, lineStates, addressStates);
}
LONG CTapiLoader::lineClose(HLINE line) {
    RW_TAPI_FORWARD(kLineClose, lineClose, line);
}
LONG CTapiLoader::lineShutdown(HLINEAPP app) {
    RW_TAPI_FORWARD(kLineShutdown, lineShutdown, app);
}
LONG CTapiLoader::lineGetCallInfo(HCALL call, LPLINECALLINFO info) {
    RW_TAPI_FORWARD(kLineGetCallInfo, lineGetCallInfo, call, info);
}
LONG CTapiLoader::lineDeallocateCall(HCALL call) {
    RW_TAPI_FORWARD(kLineDeallocateCall, lineDeallocateCall, call);
}
LONG CTapiLoader::lineAnswer(HCALL call, LPCSTR userUserInfo, DWORD size) {
    RW_TAPI_FORWARD(kLineAnswer, lineAnswer, call, userUserInfo, size);
}
LONG CTapiLoader::lineDrop(HCALL call, LPCSTR userUserInfo, DWORD size) {
    RW_TAPI_FORWARD(kLineDrop, lineDrop, call, userUserInfo, size);
}
LONG CTapiLoader::lineMonitorDigits(HCALL call, DWORD digitModes) {
    RW_TAPI_FORWARD(kLineMonitorDigits, lineMonitorDigits, call, digitModes);
}
LONG CTapiLoader::lineGetID(HLINE line, DWORD address, HCALL call, DWORD select,
                            LPVARSTRING deviceId, LPCSTR deviceClass) {
    RW_TAPI_FORWARD(kLineGetID, lineGetID, line, address, call, select, deviceId, deviceClass);
}
LONG CTapiLoader::lineGetDevCaps(HLINEAPP app, DWORD device, DWORD version, DWORD extVersion,
                                 LPLINEDEVCAPS caps) {
    RW_TAPI_FORWARD(kLineGetDevCaps, lineGetDevCaps, app, device, version, extVersion, caps);
}
LONG CTapiLoader::lineGetAddressCaps(HLINEAPP app, DWORD device, DWORD address, DWORD version,
                                     DWORD extVersion, LPLINEADDRESSCAPS caps) {
    RW_TAPI_FORWARD(kLineGetAddressCaps, lineGetAddressCaps, app, device, address, version,
                    extVersion, caps);
}
LONG CTapiLoader::phoneInitialize(LPHPHONEAPP app, HINSTANCE instance, PHONECALLBACK callback,
                                  LPCSTR appName, LPDWORD numDevs) {
    RW_TAPI_FORWARD(kPhoneInitialize, phoneInitialize, app, instance, callback, appName, numDevs);
}
LONG CTapiLoader::phoneNegotiateAPIVersion(HPHONEAPP app, DWORD device, DWORD low, DWORD high,
                                           LPDWORD version, LPPHONEEXTENSIONID extension) {
    RW_TAPI_FORWARD(kPhoneNegotiateAPIVersion, phoneNegotiateAPIVersion, app, device, low, high,
                    version, extension);
}
LONG CTapiLoader::phoneShutdown(HPHONEAPP app) {
    RW_TAPI_FORWARD(kPhoneShutdown, phoneShutdown, app);
}
LONG CTapiLoader::phoneGetID(HPHONE phone, LPVARSTRING deviceId, LPCSTR deviceClass) {
    RW_TAPI_FORWARD(kPhoneGetID, phoneGetID, phone, deviceId, deviceClass);
}

#undef RW_TAPI_FORWARD

void SetTapiLibraryPath(const std::string& path) {
    LibraryPath() = path;
}

const std::string& TapiLibraryPath() {
    return LibraryPath();
}

CTapiApi& Tapi() {
    if (CTapiApi* api = Installed())
        return *api;
    auto& own = OwnLoader();
    if (!own)
        own = std::make_unique<CTapiLoader>(LibraryPath());
    return *own;
}

CTapiApi* SetTapiApi(CTapiApi* api) {
    return std::exchange(Installed(), api);
}

} // namespace rw
