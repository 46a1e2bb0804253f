// The TAPI functions Ringwarden uses, reached through a replaceable table.
// The default table loads its library on the first call of any function and
// looks each function up on its own first call; a missing library or
// function makes that function return LINEERR_OPERATIONUNAVAIL, and the
// failure is remembered for the rest of the run. Tests install a fake table.
#pragma once

#include <windows.h>

#include <tapi.h>

#include <string>

namespace rw {

class CTapiApi {
public:
    virtual ~CTapiApi() = default;

    virtual LONG lineInitialize(LPHLINEAPP app, HINSTANCE instance, LINECALLBACK callback,
                                LPCSTR appName, LPDWORD numDevs) = 0;
    virtual LONG lineNegotiateAPIVersion(HLINEAPP app, DWORD device, DWORD low, DWORD high,
                                         LPDWORD version, LPLINEEXTENSIONID extension) = 0;
    virtual LONG lineOpen(HLINEAPP app, DWORD device, LPHLINE line, DWORD version, DWORD extVersion,
                          DWORD_PTR instance, DWORD privileges, DWORD mediaModes,
                          LPLINECALLPARAMS params) = 0;
    virtual LONG lineSetStatusMessages(HLINE line, DWORD lineStates, DWORD addressStates) = 0;
    virtual LONG lineClose(HLINE line) = 0;
    virtual LONG lineShutdown(HLINEAPP app) = 0;
    virtual LONG lineGetCallInfo(HCALL call, LPLINECALLINFO info) = 0;
    virtual LONG lineDeallocateCall(HCALL call) = 0;
    virtual LONG lineAnswer(HCALL call, LPCSTR userUserInfo, DWORD size) = 0;
    virtual LONG lineDrop(HCALL call, LPCSTR userUserInfo, DWORD size) = 0;
    virtual LONG lineMonitorDigits(HCALL call, DWORD digitModes) = 0;
    virtual LONG lineGetID(HLINE line, DWORD address, HCALL call, DWORD select,
                           LPVARSTRING deviceId, LPCSTR deviceClass) = 0;
    // Only the modem check asks these; a table without them says so.
    virtual LONG lineGetDevCaps(HLINEAPP, DWORD, DWORD, DWORD, LPLINEDEVCAPS) {
        return LINEERR_OPERATIONUNAVAIL;
    }
    virtual LONG lineGetAddressCaps(HLINEAPP, DWORD, DWORD, DWORD, DWORD, LPLINEADDRESSCAPS) {
        return LINEERR_OPERATIONUNAVAIL;
    }
    virtual LONG phoneInitialize(LPHPHONEAPP app, HINSTANCE instance, PHONECALLBACK callback,
                                 LPCSTR appName, LPDWORD numDevs) = 0;
    virtual LONG phoneNegotiateAPIVersion(HPHONEAPP app, DWORD device, DWORD low, DWORD high,
                                          LPDWORD version, LPPHONEEXTENSIONID extension) = 0;
    virtual LONG phoneShutdown(HPHONEAPP app) = 0;
    virtual LONG phoneGetID(HPHONE phone, LPVARSTRING deviceId, LPCSTR deviceClass) = 0;
};

// Lazy loader of a TAPI library (TAPI32.DLL or the line simulator).
class CTapiLoader : public CTapiApi {
public:
    explicit CTapiLoader(std::string libraryPath);
    ~CTapiLoader() override;
    CTapiLoader(const CTapiLoader&) = delete;
    CTapiLoader& operator=(const CTapiLoader&) = delete;

    LONG lineInitialize(LPHLINEAPP app, HINSTANCE instance, LINECALLBACK callback, LPCSTR appName,
                        LPDWORD numDevs) override;
    LONG lineNegotiateAPIVersion(HLINEAPP app, DWORD device, DWORD low, DWORD high, LPDWORD version,
                                 LPLINEEXTENSIONID extension) override;
    LONG lineOpen(HLINEAPP app, DWORD device, LPHLINE line, DWORD version, DWORD extVersion,
                  DWORD_PTR instance, DWORD privileges, DWORD mediaModes,
                  LPLINECALLPARAMS params) override;
    LONG lineSetStatusMessages(HLINE line, DWORD lineStates, DWORD addressStates) override;
    LONG lineClose(HLINE line) override;
    LONG lineShutdown(HLINEAPP app) override;
    LONG lineGetCallInfo(HCALL call, LPLINECALLINFO info) override;
    LONG lineDeallocateCall(HCALL call) override;
    LONG lineAnswer(HCALL call, LPCSTR userUserInfo, DWORD size) override;
    LONG lineDrop(HCALL call, LPCSTR userUserInfo, DWORD size) override;
    LONG lineMonitorDigits(HCALL call, DWORD digitModes) override;
    LONG lineGetID(HLINE line, DWORD address, HCALL call, DWORD select, LPVARSTRING deviceId,
                   LPCSTR deviceClass) override;
    LONG lineGetDevCaps(HLINEAPP app, DWORD device, DWORD version, DWORD extVersion,
                        LPLINEDEVCAPS caps) override;
    LONG lineGetAddressCaps(HLINEAPP app, DWORD device, DWORD address, DWORD version,
                            DWORD extVersion, LPLINEADDRESSCAPS caps) override;
    LONG phoneInitialize(LPHPHONEAPP app, HINSTANCE instance, PHONECALLBACK callback,
                         LPCSTR appName, LPDWORD numDevs) override;
    LONG phoneNegotiateAPIVersion(HPHONEAPP app, DWORD device, DWORD low, DWORD high,
                                  LPDWORD version, LPPHONEEXTENSIONID extension) override;
    LONG phoneShutdown(HPHONEAPP app) override;
    LONG phoneGetID(HPHONE phone, LPVARSTRING deviceId, LPCSTR deviceClass) override;

    // How often the library load and the function lookups were attempted.
    int LoadAttempts() const { return m_loadAttempts; }
    int LookupAttempts() const { return m_lookupAttempts; }

    enum Function {
        kLineInitialize,
        kLineNegotiateAPIVersion,
        kLineOpen,
        kLineSetStatusMessages,
        kLineClose,
        kLineShutdown,
        kLineGetCallInfo,
        kLineDeallocateCall,
        kLineAnswer,
        kLineDrop,
        kLineMonitorDigits,
        kLineGetID,
        kPhoneInitialize,
        kPhoneNegotiateAPIVersion,
        kPhoneShutdown,
        kPhoneGetID,
        kLineGetDevCaps,
        kLineGetAddressCaps,
        kFunctionCount
    };

private:
    // The function's address, or null when the library or the function is
    // missing (then and for every later call).
    FARPROC Lookup(Function function);
    template <class F> F Get(Function function) {
        return reinterpret_cast<F>(reinterpret_cast<void*>(Lookup(function)));
    }

    std::string m_path;
    HMODULE m_module = nullptr;
    bool m_loadTried = false;
    int m_loadAttempts = 0;
    int m_lookupAttempts = 0;
    FARPROC m_procs[kFunctionCount] = {};
    bool m_looked[kFunctionCount] = {};
};

// The library the program's own table loads: "TAPI32.DLL" unless changed
// before the first TAPI call (the command line's --line-simulator does). A
// full path is UTF-8.
void SetTapiLibraryPath(const std::string& path);
const std::string& TapiLibraryPath();

// The table in use; the program's own loader unless a test installed one.
CTapiApi& Tapi();
// Installs a table (null: back to the program's own); returns the previous
// one (null when it was the program's own).
CTapiApi* SetTapiApi(CTapiApi* api);

} // namespace rw
