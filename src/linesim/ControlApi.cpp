// The exported control functions of LineSim.h, and the simulator's reading
// of the process's own command line.
#include "CallWaveDevices.h"
#include "CallWaveInput.h"
#include "LineSim.h"
#include "LineSimulator.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace rw::linesim {

namespace {

CLineSimulator& Sim() {
    return CLineSimulator::Instance();
}

HINSTANCE g_module = nullptr;

// Splits a Windows command line: blanks separate, double quotes group.
std::vector<std::string> SplitCommandLine(const char* line) {
    std::vector<std::string> args;
    std::string current;
    bool quoted = false, any = false;
    for (const char* p = line ? line : ""; *p; ++p) {
        if (*p == '"') {
            quoted = !quoted;
            any = true;
        } else if ((*p == ' ' || *p == '\t') && !quoted) {
            if (any)
                args.push_back(current);
            current.clear();
            any = false;
        } else {
            current += *p;
            any = true;
        }
    }
    if (any)
        args.push_back(current);
    return args;
}

// Copies at most size-1 bytes and a NUL; returns the whole text's length.
size_t CopyOut(const std::string& text, char* buffer, size_t size) {
    if (buffer && size) {
        const size_t n = text.size() < size - 1 ? text.size() : size - 1;
        std::memcpy(buffer, text.data(), n);
        buffer[n] = '\0';
    }
    return text.size();
}

void ReadCommandLine() {
    const std::vector<std::string> args = SplitCommandLine(GetCommandLineA());
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--sim-no-window")
            Sim().showWindow = false;
        else if (args[i] == "--sim-stats")
            Sim().printStats = true;
        else if (args[i] == "--sim-quiet")
            Sim().printSummary = false;
        else if (args[i] == "--sim-script" && i + 1 < args.size())
            Sim().scriptPath = args[++i];
        else if (args[i] == "--sim-devices" && i + 1 < args.size())
            Sim().SetDeviceCount(args[++i] == "0" ? 0 : 1);
    }
}

} // namespace

HINSTANCE ThisModule() {
    return g_module;
}

void SetShowWindow(bool show) {
    Sim().showWindow = show;
}

void SetRingTiming(uint32_t intervalMs, uint32_t maxRings) {
    Sim().ringIntervalMs = intervalMs;
    Sim().maxRings = maxRings;
}

void SetReplyDelay(uint32_t ms) {
    Sim().replyDelayMs = ms;
}

void SetWaveOpenDelay(uint32_t ms) {
    CCallWaveDevices::Instance().SetOpenDelay(ms);
}

void SetWaveInput(WaveInput mode) {
    CCallWaveInput::Instance().SetMode(mode == WaveInput::Missing   ? CCallWaveInput::Mode::Missing
                                       : mode == WaveInput::Refuses ? CCallWaveInput::Mode::Refuses
                                                                    : CCallWaveInput::Mode::Works);
}

void SetWaveInputSpeed(uint32_t times) {
    CCallWaveInput::Instance().SetSpeed(times);
}

bool SayFile(uint32_t call, const char* path) {
    std::string error;
    bool read = true;
    const bool found = CCallWaveInput::Instance().WithVoice(
        call, [&](CCallVoice& voice) { read = voice.AddFile(path ? path : "", error); });
    if (!read)
        std::fprintf(stderr, "line simulator: %s\n", error.c_str());
    return found && read;
}

bool SayTone(uint32_t call, double f1, double f2, uint32_t ms) {
    return CCallWaveInput::Instance().WithVoice(
        call, [&](CCallVoice& voice) { voice.AddTone(f1, f2, ms); });
}

bool SayNoise(uint32_t call, uint32_t ms) {
    return CCallWaveInput::Instance().WithVoice(call,
                                                [&](CCallVoice& voice) { voice.AddNoise(ms); });
}

bool Gone(uint32_t call, LineTone tone) {
    const auto kind = tone == LineTone::Busy      ? CCallVoice::LineTone::Busy
                      : tone == LineTone::Reorder ? CCallVoice::LineTone::Reorder
                                                  : CCallVoice::LineTone::Dial;
    return CCallWaveInput::Instance().WithVoice(
        call, [&](CCallVoice& voice) { voice.AddLineTone(kind); });
}

void SetVoiceSupported(bool voice) {
    Sim().voice = voice;
}

void SetPrintSummary(bool print) {
    Sim().printSummary = print;
}

void SetPrintStats(bool print) {
    Sim().printStats = print;
}

bool SetOption(Option option, bool on) {
    return Sim().SetOption(option, on);
}

void SetScript(const char* path) {
    Sim().scriptPath = path ? path : "";
}

void SetDeviceCount(uint32_t count) {
    Sim().SetDeviceCount(count);
}

bool AddDevice() {
    return Sim().AddDevice();
}

bool CloseLine(uint32_t downMs) {
    return Sim().CloseLine(downMs);
}

bool Reinit() {
    return Sim().Reinit();
}

void SetDropFailures(uint32_t count, bool atOnce) {
    Sim().SetDropFailures(count, atOnce);
}

uint32_t Ring(const CallerId& callerId, bool outbound) {
    return Sim().Ring(callerId, outbound);
}

bool DeliverCallerId(uint32_t call, const CallerId& callerId) {
    return Sim().DeliverCallerId(call, callerId);
}

bool KeyDigits(uint32_t call, const char* digits) {
    return Sim().KeyDigits(call, digits);
}

bool HangUp(uint32_t call) {
    return Sim().HangUp(call);
}

bool PickUp(uint32_t call) {
    return Sim().PickUp(call);
}

uint32_t CallCount() {
    return Sim().CallCount();
}

bool GetCallRecord(uint32_t call, CallRecord* record) {
    const SimCall* c = Sim().FindCall(call);
    if (!c || !record)
        return false;
    *record = Sim().RecordOf(*c);
    return true;
}

size_t CallSummary(uint32_t call, char* buffer, size_t size) {
    return CopyOut(Sim().Summary(call), buffer, size);
}

size_t StatsReport(char* buffer, size_t size) {
    return CopyOut(Sim().Stats("now"), buffer, size);
}

} // namespace rw::linesim

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        rw::linesim::g_module = instance;
        rw::linesim::ReadCommandLine();
    } else if (reason == DLL_PROCESS_DETACH) {
        // A program that ends without lineShutdown still gets its summary.
        rw::linesim::Sim().PrintSummary();
        // The .exe's import table must not point into this module once it
        // is gone.
        rw::linesim::CCallWaveDevices::Instance().Remove();
    }
    return TRUE;
}
