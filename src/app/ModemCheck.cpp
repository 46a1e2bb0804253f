#include "app/ModemCheck.h"

#include "records/FileSystem.h"
#include "telephony/TapiAddressCaps.h"
#include "telephony/TapiApi.h"
#include "telephony/TapiDevCaps.h"
#include "telephony/TapiDeviceId.h"
#include "telephony/TapiLine.h"
#include "telephony/TapiRegistration.h"

#include <cstdio>

namespace rw {
namespace {

std::string Hex(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(value));
    return text;
}

std::string Failed(const char* what, LONG result) {
    return std::string(what) + " failed, " + Hex(static_cast<DWORD>(result));
}

// A wave device bound to the line, by lineGetID on the line itself.
CModemAbility WaveDevice(HLINE line, const char* deviceClass) {
    CModemAbility ability;
    if (!line) {
        ability.evidence = std::string("\"") + deviceClass + "\" not asked: the line did not open";
        return ability;
    }
    CTapiDeviceId id(deviceClass, 0, line, 0, 0, LINECALLSELECT_LINE);
    const LONG result = id.Fetch();
    DWORD device = 0;
    if (result == 0 && id.DeviceId(device)) {
        ability.can = Can::Yes;
        ability.evidence =
            std::string("lineGetID \"") + deviceClass + "\": device " + std::to_string(device);
    } else if (result == static_cast<LONG>(LINEERR_INVALDEVICECLASS) ||
               result == static_cast<LONG>(LINEERR_NODEVICE)) {
        ability.can = Can::No;
        ability.evidence =
            Failed((std::string("lineGetID \"") + deviceClass + "\"").c_str(), result);
    } else {
        ability.evidence =
            Failed((std::string("lineGetID \"") + deviceClass + "\"").c_str(), result);
    }
    return ability;
}

} // namespace

CModemDescription CModemCheck::DescribeDevice(DWORD device, const CTapiLine* open) {
    CModemDescription m;
    const HLINEAPP app = LineAppHandle();
    const DWORD version = LineApiVersion(device);

    CTapiDevCaps caps(app, device, version);
    const LONG capsResult = caps.Fetch();
    if (capsResult == 0) {
        m.name = caps.LineName();
        m.provider = caps.ProviderInfo();
        const DWORD media = caps.MediaModes();
        m.voice.can = (media & LINEMEDIAMODE_AUTOMATEDVOICE) ? Can::Yes : Can::No;
        m.voice.evidence = "lineGetDevCaps media modes " + Hex(media);
        const DWORD digits = caps.MonitorDigitModes();
        m.keys.can = (digits & LINEDIGITMODE_DTMF) ? Can::Yes : Can::No;
        m.keys.evidence = "lineGetDevCaps digit monitor modes " + Hex(digits);
    } else {
        m.voice.evidence = m.keys.evidence = Failed("lineGetDevCaps", capsResult);
    }

    CTapiAddressCaps address(app, device, 0, version);
    const LONG addressResult = address.Fetch();
    if (addressResult == 0) {
        const DWORD flags = address.CallerIdFlags();
        const DWORD states = address.CallInfoStates();
        // Caller ID needs both: flags that can say a number or a name, and
        // a LINE_CALLINFO to say it arrived.
        const bool reports = (flags & (LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME)) != 0;
        m.callerId.can = reports ? Can::Yes : Can::No;
        m.callerId.evidence = "lineGetAddressCaps caller ID flags " + Hex(flags) +
                              ", call info states " + Hex(states);
        if (reports && !(states & LINECALLINFOSTATE_CALLERID))
            m.callerId.evidence += " (no caller ID change reported: only what comes with the ring)";
    } else {
        m.callerId.evidence = Failed("lineGetAddressCaps", addressResult);
    }

    // The line itself: the program's own handle, or a monitor-only one
    // opened for the question.
    CTapiLine monitor;
    HLINE handle = 0;
    if (open && open->Handle()) {
        handle = open->Handle();
        m.watched = true;
        m.owner.can = open->IsOwner() ? Can::Yes : Can::No;
        m.owner.evidence = open->IsOwner() ? "opened as owner" : "opened to monitor only";
        m.watchedWhy = m.owner.evidence;
    } else {
        const LONG result = monitor.Open(device, nullptr, LINECALLPRIVILEGE_MONITOR,
                                         LINEMEDIAMODE_INTERACTIVEVOICE);
        handle = monitor.Handle();
        m.watchedWhy = open ? "not open" : "the check only";
        m.owner.evidence = "not tried: the check opens lines only to monitor";
        if (result != 0)
            m.watchedWhy += std::string(", ") + Failed("lineOpen to monitor", result);
    }
    m.play = WaveDevice(handle, "wave/out");
    m.record = WaveDevice(handle, "wave/in");
    // Without voice, the service has no wave device to give either.
    if (m.voice.can == Can::No && m.play.can == Can::Unknown)
        m.play.can = Can::No;
    return m;
}

std::vector<CModemDescription> CModemCheck::Describe(const std::vector<const CTapiLine*>& lines) {
    std::vector<CModemDescription> out;
    for (DWORD device = 0; device < LineDeviceCount(); ++device)
        out.push_back(DescribeDevice(device, device < lines.size() ? lines[device] : nullptr));
    return out;
}

bool CModemCheck::WriteReport(const std::string& path) {
    const std::string report = ModemReport(Describe({}));
    auto fs = CreateSystemFileSystem();
    auto file = fs->Create(path);
    return file && file->Write(report.data(), report.size()) && file->Close();
}

} // namespace rw
