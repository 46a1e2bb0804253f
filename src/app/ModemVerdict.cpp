#include "app/ModemVerdict.h"

#include "records/StringTable.h"
#include "res/resource.h"

namespace rw {

std::vector<ModemVerdict> JudgeModem(const CModemDescription& modem) {
    std::vector<ModemVerdict> verdicts;
    const struct {
        const CModemAbility& ability;
        ModemVerdict verdict;
    } checks[] = {
        {modem.callerId, ModemVerdict::NoCallerId}, {modem.voice, ModemVerdict::NoVoice},
        {modem.owner, ModemVerdict::MonitorOnly},   {modem.play, ModemVerdict::NoPlay},
        {modem.keys, ModemVerdict::NoKeys},         {modem.record, ModemVerdict::NoRecord},
    };
    bool unknown = false;
    for (const auto& check : checks) {
        if (check.ability.can == Can::No)
            verdicts.push_back(check.verdict);
        unknown = unknown || check.ability.can == Can::Unknown;
    }
    if (unknown)
        verdicts.push_back(ModemVerdict::NotKnown);
    if (verdicts.empty())
        verdicts.push_back(ModemVerdict::Everything);
    return verdicts;
}

bool ModemSuits(const CModemDescription& modem) {
    for (ModemVerdict verdict : JudgeModem(modem))
        if (verdict != ModemVerdict::Everything && verdict < ModemVerdict::NoPlay)
            return false;
    return true;
}

std::string VerdictText(ModemVerdict verdict) {
    return LoadResString(IDS_MODEM_VERDICT_BASE + static_cast<unsigned>(verdict));
}

std::string VerdictNextStep(ModemVerdict verdict) {
    return LoadResString(IDS_MODEM_STEP_BASE + static_cast<unsigned>(verdict));
}

namespace {

void AddAbility(std::string& out, unsigned index, const CModemAbility& ability) {
    out += "  " + LoadResString(IDS_MODEM_ABILITY_BASE + index) + ": " +
           LoadResString(IDS_MODEM_CAN_BASE + static_cast<unsigned>(ability.can));
    if (!ability.evidence.empty())
        out += " (" + ability.evidence + ")";
    out += "\r\n";
}

} // namespace

std::string ModemReport(const std::vector<CModemDescription>& modems) {
    std::string out = LoadResString(IDS_MODEM_REPORT_TITLE) + "\r\n";
    if (modems.empty())
        out += "\r\n" + LoadResString(IDS_MODEM_REPORT_NO_LINE) + "\r\n";
    for (size_t i = 0; i < modems.size(); ++i) {
        const CModemDescription& m = modems[i];
        out += "\r\n" + LoadResString(IDS_MODEM_REPORT_LINE) + " " + std::to_string(i) + ": " +
               m.name + " (" + m.provider + ")\r\n";
        out += "  " + LoadResString(IDS_MODEM_REPORT_WATCHED) + ": " +
               LoadResString(IDS_MODEM_CAN_BASE +
                             static_cast<unsigned>(m.watched ? Can::Yes : Can::No));
        if (!m.watchedWhy.empty())
            out += " (" + m.watchedWhy + ")";
        out += "\r\n";
        const CModemAbility* abilities[] = {&m.callerId, &m.voice, &m.play,
                                            &m.record,   &m.keys,  &m.owner};
        for (unsigned a = 0; a < 6; ++a)
            AddAbility(out, a, *abilities[a]);
        for (ModemVerdict verdict : JudgeModem(m)) {
            out += "  " + LoadResString(IDS_MODEM_REPORT_VERDICT) + ": " + VerdictText(verdict) +
                   "\r\n";
            out += "    " + LoadResString(IDS_MODEM_REPORT_STEP) + ": " + VerdictNextStep(verdict) +
                   "\r\n";
        }
    }
    return out;
}

} // namespace rw
