// Control interface of the line simulator, rwlinesim.dll.
//
// The simulator is a stand-in for the Windows telephony service with one
// voice modem: it exports lineInitialize, lineOpen, lineGetCallInfo and the
// other TAPI functions Ringwarden uses, with TAPI 1.4's signatures and
// structures. Their fixed parts are 1.4's: LINECALLINFO's is 296 bytes,
// though mingw-w64's tapi.h declares the later fields too (344 bytes). Beside them it
// exports the functions below, with which a test in the same process plays
// the caller: ring the line, send the caller's identification late, key
// digits, hang up, and read back what the program did to each call.
//
// Threading: everything here, like the TAPI functions, belongs to the thread
// that called lineInitialize. Nothing is delivered from inside a call: the
// events these functions cause reach the application's line callback through
// that thread's message loop, in order, so a test pumps messages after each
// step. Calls are numbered 1, 2, 3... in the order they rang; the numbering
// starts again at lineShutdown, which also forgets the records (except the
// lineShutdown that answers a REINIT, see Reinit).
//
// Sound played to a call: lineGetID("wave/out") on a call gives the call's
// own wave device, 0x52000000 plus the call's number, which no real device
// uses. The machine's default wave device (device 0) stands in for the
// modem's voice path, so, for the program's playback to reach it and be
// counted, lineInitialize replaces the entries for winmm's waveOutOpen,
// waveOutWrite and waveOutClose in the import address table of the
// process's .exe (lineShutdown and unloading the DLL put them back).
// Opening a call's device opens device 0 with the same flags, and each
// waveOutWrite on that handle adds the header's dwBufferLength to the
// call's bytesPlayed; every other device and handle passes through
// untouched. The program may open, write and close a call's device from
// any thread. The import table is the one honest place to see the writes
// on Windows as under Wine: Ringwarden and the tests link their wave code
// into the .exe, so its table is where their winmm calls go, and nothing
// else in the process is affected. A program whose winmm calls do not go
// through its .exe's imports is not patched: its calls' "wave/out" is then
// device 0, as on the line, and bytesPlayed stays 0. "wave/out" on the
// line or its address is always device 0.
#pragma once

#include <cstddef>
#include <cstdint>

#ifdef RW_LINESIM_BUILD
#define RW_LINESIM_API __declspec(dllexport)
#else
#define RW_LINESIM_API __declspec(dllimport)
#endif

namespace rw::linesim {

// What the line says about the caller; becomes LINECALLINFO.dwCallerIDFlags.
enum class CallerIdKind : uint32_t {
    Number,      // LINECALLPARTYID_ADDRESS
    Name,        // LINECALLPARTYID_NAME
    Both,        // LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME
    Blocked,     // LINECALLPARTYID_BLOCKED (withheld)
    OutOfArea,   // LINECALLPARTYID_OUTOFAREA
    Unavailable, // LINECALLPARTYID_UNAVAIL
    Unknown,     // LINECALLPARTYID_UNKNOWN: not yet known, see DeliverCallerId
};

// How a caller-ID text is laid out in LINECALLINFO's variable part. Only
// Normal is what a well-behaved service does; the others let a test hand the
// program's reader hostile structures.
enum class TextLayout : uint32_t {
    Normal,        // the bytes plus a NUL, size counting the NUL; empty: size 0, offset 0
    Unterminated,  // the bytes alone, no NUL
    EmptyAtOffset, // size 0 but a non-zero offset into the variable part
    Overrun,       // the bytes plus a NUL, but the size claims 4096 more bytes than exist
};

// A caller-ID text: any bytes, any length (embedded NULs included).
struct CallerText {
    const void* bytes = nullptr;
    size_t size = 0;
    TextLayout layout = TextLayout::Normal;
};

struct CallerId {
    CallerIdKind kind = CallerIdKind::Number;
    CallerText number; // dwCallerIDSize/Offset
    CallerText name;   // dwCallerIDNameSize/Offset
};

// What the program did to one call, with times in milliseconds since the
// call was first offered (-1: never).
struct CallRecord {
    uint32_t id;        // 1, 2, 3...
    uint32_t hCall;     // the call handle the application was given
    bool outbound;      // LINECALLORIGIN_OUTBOUND instead of INBOUND
    uint32_t callState; // current LINECALLSTATE_ value
    uint32_t privilege; // LINECALLPRIVILEGE_ the application was given
    uint32_t rings;     // rings so far
    int32_t answeredMs; // answer completed
    int32_t droppedMs;  // drop completed
    int32_t hungUpMs;   // far end hung up
    int32_t idleMs;     // call went idle
    // From the moment the call's OFFERING was posted to the application's
    // first accepted lineAnswer on it, in microseconds, measured with
    // QueryPerformanceCounter (-1: the application never answered it). For
    // a call offered while another call was connected, which the program
    // leaves alone until then, from the moment the last connected call went
    // idle, if that came later.
    int64_t answerLatencyUs;
    bool rangOut;     // nobody answered within the set number of rings
    bool deallocated; // lineDeallocateCall succeeded
    uint32_t answerRequests, dropRequests;
    uint32_t monitorOn, monitorOff; // lineMonitorDigits with modes, with 0
    uint32_t monitorModes;          // current digit modes
    uint32_t waveOutRequests;       // lineGetID "wave/out" on this call
    uint32_t digitsKeyed, digitsDelivered;
    char keyed[64];        // digits keyed (first 63), NUL-terminated
    char delivered[64];    // those that reached the application as LINE_MONITORDIGITS
    int32_t pickedUpMs;    // connected by someone else, without lineAnswer (PickUp)
    uint32_t dropFailures; // lineDrop requests that failed (SetDropFailures)
    uint64_t bytesPlayed;  // handed to the call's wave device (see below)
    uint32_t waveOpens;    // opens of the call's wave device that worked
    // From the call's first CONNECTED to the first buffer written to its wave
    // device, in microseconds (QueryPerformanceCounter; -1: nothing written).
    int64_t firstPlayUs;
    uint32_t waveInOpens;   // opens of the call's wave input that worked
    uint64_t bytesRecorded; // given back by the call's wave input, in full buffers
};

// Whether lineInitialize opens the simulator's window (default: yes, unless
// the command line holds --sim-no-window or --sim-script FILE).
RW_LINESIM_API void SetShowWindow(bool show);

// The ring cadence: one ring every intervalMs, and an unanswered call goes
// idle after maxRings rings (defaults 2000 ms and 5).
RW_LINESIM_API void SetRingTiming(uint32_t intervalMs, uint32_t maxRings);

// How long an answer or drop request takes before its LINE_REPLY (default 0:
// the next turn of the message loop).
RW_LINESIM_API void SetReplyDelay(uint32_t ms);

// How long each opening of a call's wave device takes (default 0), as a
// voice modem's driver takes while it switches the modem into playback. The
// open waits on whichever thread opens the device.
RW_LINESIM_API void SetWaveOpenDelay(uint32_t ms);

// Whether the modem has a voice path (default yes). Without one, lineOpen as
// owner with voice media modes fails with LINEERR_INVALMEDIAMODE (monitoring
// still opens) and "wave/out" gives LINEERR_INVALDEVICECLASS.
RW_LINESIM_API void SetVoiceSupported(bool voice);

// Whether the call summary is written to standard output at lineShutdown
// (default yes; --sim-quiet turns it off).
RW_LINESIM_API void SetPrintSummary(bool print);

// Whether a few lines of figures follow the call summary at lineShutdown
// (default no; --sim-stats turns it on). See StatsReport.
RW_LINESIM_API void SetPrintStats(bool print);

// Ways a real telephony service may behave that the simulator does not
// show unless asked. All are off by default; each stays as set across
// lineInitialize and lineShutdown, like the other settings here.
enum class Option : uint32_t {
    // An answer's or drop's LINE_REPLY comes after the LINE_CALLSTATE it
    // caused instead of before it.
    ReplyAfterState,
    // lineAnswer gives a request id as usual, but its LINE_REPLY carries
    // LINEERR_OPERATIONFAILED and the call stays OFFERING (and rings out).
    AnswerFails,
    // When the caller hangs up a call that is past ringing, it goes straight
    // to IDLE with no DISCONNECTED first. The handle stays the
    // application's to deallocate.
    IdleWithoutDisconnected,
    // A modem that never notices the caller hang up: nothing is reported
    // and the call stays as it was (CONNECTED) until the application drops
    // it. The record still notes when the caller hung up.
    NoHangUpReport,
    // lineAnswer returns LINEERR_NOTOWNER at once, though the application
    // owns the call (another program took it); the call rings on.
    AnswerNotOwner,
    // Each digit reported is reported twice: LINE_MONITORDIGITS with
    // LINEDIGITMODE_DTMF, then with LINEDIGITMODE_DTMFEND, whichever of the
    // two the application asked for. The record counts it once.
    DigitsTwice,
    // Every LINE_CALLSTATE CONNECTED is followed at once by a second,
    // identical one.
    ConnectedTwice,
    // A script's caller whose call was answered stays on until something
    // has been played to it, as a person waits to hear the message: its
    // hang-up is put off, looked at every 20 ms, for at most 30 s. A call
    // still ringing hangs up on time.
    ListenFirst,
    // An answer connects the call, but its LINE_REPLY never comes (replies
    // may go missing).
    AnswerNoReply,
    // Modems of lesser abilities, as lineGetDevCaps, lineGetAddressCaps
    // and lineGetID describe them and as their calls behave:
    // no caller ID (the address's caller-ID flags and call-info states are
    // 0, and every call rings with LINECALLPARTYID_UNKNOWN and stays so);
    NoCallerId,
    // no "wave/in" device (lineGetID gives LINEERR_INVALDEVICECLASS);
    NoWaveIn,
    // no DTMF detection (no digit-monitor modes; lineMonitorDigits gives
    // LINEERR_INVALDIGITMODE);
    NoDtmf,
    // another program owns the modem: lineOpen as owner gives
    // LINEERR_RESOURCEUNAVAIL, monitoring still opens.
    MonitorOnly,
};

// The call's voice path from the caller: lineGetID("wave/in") on a call
// gives the call's own wave input device, 0x53000000 plus the call's
// number, which the simulator serves itself (the .exe's waveIn imports are
// patched as the waveOut ones are), filling the buffers the program adds at
// the format's pace with what the caller says (Say*), and silence once it
// has said it. What is said before the program records waits for it, as a
// caller waits for the beep. Only 16-bit mono PCM at 4 to 48 kHz opens.
enum class WaveInput : uint32_t {
    Works,
    Missing, // the modem has none: lineGetID("wave/in") on a call fails
    Refuses, // waveInOpen on a call's device gives MMSYSERR_ALLOCATED
};
RW_LINESIM_API void SetWaveInput(WaveInput mode);
// Buffers fill `times` faster than the format's pace (default 1), for
// tests that would otherwise wait out a caller's silence.
RW_LINESIM_API void SetWaveInputSpeed(uint32_t times);
// The caller says a WAV file's samples (16-bit PCM), a tone, or noise with
// the rhythm of speech. False when there is no such call (or the file
// cannot be used: the reason goes to standard error).
RW_LINESIM_API bool SayFile(uint32_t call, const char* path);
RW_LINESIM_API bool SayTone(uint32_t call, double f1, double f2, uint32_t ms);
RW_LINESIM_API bool SayNoise(uint32_t call, uint32_t ms);
// The caller has gone without the modem noticing: once what was said has
// been heard, the line carries the exchange's dial, busy or reorder tone
// for ever, and no hang-up is reported.
enum class LineTone : uint32_t { Dial, Busy, Reorder };
RW_LINESIM_API bool Gone(uint32_t call, LineTone tone);

// Turns an option on or off; false for a value that is not an Option.
RW_LINESIM_API bool SetOption(Option option, bool on);

// Runs a script of timed far-end events (the format is in README.md), as
// --sim-script FILE does. It is read at lineInitialize, or at the first
// lineOpen when set after lineInitialize; its options, "devices" and
// "drop-fails" lines apply when it is read. Its clock starts when the line
// is first opened, or at lineInitialize when there is no line device then.
// Its errors go to standard error. An empty path or null clears it.
// Setting a script also keeps the window from opening.
RW_LINESIM_API void SetScript(const char* path);

// How many line devices lineInitialize reports: 0 (no modem) or 1, the
// default (larger counts are taken as 1). Takes effect at the next
// lineInitialize; with none, negotiating or opening device 0 gives
// LINEERR_BADDEVICEID. --sim-devices N sets it from the command line.
RW_LINESIM_API void SetDeviceCount(uint32_t count);

// The modem is plugged in: with no device, the count becomes 1 (for this
// and later registrations) and the application gets LINE_CREATE (hDevice
// 0, callback instance 0, param1 the new device's id, 0). False when the
// device is already there.
RW_LINESIM_API bool AddDevice();

// The service closes the open line and keeps it closed for downMs: every
// call not idle is cut off (goes idle in its record, with nothing more
// reported), every call handle and the line handle stop being valid, and
// the application gets LINE_CLOSE (hDevice the line handle, its callback
// instance). Until downMs have passed lineOpen gives
// LINEERR_RESOURCEUNAVAIL, also after a new lineInitialize; then it works
// again (a script does not start over). False when no line is open.
RW_LINESIM_API bool CloseLine(uint32_t downMs);

// The service asks its applications to start again: LINE_LINEDEVSTATE with
// LINEDEVSTATE_REINIT (hDevice 0, callback instance 0), which an
// application cannot turn off. Until the application calls lineShutdown,
// lineOpen gives LINEERR_REINIT; calls already up carry on. That
// lineShutdown closes the line but does not end the run: records, call
// numbering, the script and its timers carry on, nothing is printed, and
// the next lineInitialize takes the new callback and gives a new
// application handle. False when no application is registered.
RW_LINESIM_API bool Reinit();

// The next `count` lineDrop requests fail (0: none): with atOnce, lineDrop
// returns LINEERR_OPERATIONFAILED; otherwise it gives a request id whose
// LINE_REPLY carries LINEERR_OPERATIONFAILED. Either way the call stays as
// it was. Drops after those work again. The count left stays across
// lineInitialize and lineShutdown, like the settings.
RW_LINESIM_API void SetDropFailures(uint32_t count, bool atOnce);

// Rings the open line. Returns the new call's number, or 0 when no line is
// open. The application sees LINE_CALLSTATE OFFERING (INBOUND) or, for an
// outbound call made on another extension, LINE_CALLSTATE DIALING.
RW_LINESIM_API uint32_t Ring(const CallerId& callerId, bool outbound = false);

// The caller's identification arrives late: replaces the call's flags and
// texts and sends LINE_CALLINFO with LINECALLINFOSTATE_CALLERID.
RW_LINESIM_API bool DeliverCallerId(uint32_t call, const CallerId& callerId);

// The caller keys digits ("0"-"9", "*", "#", "A"-"D"); each reaches the
// application as LINE_MONITORDIGITS only if the call is connected and digit
// monitoring is on for it.
RW_LINESIM_API bool KeyDigits(uint32_t call, const char* digits);

// Someone picks up an extension, or another program answers: a ringing
// (OFFERING) call becomes CONNECTED (LINECONNECTEDMODE_ACTIVE) with no
// lineAnswer, and an answer still pending on it then fails. False when the
// call is not ringing.
RW_LINESIM_API bool PickUp(uint32_t call);

// The caller hangs up: a connected call becomes DISCONNECTED (or as the
// options above say); a call still ringing just stops ringing and goes
// IDLE, as a modem sees it. An answer still pending then fails.
RW_LINESIM_API bool HangUp(uint32_t call);

// Number of calls since lineInitialize.
RW_LINESIM_API uint32_t CallCount();

// Copies the record of a call; false when there is no such call.
RW_LINESIM_API bool GetCallRecord(uint32_t call, CallRecord* record);

// The one-line outcome of a call, as printed on exit, e.g.
// "call 3 from 01234 567890: answered after 0.12 s, monitored digits,
// dropped after caller hung up". Copies at most size-1 bytes plus a NUL and
// returns the full length.
RW_LINESIM_API size_t CallSummary(uint32_t call, char* buffer, size_t size);

// The figures --sim-stats prints at lineShutdown, as they stand now: lines
// starting "sim-stats: " with the counts of calls, how many of the answered
// calls that asked for the wave device were played any sound (and the bytes
// played to all calls), the time from CONNECTED to the first buffer written
// (median and 99th percentile), the answer latency of the first and last answered
// calls (median and 99th percentile), and the change in the process's private bytes and USER and
// GDI objects since the first ring (to the script's quit if it has run, else to now). Copies at
// most size-1 bytes plus a NUL and returns the full length.
RW_LINESIM_API size_t StatsReport(char* buffer, size_t size);

} // namespace rw::linesim
