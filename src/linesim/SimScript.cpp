#include "SimScript.h"

#include <cmath>
#include <cstdlib>
#include <fstream>

namespace rw::linesim {

namespace {

constexpr double kMaxSeconds = 86400.0;
constexpr uint32_t kMaxRings = 1000;
constexpr uint32_t kMaxDropFailures = 1000000;

struct Token {
    std::string text;
    bool quoted = false;
};

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool Tokenize(const std::string& line, std::vector<Token>& tokens, std::string& error) {
    size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++i;
        } else if (c == '#') {
            break;
        } else if (c == '"') {
            Token token{"", true};
            ++i;
            for (;;) {
                if (i >= line.size()) {
                    error = "unterminated quoted text";
                    return false;
                }
                const char d = line[i++];
                if (d == '"')
                    break;
                if (d != '\\') {
                    token.text += d;
                    continue;
                }
                if (i >= line.size()) {
                    error = "unterminated quoted text";
                    return false;
                }
                const char e = line[i++];
                if (e == '"' || e == '\\') {
                    token.text += e;
                } else if (e == 'x' && i + 1 < line.size() && HexValue(line[i]) >= 0 &&
                           HexValue(line[i + 1]) >= 0) {
                    token.text += static_cast<char>(HexValue(line[i]) * 16 + HexValue(line[i + 1]));
                    i += 2;
                } else {
                    error = "bad escape in quoted text";
                    return false;
                }
            }
            tokens.push_back(std::move(token));
        } else {
            Token token;
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' &&
                   line[i] != '\n' && line[i] != '#')
                token.text += line[i++];
            tokens.push_back(std::move(token));
        }
    }
    return true;
}

bool ParseSeconds(const Token& token, uint32_t& ms) {
    if (token.quoted || token.text.empty())
        return false;
    char* end = nullptr;
    const double s = std::strtod(token.text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(s) || s < 0 || s > kMaxSeconds ||
        token.text.find_first_not_of("0123456789.") != std::string::npos)
        return false;
    ms = static_cast<uint32_t>(std::lround(s * 1000));
    return true;
}

bool ParseCount(const Token& token, uint32_t& value, uint32_t low, uint32_t high) {
    if (token.quoted || token.text.empty() || token.text.size() > 9 ||
        token.text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    value = static_cast<uint32_t>(std::strtoul(token.text.c_str(), nullptr, 10));
    return value >= low && value <= high;
}

bool ParseKind(const std::string& text, CallerIdKind& kind) {
    static const struct {
        const char* name;
        CallerIdKind kind;
    } kinds[] = {{"number", CallerIdKind::Number},       {"name", CallerIdKind::Name},
                 {"both", CallerIdKind::Both},           {"blocked", CallerIdKind::Blocked},
                 {"outofarea", CallerIdKind::OutOfArea}, {"unavailable", CallerIdKind::Unavailable},
                 {"unknown", CallerIdKind::Unknown}};
    for (const auto& k : kinds)
        if (text == k.name) {
            kind = k.kind;
            return true;
        }
    return false;
}

bool ParseOption(const Token& token, Option& option) {
    static const struct {
        const char* name;
        Option option;
    } options[] = {{"reply-after-state", Option::ReplyAfterState},
                   {"answer-fails", Option::AnswerFails},
                   {"idle-without-disconnected", Option::IdleWithoutDisconnected},
                   {"no-hangup-report", Option::NoHangUpReport},
                   {"answer-not-owner", Option::AnswerNotOwner},
                   {"digits-twice", Option::DigitsTwice},
                   {"connected-twice", Option::ConnectedTwice},
                   {"listen-first", Option::ListenFirst},
                   {"answer-no-reply", Option::AnswerNoReply},
                   {"no-caller-id", Option::NoCallerId},
                   {"no-wave-in", Option::NoWaveIn},
                   {"no-dtmf", Option::NoDtmf},
                   {"monitor-only", Option::MonitorOnly}};
    if (token.quoted)
        return false;
    for (const auto& o : options)
        if (token.text == o.name) {
            option = o.option;
            return true;
        }
    return false;
}

bool ParseFrequency(const Token& token, double& hz) {
    if (token.quoted || token.text.empty() ||
        token.text.find_first_not_of("0123456789.") != std::string::npos)
        return false;
    hz = std::strtod(token.text.c_str(), nullptr);
    return std::isfinite(hz) && hz >= 20 && hz <= 4000;
}

// say CALL "FILE" | say CALL tone HZ [HZ] SECONDS | say CALL noise SECONDS
bool ParseSay(const std::vector<Token>& t, ScriptEvent& e, std::string& error) {
    error = "expected: say CALL \"FILE.wav\" | say CALL tone HZ [HZ] SECONDS | "
            "say CALL noise SECONDS";
    const size_t args = t.size() - 3;
    if (args < 2 || !ParseCount(t[3], e.call, 1, UINT32_MAX / 2))
        return false;
    if (t[4].quoted) {
        e.said = ScriptEvent::Said::File;
        e.path = t[4].text;
        return args == 2;
    }
    if (t[4].text == "noise") {
        e.said = ScriptEvent::Said::Noise;
        return args == 3 && ParseSeconds(t[5], e.lengthMs);
    }
    if (t[4].text == "tone" && (args == 4 || args == 5)) {
        e.said = ScriptEvent::Said::Tone;
        return ParseFrequency(t[5], e.f1) && (args == 4 || ParseFrequency(t[6], e.f2)) &&
               ParseSeconds(t[t.size() - 1], e.lengthMs);
    }
    return false;
}

bool ValidDigits(const std::string& digits) {
    return !digits.empty() && digits.find_first_not_of("0123456789*#ABCD") == std::string::npos;
}

// KIND [NUMBER] [NAME] starting at tokens[from].
bool ParseCallerId(const std::vector<Token>& tokens, size_t from, ScriptEvent& event,
                   std::string& error) {
    if (from >= tokens.size() || !ParseKind(tokens[from].text, event.callerKind)) {
        error = "expected a caller-ID kind (number, name, both, blocked, outofarea, "
                "unavailable, unknown)";
        return false;
    }
    if (tokens.size() > from + 3) {
        error = "too many texts: give NUMBER then NAME";
        return false;
    }
    if (tokens.size() > from + 1)
        event.number = tokens[from + 1].text;
    if (tokens.size() > from + 2)
        event.name = tokens[from + 2].text;
    return true;
}

} // namespace

bool ParseScriptLine(const std::string& line, std::vector<ScriptEvent>& events,
                     std::string& error) {
    std::vector<Token> t;
    if (!Tokenize(line, t, error))
        return false;
    if (t.empty())
        return true;
    ScriptEvent e;
    if (t[0].text == "rings" && !t[0].quoted) {
        if (t.size() != 4 || t[2].text != "every" || !ParseCount(t[1], e.rings, 1, kMaxRings) ||
            !ParseSeconds(t[3], e.intervalMs) || e.intervalMs == 0) {
            error = "expected: rings COUNT every SECONDS";
            return false;
        }
        e.kind = ScriptEvent::Kind::Timing;
        events.push_back(std::move(e));
        return true;
    }
    if (t[0].text == "option" && !t[0].quoted) {
        if (t.size() != 3 || !ParseOption(t[1], e.option) || t[2].quoted ||
            (t[2].text != "on" && t[2].text != "off")) {
            error = "expected: option NAME on|off (NAME: reply-after-state, answer-fails, "
                    "idle-without-disconnected, no-hangup-report, answer-not-owner, "
                    "digits-twice, connected-twice, listen-first)";
            return false;
        }
        e.kind = ScriptEvent::Kind::Option;
        e.on = t[2].text == "on";
        events.push_back(std::move(e));
        return true;
    }
    if (t[0].text == "devices" && !t[0].quoted) {
        if (t.size() != 2 || !ParseCount(t[1], e.count, 0, 1)) {
            error = "expected: devices 0|1";
            return false;
        }
        e.kind = ScriptEvent::Kind::Devices;
        events.push_back(std::move(e));
        return true;
    }
    if (t[0].text == "drop-fails" && !t[0].quoted) {
        if (t.size() < 2 || t.size() > 3 || !ParseCount(t[1], e.count, 0, kMaxDropFailures) ||
            (t.size() == 3 && (t[2].quoted || t[2].text != "at-once"))) {
            error = "expected: drop-fails COUNT [at-once]";
            return false;
        }
        e.kind = ScriptEvent::Kind::DropFails;
        e.atOnce = t.size() == 3;
        events.push_back(std::move(e));
        return true;
    }
    if (t[0].text == "wave-in" && !t[0].quoted) {
        const std::string mode = t.size() == 2 && !t[1].quoted ? t[1].text : "";
        if (mode != "works" && mode != "missing" && mode != "refuses") {
            error = "expected: wave-in works|missing|refuses";
            return false;
        }
        e.kind = ScriptEvent::Kind::WaveIn;
        e.waveIn = mode == "missing"   ? WaveInput::Missing
                   : mode == "refuses" ? WaveInput::Refuses
                                       : WaveInput::Works;
        events.push_back(std::move(e));
        return true;
    }
    if (t[0].text != "at" || t[0].quoted) {
        error = "expected 'at SECONDS ...', 'rings COUNT every SECONDS', 'option NAME on|off', "
                "'devices 0|1', 'drop-fails COUNT [at-once]' or 'wave-in MODE'";
        return false;
    }
    if (t.size() < 3 || !ParseSeconds(t[1], e.atMs)) {
        error = "expected: at SECONDS COMMAND";
        return false;
    }
    const std::string& command = t[2].text;
    const size_t args = t.size() - 3;
    if (command == "ring") {
        e.kind = ScriptEvent::Kind::Ring;
        if (!ParseCallerId(t, 3, e, error))
            return false;
    } else if (command == "dial") {
        e.kind = ScriptEvent::Kind::Dial;
        if (args != 1) {
            error = "expected: dial NUMBER";
            return false;
        }
        e.number = t[3].text;
    } else if (command == "callerid") {
        e.kind = ScriptEvent::Kind::CallerId;
        if (args < 2 || !ParseCount(t[3], e.call, 1, UINT32_MAX / 2)) {
            error = "expected: callerid CALL KIND [NUMBER] [NAME]";
            return false;
        }
        if (!ParseCallerId(t, 4, e, error))
            return false;
    } else if (command == "keys") {
        e.kind = ScriptEvent::Kind::Keys;
        if (args != 2 || !ParseCount(t[3], e.call, 1, UINT32_MAX / 2) || !ValidDigits(t[4].text)) {
            error = "expected: keys CALL DIGITS (0-9 * # A-D)";
            return false;
        }
        e.digits = t[4].text;
    } else if (command == "keys-asked") {
        // The caller presses the digit the program's key check asked for.
        e.kind = ScriptEvent::Kind::KeysAsked;
        if (args != 1 || !ParseCount(t[3], e.call, 1, UINT32_MAX / 2)) {
            error = "expected: keys-asked CALL";
            return false;
        }
    } else if (command == "hangup") {
        e.kind = ScriptEvent::Kind::HangUp;
        if (args != 1 || !ParseCount(t[3], e.call, 1, UINT32_MAX / 2)) {
            error = "expected: hangup CALL";
            return false;
        }
    } else if (command == "say") {
        e.kind = ScriptEvent::Kind::Say;
        if (!ParseSay(t, e, error))
            return false;
    } else if (command == "gone") {
        e.kind = ScriptEvent::Kind::Gone;
        const std::string tone = args == 2 && !t[4].quoted ? t[4].text : "";
        if (!ParseCount(t[3], e.call, 1, UINT32_MAX / 2) ||
            (tone != "dial" && tone != "busy" && tone != "reorder")) {
            error = "expected: gone CALL dial|busy|reorder";
            return false;
        }
        e.tone = tone == "busy"      ? LineTone::Busy
                 : tone == "reorder" ? LineTone::Reorder
                                     : LineTone::Dial;
    } else if (command == "pickup") {
        e.kind = ScriptEvent::Kind::PickUp;
        if (args != 1 || !ParseCount(t[3], e.call, 1, UINT32_MAX / 2)) {
            error = "expected: pickup CALL";
            return false;
        }
    } else if (command == "close-line") {
        e.kind = ScriptEvent::Kind::CloseLine;
        if (args != 1 || !ParseSeconds(t[3], e.downMs)) {
            error = "expected: close-line SECONDS";
            return false;
        }
    } else if (command == "reinit" || command == "new-device") {
        e.kind = command == "reinit" ? ScriptEvent::Kind::Reinit : ScriptEvent::Kind::NewDevice;
        if (args != 0) {
            error = "expected: " + command;
            return false;
        }
    } else if (command == "quit") {
        e.kind = ScriptEvent::Kind::Quit;
        if (args != 0) {
            error = "expected: quit";
            return false;
        }
    } else {
        error = "unknown command '" + command + "'";
        return false;
    }
    events.push_back(std::move(e));
    return true;
}

bool LoadScript(const std::string& path, std::vector<ScriptEvent>& events, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open script " + path;
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        std::string why;
        if (!ParseScriptLine(line, events, why)) {
            error = path + " line " + std::to_string(number) + ": " + why;
            return false;
        }
    }
    return true;
}

} // namespace rw::linesim
