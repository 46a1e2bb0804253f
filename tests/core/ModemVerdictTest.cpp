#include "app/ModemVerdict.h"

#include <gtest/gtest.h>

namespace rw {
namespace {

CModemDescription Modem(Can callerId, Can voice, Can owner, Can play, Can keys, Can record) {
    CModemDescription m;
    m.name = "Voice Modem";
    m.provider = "Unimodem";
    m.callerId.can = callerId;
    m.voice.can = voice;
    m.owner.can = owner;
    m.play.can = play;
    m.keys.can = keys;
    m.record.can = record;
    return m;
}

// Each modem's verdicts, most serious first, and whether Ringwarden can
// screen and block with it at all.
TEST(ModemVerdictTest, VerdictsFollowWhatIsMissing) {
    constexpr Can Y = Can::Yes, N = Can::No, U = Can::Unknown;
    using V = ModemVerdict;
    struct Case {
        const char* name;
        CModemDescription modem;
        std::vector<ModemVerdict> verdicts;
        bool suits;
    } cases[] = {
        {"everything", Modem(Y, Y, Y, Y, Y, Y), {V::Everything}, true},
        {"no caller ID", Modem(N, Y, Y, Y, Y, Y), {V::NoCallerId}, false},
        {"a data-only modem",
         Modem(Y, N, Y, N, N, N),
         {V::NoVoice, V::NoPlay, V::NoKeys, V::NoRecord},
         false},
        {"another program owns it", Modem(Y, Y, N, Y, Y, Y), {V::MonitorOnly}, false},
        {"no wave output: blocks in silence", Modem(Y, Y, Y, N, Y, Y), {V::NoPlay}, true},
        {"no keys: screens and plays", Modem(Y, Y, Y, Y, N, Y), {V::NoKeys}, true},
        {"no wave input: screens and plays", Modem(Y, Y, Y, Y, Y, N), {V::NoRecord}, true},
        {"owner not tried", Modem(Y, Y, U, Y, Y, Y), {V::NotKnown}, true},
        {"nothing known", Modem(U, U, U, U, U, U), {V::NotKnown}, true},
        {"no caller ID, and unknowns",
         Modem(N, U, Y, Y, Y, Y),
         {V::NoCallerId, V::NotKnown},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.verdicts, JudgeModem(c.modem));
        EXPECT_EQ(c.suits, ModemSuits(c.modem));
        // Every verdict has its words and its next step.
        for (ModemVerdict v : c.verdicts) {
            EXPECT_FALSE(VerdictText(v).empty());
            EXPECT_FALSE(VerdictNextStep(v).empty());
        }
    }
    EXPECT_EQ("This line can do everything Ringwarden needs.", VerdictText(V::Everything));
    EXPECT_EQ("This line screens, but cannot play messages: blocked callers hear silence.",
              VerdictText(V::NoPlay));
    EXPECT_EQ("This line cannot report caller ID, so Ringwarden cannot tell callers apart.",
              VerdictText(V::NoCallerId));
}

TEST(ModemVerdictTest, TheReportNamesEachLineItsAbilitiesAndVerdicts) {
    CModemDescription modem = Modem(Can::No, Can::Yes, Can::Yes, Can::Yes, Can::Yes, Can::Yes);
    modem.watched = true;
    modem.watchedWhy = "opened as owner";
    modem.callerId.evidence = "caller ID flags 0x00000020";
    const std::string report = ModemReport({modem});
    for (const char* line :
         {"Ringwarden modem check\r\n", "\r\nLine 0: Voice Modem (Unimodem)\r\n",
          "  Watched by Ringwarden: yes (opened as owner)\r\n",
          "  Report caller ID: no (caller ID flags 0x00000020)\r\n", "  Open as owner: yes\r\n",
          "  Verdict: This line cannot report caller ID, so Ringwarden cannot "
          "tell callers apart.\r\n",
          "    Next step: Ask the line's provider"})
        EXPECT_NE(std::string::npos, report.find(line)) << line << "\n" << report;
    EXPECT_NE(std::string::npos, ModemReport({}).find("reports no line device"));
}

} // namespace
} // namespace rw
