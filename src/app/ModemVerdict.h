// What a line device can do for Ringwarden, and what that means for the
// user: the abilities read from the telephony service (each yes, no or
// unknown, with the evidence behind it), the verdicts in plain words with
// the next step for each, and the report "Check the modem" shows, copies
// and --check-modem writes. Pure logic: telephony/ reads the service, and
// the window only shows the result. Portable, so it is tested as a table.
#pragma once

#include <string>
#include <vector>

namespace rw {

enum class Can { Unknown, No, Yes };

struct CModemAbility {
    Can can = Can::Unknown;
    std::string evidence; // what the service said, e.g. "media modes 0x..."
};

// One line device as the service describes it.
struct CModemDescription {
    std::string name;
    std::string provider;
    bool watched = false;   // Ringwarden has it open now
    std::string watchedWhy; // the open's privileges, or why it is not open
    CModemAbility callerId; // the address's caller-ID flags and call-info states
    CModemAbility voice;    // automated voice among the media modes
    CModemAbility play;     // a "wave/out" device
    CModemAbility record;   // a "wave/in" device
    CModemAbility keys;     // DTMF among the digit-monitor modes
    CModemAbility owner;    // may be opened as owner, not only to monitor
};

// Ordered from the most to the least serious. Each has a text and a next
// step in the string table, at the verdict and step bases plus its value.
enum class ModemVerdict {
    Everything = 0, // alone, when nothing is missing
    NoCallerId = 1,
    NoVoice = 2,
    MonitorOnly = 3,
    NoPlay = 4,
    NoKeys = 5,
    NoRecord = 6,
    NotKnown = 7, // some ability could not be read
};

// Every verdict that holds, most serious first: Everything alone when the
// line can do all Ringwarden needs.
std::vector<ModemVerdict> JudgeModem(const CModemDescription& modem);
// Whether Ringwarden can screen and block on it (recording, keys and messages are
// extras, and a blocked caller can be answered in silence): no verdict
// before NoPlay holds.
bool ModemSuits(const CModemDescription& modem);
std::string VerdictText(ModemVerdict verdict);
std::string VerdictNextStep(ModemVerdict verdict);
// The whole report as plain text, lines ending in CR LF, for the window,
// the clipboard and --check-modem.
std::string ModemReport(const std::vector<CModemDescription>& modems);

} // namespace rw
