// The line simulator driven as Ringwarden drives it: through its exported
// TAPI functions, with the far end played through its control functions.
#include "LineSim.h"
#include "LineSimIds.h"
#include "SimScript.h"
#include "../support/MessagePump.h"
#include "../support/SimCaller.h"

#include <windows.h>
#include <tapi.h>
#include <mmsystem.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

// The .exe's import address table entry for waveOutOpen. Read through a
// volatile: the compiler takes an imported function's address for constant.
extern "C" void* __imp_waveOutOpen;

namespace rw::linesim {
namespace {

struct Msg {
    DWORD device, message;
    DWORD_PTR instance, p1, p2, p3;
};

std::vector<Msg> g_messages;
bool g_inTapiCall = false;
bool g_reentered = false;

void CALLBACK OnLine(DWORD device, DWORD message, DWORD_PTR instance, DWORD_PTR p1, DWORD_PTR p2,
                     DWORD_PTR p3) {
    if (g_inTapiCall)
        g_reentered = true;
    g_messages.push_back({device, message, instance, p1, p2, p3});
}

void CALLBACK OnPhone(HPHONE, DWORD, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR) {}

using test::PumpUntil;

// Lets every message already due arrive.
void Pump() {
    PumpUntil([start = GetTickCount()] { return GetTickCount() - start > 60; });
}

// LINECALLINFO's fixed part in TAPI 1.4.
constexpr DWORD kCallInfoSize = 296;

// TAPI's error codes are unsigned constants; its results are LONG.
// Writes a script into the temporary folder; its path, or empty on failure.
std::string WriteScript(const char* name, const char* text) {
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    const std::string path = std::string(dir) + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return {};
    const bool written = std::fputs(text, f) >= 0;
    return std::fclose(f) == 0 && written ? path : std::string();
}

// Runs the message loop until a script's quit posts WM_QUIT (true) or three
// seconds pass; `eachTurn` runs after every turn.
bool PumpUntilQuit(const std::function<void()>& eachTurn = {}) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 3000) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                return true;
            DispatchMessageA(&msg);
        }
        if (eachTurn)
            eachTurn();
        Sleep(1);
    }
    return false;
}

constexpr LONG E(DWORD code) {
    return static_cast<LONG>(code);
}

using test::Caller;

// LINE_CALLSTATE messages for one handle, as "state/param3" pairs.
std::vector<DWORD_PTR> States(HCALL call) {
    std::vector<DWORD_PTR> states;
    for (const Msg& m : g_messages)
        if (m.message == LINE_CALLSTATE && m.device == call)
            states.push_back(m.p1);
    return states;
}

// The LINE_REPLY for a request, if it has come: its result.
bool ReplyTo(LONG request, DWORD_PTR* result = nullptr) {
    for (const Msg& m : g_messages)
        if (m.message == LINE_REPLY && m.p1 == DWORD_PTR(request)) {
            if (result)
                *result = m.p2;
            return true;
        }
    return false;
}

constexpr Option kOptions[] = {Option::ReplyAfterState,         Option::AnswerFails,
                               Option::IdleWithoutDisconnected, Option::NoHangUpReport,
                               Option::AnswerNotOwner,          Option::DigitsTwice,
                               Option::ConnectedTwice};

// The messages that came for the application itself rather than for a line
// or call, e.g. LINE_CREATE.
std::vector<Msg> Messages(DWORD message) {
    std::vector<Msg> found;
    for (const Msg& m : g_messages)
        if (m.message == message)
            found.push_back(m);
    return found;
}

// What the code under test writes to standard output, e.g. at lineShutdown.
class CStdoutCapture {
public:
    CStdoutCapture() {
        char dir[MAX_PATH];
        GetTempPathA(sizeof dir, dir);
        m_path = std::string(dir) + "linesim-stdout.txt";
        std::fflush(stdout);
        m_saved = _dup(1);
        const int fd = _open(m_path.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC, _S_IWRITE);
        _dup2(fd, 1);
        _close(fd);
    }
    // Stops capturing and returns what was written.
    std::string Text() {
        std::fflush(stdout);
        _dup2(m_saved, 1);
        _close(m_saved);
        std::string text;
        if (FILE* f = std::fopen(m_path.c_str(), "r")) {
            char buf[4096];
            for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;)
                text.append(buf, n);
            std::fclose(f);
        }
        DeleteFileA(m_path.c_str());
        return text;
    }

private:
    std::string m_path;
    int m_saved = -1;
};

class LineSimTest : public testing::Test {
protected:
    void SetUp() override {
        SetShowWindow(false);
        SetPrintSummary(false);
        SetRingTiming(1000, 3); // no call rings out under a test that answers it
        SetReplyDelay(0);
        SetVoiceSupported(true);
        SetPrintStats(false);
        for (Option option : kOptions)
            SetOption(option, false);
        SetDeviceCount(1);
        SetDropFailures(0, false);
        g_messages.clear();
        g_reentered = false;
        DWORD devices = 0;
        ASSERT_EQ(0, lineInitialize(&app, GetModuleHandleA(nullptr), OnLine, "test", &devices));
        ASSERT_EQ(1u, devices);
    }
    void TearDown() override { EXPECT_EQ(0, lineShutdown(app)); }

    void Open(DWORD privileges = LINECALLPRIVILEGE_OWNER | LINECALLPRIVILEGE_MONITOR,
              DWORD media = LINEMEDIAMODE_UNKNOWN | LINEMEDIAMODE_AUTOMATEDVOICE) {
        ASSERT_EQ(0, lineOpen(app, 0, &line, 0x00010004, 0, 0x1234, privileges, media, nullptr));
        ASSERT_EQ(0, lineSetStatusMessages(line, 0x01FFFFFF, 0x1FF));
    }

    // Rings and waits for the offering; returns the handle the line gave.
    HCALL RingAndOffer(const CallerId& id, uint32_t* number = nullptr) {
        const uint32_t call = Ring(id);
        EXPECT_NE(0u, call);
        CallRecord r{};
        GetCallRecord(call, &r);
        EXPECT_TRUE(PumpUntil([&] { return !States(r.hCall).empty(); }));
        if (number)
            *number = call;
        return r.hCall;
    }

    LONG Tapi(const std::function<LONG()>& f) {
        g_inTapiCall = true;
        const LONG result = f();
        g_inTapiCall = false;
        return result;
    }

    CallRecord Record(uint32_t call) {
        CallRecord r{};
        EXPECT_TRUE(GetCallRecord(call, &r));
        return r;
    }

    HLINEAPP app = 0;
    HLINE line = 0;
};

TEST_F(LineSimTest, RegistrationNegotiationAndCaps) {
    struct {
        DWORD low, high;
        LONG result;
        DWORD version;
    } cases[] = {
        {0x00010003, 0x00010004, 0, 0x00010004},
        {0x00010003, 0x00010003, 0, 0x00010003},
        {0x00010000, 0x00030000, 0, 0x00010004},
        {0x00020000, 0x00030000, E(LINEERR_INCOMPATIBLEAPIVERSION), 0},
        {0x00010000, 0x00010002, E(LINEERR_INCOMPATIBLEAPIVERSION), 0},
    };
    for (const auto& c : cases) {
        DWORD version = 0;
        LINEEXTENSIONID ext{};
        EXPECT_EQ(c.result, lineNegotiateAPIVersion(app, 0, c.low, c.high, &version, &ext))
            << std::hex << c.low << "-" << c.high;
        if (c.result == 0) {
            EXPECT_EQ(c.version, version);
        }
    }
    DWORD version = 0;
    LINEEXTENSIONID ext{};
    EXPECT_EQ(E(LINEERR_BADDEVICEID),
              lineNegotiateAPIVersion(app, 1, 0x00010003, 0x00010004, &version, &ext));

    // One application at a time.
    HLINEAPP second = 0;
    DWORD devices = 0;
    EXPECT_LT(lineInitialize(&second, nullptr, OnLine, "again", &devices), 0);

    alignas(8) char buf[1024] = {};
    auto* caps = reinterpret_cast<LINEDEVCAPS*>(buf);
    caps->dwTotalSize = sizeof buf;
    ASSERT_EQ(0, lineGetDevCaps(app, 0, 0x00010004, 0, caps));
    ASSERT_GT(caps->dwLineNameSize, 0u);
    EXPECT_STREQ("Ringwarden Line Simulator", buf + caps->dwLineNameOffset);

    HPHONEAPP phone = 0;
    devices = 99;
    ASSERT_EQ(0, phoneInitialize(&phone, nullptr, OnPhone, "test", &devices));
    EXPECT_EQ(0u, devices);
    EXPECT_LT(phoneNegotiateAPIVersion(phone, 0, 0x00010003, 0x00010004, &version, nullptr), 0);
    EXPECT_EQ(0, phoneShutdown(phone));
}

TEST_F(LineSimTest, OpenChecksPrivilegesAndMediaModes) {
    EXPECT_EQ(E(LINEERR_INVALPRIVSELECT),
              lineOpen(app, 0, &line, 0x00010004, 0, 0, 8, LINEMEDIAMODE_UNKNOWN, nullptr));
    EXPECT_EQ(E(LINEERR_INCOMPATIBLEAPIVERSION),
              lineOpen(app, 0, &line, 0, 0, 0, LINECALLPRIVILEGE_MONITOR, 0, nullptr));
    // A modem without a voice path refuses voice owners but can be watched.
    SetVoiceSupported(false);
    EXPECT_EQ(E(LINEERR_INVALMEDIAMODE),
              lineOpen(app, 0, &line, 0x00010004, 0, 0, 6, 0x0A, nullptr));
    ASSERT_EQ(0, lineOpen(app, 0, &line, 0x00010004, 0, 0, LINECALLPRIVILEGE_MONITOR,
                          LINEMEDIAMODE_INTERACTIVEVOICE, nullptr));
    HLINE again = 0;
    EXPECT_EQ(E(LINEERR_ALLOCATED),
              lineOpen(app, 0, &again, 0x00010004, 0, 0, LINECALLPRIVILEGE_MONITOR, 0, nullptr));
    // A watcher gets the call with monitor privilege and may not answer it.
    const HCALL call = RingAndOffer(Caller(CallerIdKind::Number, "0123", ""));
    EXPECT_EQ(DWORD_PTR(LINECALLPRIVILEGE_MONITOR), g_messages.front().p3);
    EXPECT_EQ(E(LINEERR_NOTOWNER), lineAnswer(call, nullptr, 0));
    EXPECT_EQ(0, lineDeallocateCall(call)); // a watcher may let go at any time
    EXPECT_EQ(0, lineClose(line));
}

TEST_F(LineSimTest, NewCallArrivesThroughTheMessageLoopAsOffering) {
    EXPECT_EQ(0u, Ring(Caller(CallerIdKind::Number, "1", ""))) << "rang with no line open";
    Open();
    const uint32_t call = Ring(Caller(CallerIdKind::Number, "01234 567890", ""));
    EXPECT_TRUE(g_messages.empty()) << "delivered from inside the call";
    const HCALL h = Record(call).hCall;
    ASSERT_TRUE(PumpUntil([&] { return !States(h).empty(); }));
    // A 1.4 application learns of the call from its first LINE_CALLSTATE,
    // which carries its privilege; LINE_APPNEWCALL is TAPI 2.0's.
    const Msg& first = g_messages.front();
    EXPECT_EQ(DWORD(LINE_CALLSTATE), first.message);
    EXPECT_EQ(h, first.device);
    EXPECT_EQ(DWORD_PTR(LINECALLSTATE_OFFERING), first.p1);
    EXPECT_EQ(DWORD_PTR(LINECALLPRIVILEGE_OWNER), first.p3);
    EXPECT_EQ(DWORD_PTR(0x1234), first.instance);
    for (const Msg& m : g_messages)
        EXPECT_NE(DWORD(LINE_APPNEWCALL), m.message);
}

TEST_F(LineSimTest, CallInfoFollowsTheSizeRules) {
    Open();
    const HCALL call = RingAndOffer(Caller(CallerIdKind::Both, "01234 567890", "Fred Bloggs"));

    // Below the fixed part: refused, with the size it needs.
    alignas(8) char small[64] = {};
    auto* info = reinterpret_cast<LINECALLINFO*>(small);
    info->dwTotalSize = sizeof small;
    EXPECT_EQ(E(LINEERR_STRUCTURETOOSMALL), lineGetCallInfo(call, info));
    const DWORD needed = info->dwNeededSize;
    EXPECT_EQ(kCallInfoSize + 13 + 12, needed); // the fixed part, number and name

    // The fixed part alone: success, texts left out, the needed size given.
    std::vector<char> fixed(kCallInfoSize);
    info = reinterpret_cast<LINECALLINFO*>(fixed.data());
    info->dwTotalSize = static_cast<DWORD>(fixed.size());
    ASSERT_EQ(0, lineGetCallInfo(call, info));
    EXPECT_EQ(needed, info->dwNeededSize);
    EXPECT_EQ(kCallInfoSize, info->dwUsedSize);
    EXPECT_EQ(0u, info->dwCallerIDSize);
    EXPECT_EQ(0u, info->dwCallerIDOffset);
    EXPECT_EQ(DWORD(LINECALLORIGIN_INBOUND), info->dwOrigin);

    // Room enough: everything, inside the used size.
    std::vector<char> whole(needed);
    info = reinterpret_cast<LINECALLINFO*>(whole.data());
    info->dwTotalSize = needed;
    ASSERT_EQ(0, lineGetCallInfo(call, info));
    EXPECT_EQ(needed, info->dwUsedSize);
    EXPECT_EQ(DWORD(LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME), info->dwCallerIDFlags);
    ASSERT_EQ(13u, info->dwCallerIDSize);
    EXPECT_STREQ("01234 567890", whole.data() + info->dwCallerIDOffset);
    ASSERT_EQ(12u, info->dwCallerIDNameSize);
    EXPECT_STREQ("Fred Bloggs", whole.data() + info->dwCallerIDNameOffset);
    EXPECT_LE(info->dwCallerIDNameOffset + info->dwCallerIDNameSize, info->dwUsedSize);
}

// Reads LINECALLINFO with room to spare.
std::vector<char> CallInfo(HCALL call) {
    std::vector<char> block(1 << 18);
    auto* info = reinterpret_cast<LINECALLINFO*>(block.data());
    info->dwTotalSize = static_cast<DWORD>(block.size());
    EXPECT_EQ(0, lineGetCallInfo(call, info));
    return block;
}

const LINECALLINFO& Info(const std::vector<char>& block) {
    return *reinterpret_cast<const LINECALLINFO*>(block.data());
}

TEST_F(LineSimTest, CallerIdKindsAndHostileTexts) {
    Open();
    const std::string big(100000, '\xFF');
    const std::string bytes("\x01\0\x7F\xE9", 4);
    struct {
        CallerIdKind kind;
        std::string number;
        TextLayout layout;
        DWORD flags, size; // of the number
        bool offsetSet;
    } cases[] = {
        {CallerIdKind::Number, "0123", TextLayout::Normal, LINECALLPARTYID_ADDRESS, 5, true},
        {CallerIdKind::Name, "", TextLayout::Normal, LINECALLPARTYID_NAME, 0, false},
        {CallerIdKind::Blocked, "", TextLayout::Normal, LINECALLPARTYID_BLOCKED, 0, false},
        {CallerIdKind::OutOfArea, "", TextLayout::Normal, LINECALLPARTYID_OUTOFAREA, 0, false},
        {CallerIdKind::Unavailable, "", TextLayout::Normal, LINECALLPARTYID_UNAVAIL, 0, false},
        {CallerIdKind::Unknown, "", TextLayout::Normal, LINECALLPARTYID_UNKNOWN, 0, false},
        {CallerIdKind::Number, "0123", TextLayout::Unterminated, LINECALLPARTYID_ADDRESS, 4, true},
        {CallerIdKind::Number, "0123", TextLayout::EmptyAtOffset, LINECALLPARTYID_ADDRESS, 0, true},
        {CallerIdKind::Number, "0123", TextLayout::Overrun, LINECALLPARTYID_ADDRESS, 5 + 4096,
         true},
        {CallerIdKind::Number, big, TextLayout::Normal, LINECALLPARTYID_ADDRESS, 100001, true},
        {CallerIdKind::Number, bytes, TextLayout::Unterminated, LINECALLPARTYID_ADDRESS, 4, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.layout) * 100 + static_cast<int>(c.kind));
        const HCALL call = RingAndOffer(Caller(c.kind, c.number, "", c.layout));
        const auto block = CallInfo(call);
        const LINECALLINFO& info = Info(block);
        EXPECT_EQ(c.flags, info.dwCallerIDFlags);
        EXPECT_EQ(c.size, info.dwCallerIDSize);
        EXPECT_EQ(c.offsetSet, info.dwCallerIDOffset != 0);
        if (c.offsetSet) {
            EXPECT_EQ(0, std::memcmp(block.data() + info.dwCallerIDOffset, c.number.data(),
                                     c.number.size()));
        }
        if (c.layout == TextLayout::Overrun) {
            EXPECT_GT(info.dwCallerIDOffset + info.dwCallerIDSize, info.dwUsedSize);
        }
    }
}

TEST_F(LineSimTest, CallerIdArrivingLateComesAsCallInfo) {
    Open();
    uint32_t number = 0;
    const HCALL call = RingAndOffer(Caller(CallerIdKind::Unknown, "", ""), &number);
    EXPECT_EQ(DWORD(LINECALLPARTYID_UNKNOWN), Info(CallInfo(call)).dwCallerIDFlags);
    ASSERT_TRUE(DeliverCallerId(number, Caller(CallerIdKind::Number, "0555", "")));
    ASSERT_TRUE(PumpUntil([&] {
        for (const Msg& m : g_messages)
            if (m.message == LINE_CALLINFO && m.device == call &&
                m.p1 == LINECALLINFOSTATE_CALLERID)
                return true;
        return false;
    }));
    const auto block = CallInfo(call);
    EXPECT_EQ(DWORD(LINECALLPARTYID_ADDRESS), Info(block).dwCallerIDFlags);
    EXPECT_STREQ("0555", block.data() + Info(block).dwCallerIDOffset);

    // Some services send the name only once the call is up.
    ASSERT_GT(lineAnswer(call, nullptr, 0), 0);
    ASSERT_TRUE(PumpUntil([&] { return States(call).size() >= 2; }));
    g_messages.clear();
    ASSERT_TRUE(DeliverCallerId(number, Caller(CallerIdKind::Both, "0555", "Fred")));
    ASSERT_TRUE(PumpUntil([&] { return !g_messages.empty(); }));
    EXPECT_EQ(DWORD(LINE_CALLINFO), g_messages.front().message);
    EXPECT_EQ(DWORD_PTR(LINECALLINFOSTATE_CALLERID), g_messages.front().p1);
    const auto after = CallInfo(call);
    EXPECT_EQ(DWORD(LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME), Info(after).dwCallerIDFlags);
    EXPECT_STREQ("Fred", after.data() + Info(after).dwCallerIDNameOffset);
}

TEST_F(LineSimTest, AnswerAndDropReplyInOrderThenConnectedAndIdle) {
    Open();
    uint32_t number = 0;
    const HCALL call = RingAndOffer(Caller(CallerIdKind::Number, "0123", ""), &number);
    const LONG answer = Tapi([&] { return lineAnswer(call, nullptr, 0); });
    const LONG drop = Tapi([&] { return lineDrop(call, nullptr, 0); });
    EXPECT_FALSE(g_reentered);
    ASSERT_GT(answer, 0);
    ASSERT_GT(drop, 0);
    EXPECT_NE(answer, drop);
    // Not idle yet: the only owner may not let go.
    EXPECT_EQ(E(LINEERR_INVALCALLSTATE), lineDeallocateCall(call));
    ASSERT_TRUE(PumpUntil([&] { return States(call).size() >= 3; }));
    std::vector<DWORD_PTR> replies;
    for (const Msg& m : g_messages)
        if (m.message == LINE_REPLY) {
            replies.push_back(m.p1);
            EXPECT_EQ(DWORD_PTR(0), m.p2);
        }
    EXPECT_EQ((std::vector<DWORD_PTR>{DWORD_PTR(answer), DWORD_PTR(drop)}), replies);
    EXPECT_EQ((std::vector<DWORD_PTR>{LINECALLSTATE_OFFERING, LINECALLSTATE_CONNECTED,
                                      LINECALLSTATE_IDLE}),
              States(call));
    EXPECT_EQ(E(LINEERR_INVALCALLSTATE), lineAnswer(call, nullptr, 0));
    EXPECT_EQ(0, lineDeallocateCall(call));
    EXPECT_EQ(E(LINEERR_INVALCALLHANDLE), lineDeallocateCall(call));
    const CallRecord r = Record(number);
    EXPECT_GE(r.answeredMs, 0);
    EXPECT_GE(r.droppedMs, r.answeredMs);
    EXPECT_TRUE(r.deallocated);
}

TEST_F(LineSimTest, RepliesComeBeforeOrAfterTheStatesTheyCause) {
    Open();
    for (bool after : {false, true}) {
        SCOPED_TRACE(after ? "reply-after-state" : "default");
        SetOption(Option::ReplyAfterState, after);
        const HCALL call = RingAndOffer(Caller(CallerIdKind::Number, "0123", ""));
        g_messages.clear();
        const LONG answer = lineAnswer(call, nullptr, 0);
        const LONG drop = lineDrop(call, nullptr, 0);
        ASSERT_TRUE(PumpUntil([&] { return ReplyTo(answer) && ReplyTo(drop); }));
        ASSERT_TRUE(PumpUntil([&] { return States(call).size() >= 2; }));
        std::vector<std::string> order;
        for (const Msg& m : g_messages)
            if (m.message == LINE_REPLY)
                order.push_back(m.p1 == DWORD_PTR(answer) ? "answer replied" : "drop replied");
            else if (m.message == LINE_CALLSTATE)
                order.push_back(m.p1 == LINECALLSTATE_CONNECTED ? "connected" : "idle");
        const std::vector<std::string> expected =
            after ? std::vector<std::string>{"connected", "answer replied", "idle", "drop replied"}
                  : std::vector<std::string>{"answer replied", "connected", "drop replied", "idle"};
        EXPECT_EQ(expected, order);
        EXPECT_EQ(0, lineDeallocateCall(call));
    }
}

TEST_F(LineSimTest, AnswerThatFailsLeavesTheCallUnanswered) {
    // A modem that cannot take the line, and a caller who gives up while
    // the answer is still on its way: either way the reply is a failure
    // and the call never connects.
    struct {
        bool answerFails;
        DWORD replyDelayMs, ringIntervalMs;
        bool hangUpWhilePending;
        bool rangOut;
    } cases[] = {
        {true, 0, 100, false, true},
        {false, 200, 1000, true, false},
    };
    Open();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answerFails ? "answer-fails" : "hang-up while pending");
        SetOption(Option::AnswerFails, c.answerFails);
        SetReplyDelay(c.replyDelayMs);
        SetRingTiming(c.ringIntervalMs, 3);
        uint32_t number = 0;
        const HCALL call = RingAndOffer(Caller(CallerIdKind::Number, "0123", ""), &number);
        const LONG answer = lineAnswer(call, nullptr, 0);
        ASSERT_GT(answer, 0);
        if (c.hangUpWhilePending) {
            ASSERT_TRUE(HangUp(number));
        } else {
            // The reply has come, and the line still rings.
            ASSERT_TRUE(PumpUntil([&] { return ReplyTo(answer); }));
            alignas(8) char buf[sizeof(LINECALLSTATUS) + 64] = {};
            auto* status = reinterpret_cast<LINECALLSTATUS*>(buf);
            status->dwTotalSize = sizeof buf;
            ASSERT_EQ(0, lineGetCallStatus(call, status));
            EXPECT_EQ(DWORD(LINECALLSTATE_OFFERING), status->dwCallState);
            EXPECT_TRUE(status->dwCallFeatures & LINECALLFEATURE_ANSWER);
        }
        DWORD_PTR result = 0;
        ASSERT_TRUE(
            PumpUntil([&] { return ReplyTo(answer, &result) && States(call).size() >= 2; }));
        EXPECT_EQ(DWORD_PTR(LINEERR_OPERATIONFAILED), result);
        Pump();
        EXPECT_EQ((std::vector<DWORD_PTR>{LINECALLSTATE_OFFERING, LINECALLSTATE_IDLE}),
                  States(call));
        const CallRecord r = Record(number);
        EXPECT_EQ(-1, r.answeredMs);
        EXPECT_EQ(c.rangOut, r.rangOut);
        EXPECT_EQ(c.rangOut ? 3u : 1u, r.rings);
        EXPECT_EQ(0, lineDeallocateCall(call));
    }
}

TEST_F(LineSimTest, CallerHangingUpIsReportedAsTheOptionsSay) {
    struct {
        const char* name;
        Option option;
        bool on;
        std::vector<DWORD_PTR> onHangUp; // states reported after CONNECTED
        bool dropWorks;
        const char* summaryEnd;
    } cases[] = {
        {"default",
         Option::NoHangUpReport,
         false,
         {LINECALLSTATE_DISCONNECTED},
         true,
         "dropped after caller hung up"},
        {"idle-without-disconnected",
         Option::IdleWithoutDisconnected,
         true,
         {LINECALLSTATE_IDLE},
         false,
         "caller hung up, never dropped"},
        {"no-hangup-report",
         Option::NoHangUpReport,
         true,
         {},
         true,
         "dropped after caller hung up"},
    };
    Open();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetOption(c.option, c.on);
        uint32_t number = 0;
        const HCALL call = RingAndOffer(Caller(CallerIdKind::Number, "0123", ""), &number);
        ASSERT_GT(lineAnswer(call, nullptr, 0), 0);
        ASSERT_TRUE(PumpUntil([&] { return States(call).size() >= 2; }));
        EXPECT_EQ(0, lineMonitorDigits(call, LINEDIGITMODE_DTMF));
        g_messages.clear();
        ASSERT_TRUE(HangUp(number));
        EXPECT_FALSE(HangUp(number)) << "hung up twice";
        KeyDigits(number, "5"); // nobody is there to key it
        Pump();
        EXPECT_EQ(c.onHangUp, States(call));
        EXPECT_EQ(c.onHangUp.size(), g_messages.size()) << "more than the states came";
        EXPECT_GE(Record(number).hungUpMs, 0);

        const LONG drop = lineDrop(call, nullptr, 0);
        if (c.dropWorks) {
            ASSERT_GT(drop, 0);
            DWORD_PTR result = 1;
            ASSERT_TRUE(PumpUntil([&] { return ReplyTo(drop, &result); }));
            EXPECT_EQ(DWORD_PTR(0), result);
            ASSERT_TRUE(PumpUntil([&] { return States(call).size() == c.onHangUp.size() + 1; }));
            EXPECT_EQ(DWORD_PTR(LINECALLSTATE_IDLE), States(call).back());
        } else {
            EXPECT_EQ(E(LINEERR_INVALCALLSTATE), drop);
        }
        // The handle is still the application's to let go of.
        EXPECT_EQ(0, lineDeallocateCall(call));
        const CallRecord r = Record(number);
        EXPECT_EQ(0u, r.digitsDelivered);
        EXPECT_TRUE(r.deallocated);
        char text[256];
        CallSummary(number, text, sizeof text);
        EXPECT_TRUE(std::string(text).ends_with(c.summaryEnd)) << text;
        SetOption(c.option, false);
    }
}

TEST_F(LineSimTest, AnswerLatencyAndStatsCountWhatTheProgramDid) {
    char text[1024];
    StatsReport(text, sizeof text);
    EXPECT_NE(nullptr, std::strstr(text, "sim-stats: calls 0,")) << text;
    EXPECT_NE(nullptr, std::strstr(text, "no call answered")) << text;
    EXPECT_NE(nullptr, std::strstr(text, "no call rang")) << text;

    Open();
    // Answered and dropped; answered and left up; never answered.
    uint32_t first = 0, second = 0, third = 0;
    const HCALL a = RingAndOffer(Caller(CallerIdKind::Number, "1", ""), &first);
    Sleep(50);
    ASSERT_GT(lineAnswer(a, nullptr, 0), 0);
    ASSERT_GT(lineDrop(a, nullptr, 0), 0);
    ASSERT_TRUE(PumpUntil([&] { return States(a).size() >= 3; }));
    EXPECT_EQ(0, lineDeallocateCall(a));
    const HCALL b = RingAndOffer(Caller(CallerIdKind::Number, "2", ""), &second);
    ASSERT_GT(lineAnswer(b, nullptr, 0), 0);
    ASSERT_TRUE(PumpUntil([&] { return States(b).size() >= 2; }));
    RingAndOffer(Caller(CallerIdKind::Number, "3", ""), &third);

    // Measured from the offering, whatever delays its delivery, to lineAnswer.
    const CallRecord r = Record(first);
    EXPECT_GE(r.answerLatencyUs, 40000);
    EXPECT_LE(r.answerLatencyUs, (int64_t(r.answeredMs) + 1) * 1000);
    EXPECT_GE(Record(second).answerLatencyUs, 0);
    EXPECT_EQ(-1, Record(third).answerLatencyUs);
    EXPECT_EQ(E(LINEERR_INVALCALLSTATE), lineAnswer(b, nullptr, 0));

    // Each window the process makes is counted (a leak would show). The
    // first window of a thread may bring one of Wine's own with it, so the
    // second is the one compared.
    auto windowsNow = [&text] {
        StatsReport(text, sizeof text);
        unsigned first = 0, last = 0;
        const char* at = std::strstr(text, "; windows ");
        return at && std::sscanf(at, "; windows %u -> %u", &first, &last) == 2 ? int(last) : -1;
    };
    auto makeWindow = [] {
        return CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    };
    HWND one = makeWindow();
    const int withOne = windowsNow();
    HWND two = makeWindow();
    EXPECT_GE(withOne, 1);
    EXPECT_EQ(withOne + 1, windowsNow());
    DestroyWindow(two);
    DestroyWindow(one);
    const size_t length = StatsReport(text, sizeof text);
    ASSERT_LT(length, sizeof text);
    const std::string stats = text;
    EXPECT_TRUE(stats.starts_with("sim-stats: calls 3, answered 2, answered-and-dropped 1, "
                                  "not deallocated 2\n"))
        << stats;
    EXPECT_NE(std::string::npos,
              stats.find("\nsim-stats: answer latency first 1 answered: median "))
        << stats;
    EXPECT_NE(std::string::npos, stats.find("\nsim-stats: process private bytes ")) << stats;
    EXPECT_NE(std::string::npos, stats.find(" from first ring to now (")) << stats;
    EXPECT_NE(std::string::npos, stats.find("; USER objects ")) << stats;
    EXPECT_TRUE(stats.ends_with("\n")) << stats;
}

TEST_F(LineSimTest, DigitsArriveOnlyWhileMonitoring) {
    Open();
    uint32_t number = 0;
    const HCALL call = RingAndOffer(Caller(CallerIdKind::Number, "0123", ""), &number);
    KeyDigits(number, "9"); // still ringing: nobody hears it
    ASSERT_GT(lineAnswer(call, nullptr, 0), 0);
    ASSERT_TRUE(PumpUntil([&] { return States(call).size() >= 2; }));
    KeyDigits(number, "1");
    EXPECT_EQ(0, lineMonitorDigits(call, LINEDIGITMODE_DTMF));
    KeyDigits(number, "2#");
    Pump();
    EXPECT_EQ(0, lineMonitorDigits(call, 0));
    KeyDigits(number, "3");
    EXPECT_EQ(E(LINEERR_INVALDIGITMODE), lineMonitorDigits(call, 0x100));
    Pump();
    std::string heard;
    for (const Msg& m : g_messages)
        if (m.message == LINE_MONITORDIGITS) {
            EXPECT_EQ(call, m.device);
            EXPECT_EQ(DWORD_PTR(LINEDIGITMODE_DTMF), m.p2);
            heard += static_cast<char>(m.p1);
        }
    EXPECT_EQ("2#", heard);
    const CallRecord r = Record(number);
    EXPECT_STREQ("912#3", r.keyed);
    EXPECT_STREQ("2#", r.delivered);
    EXPECT_EQ(1u, r.monitorOn);
    EXPECT_EQ(1u, r.monitorOff);
}

// Plays `writes` buffers of `bytes` bytes of 8 kHz 8-bit silence on
// `device`; false when the device does not open.
bool PlayOn(UINT device, DWORD bytes, int writes = 1) {
    WAVEFORMATEX format{WAVE_FORMAT_PCM, 1, 8000, 8000, 1, 8, 0};
    HWAVEOUT out = nullptr;
    if (waveOutOpen(&out, device, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR)
        return false;
    std::vector<char> samples(bytes, char(0x80));
    for (int i = 0; i < writes; ++i) {
        WAVEHDR header{};
        header.lpData = samples.data();
        header.dwBufferLength = bytes;
        EXPECT_EQ(MMSYSERR_NOERROR, waveOutPrepareHeader(out, &header, sizeof header));
        EXPECT_EQ(MMSYSERR_NOERROR, waveOutWrite(out, &header, sizeof header));
        waveOutReset(out);
        EXPECT_EQ(MMSYSERR_NOERROR, waveOutUnprepareHeader(out, &header, sizeof header));
    }
    EXPECT_EQ(MMSYSERR_NOERROR, waveOutClose(out));
    return true;
}

TEST_F(LineSimTest, EachCallHasItsOwnWaveDeviceThatCountsWhatIsPlayed) {
    ASSERT_GT(waveOutGetNumDevs(), 0u) << "no wave device: is HOME/.asoundrc the null device?";
    Open();
    uint32_t first = 0, second = 0;
    const HCALL a = RingAndOffer(Caller(CallerIdKind::Number, "0123", ""), &first);
    const HCALL b = RingAndOffer(Caller(CallerIdKind::Number, "0456", ""), &second);
    ASSERT_GT(lineAnswer(a, nullptr, 0), 0);
    ASSERT_GT(lineAnswer(b, nullptr, 0), 0);
    ASSERT_TRUE(PumpUntil([&] { return States(a).size() >= 2 && States(b).size() >= 2; }));

    alignas(8) char buf[64] = {};
    auto* id = reinterpret_cast<VARSTRING*>(buf);
    auto deviceOf = [&](HLINE onLine, HCALL call, DWORD select) {
        id->dwTotalSize = sizeof buf;
        EXPECT_EQ(0, lineGetID(onLine, 0, call, select, id, "wave/out"));
        EXPECT_EQ(DWORD(STRINGFORMAT_BINARY), id->dwStringFormat);
        EXPECT_EQ(4u, id->dwStringSize);
        EXPECT_EQ(24u, id->dwStringOffset);
        DWORD device = 99;
        std::memcpy(&device, buf + 24, 4);
        return device;
    };
    const DWORD deviceA = deviceOf(0, a, LINECALLSELECT_CALL);
    const DWORD deviceB = deviceOf(0, b, LINECALLSELECT_CALL);
    EXPECT_EQ(0x52000000u + first, deviceA);
    EXPECT_EQ(0x52000000u + second, deviceB);
    // The line's own voice path is the machine's default device.
    EXPECT_EQ(0u, deviceOf(line, 0, LINECALLSELECT_LINE));

    // Each call's device counts what is written to it and nothing else;
    // the default device and the mapper play as ever, counted nowhere.
    ASSERT_TRUE(PlayOn(deviceA, 800));
    // A program may play from a thread of its own.
    bool played = false;
    std::thread([&] { played = PlayOn(deviceB, 300, 2); }).join();
    ASSERT_TRUE(played);
    ASSERT_TRUE(PlayOn(0, 100));
    ASSERT_TRUE(PlayOn(WAVE_MAPPER, 100));
    EXPECT_EQ(800u, Record(first).bytesPlayed);
    EXPECT_EQ(600u, Record(second).bytesPlayed);
    EXPECT_EQ(1u, Record(second).waveOpens);
    EXPECT_GE(Record(second).firstPlayUs, 0);
    // A call the line never had is no device at all.
    EXPECT_FALSE(PlayOn(0x52000000u + 99, 100));

    char text[1024];
    CallSummary(second, text, sizeof text);
    EXPECT_NE(nullptr, std::strstr(text, "asked for the wave device, played 600 bytes")) << text;
    StatsReport(text, sizeof text);
    EXPECT_NE(nullptr, std::strstr(text, "\nsim-stats: played to 2 of 2 answered calls that asked "
                                         "for the wave device, 1400 bytes in all\n"
                                         "sim-stats: playback from CONNECTED to the first "
                                         "buffer written, 2 calls: median "))
        << text;

    EXPECT_EQ(E(LINEERR_INVALDEVICECLASS),
              lineGetID(0, 0, a, LINECALLSELECT_CALL, id, "comm/datamodem"));
    EXPECT_EQ(E(LINEERR_INVALCALLHANDLE),
              lineGetID(0, 0, 0x99, LINECALLSELECT_CALL, id, "wave/out"));
    EXPECT_EQ(1u, Record(first).waveOutRequests);

    // From lineShutdown the .exe calls winmm directly again: nothing is
    // left pointing into the simulator, which the program may unload.
    auto imported = [] { return *static_cast<void* volatile*>(&__imp_waveOutOpen); };
    void* winmm =
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("winmm.dll"), "waveOutOpen"));
    EXPECT_NE(winmm, imported());
    ASSERT_EQ(0, lineShutdown(app));
    EXPECT_EQ(winmm, imported());
    DWORD devices = 0;
    ASSERT_EQ(0, lineInitialize(&app, nullptr, OnLine, "test", &devices));
}

TEST_F(LineSimTest, UnansweredCallRingsOutToIdle) {
    SetRingTiming(40, 3);
    Open();
    uint32_t number = 0;
    const HCALL call = RingAndOffer(Caller(CallerIdKind::Number, "0123", ""), &number);
    ASSERT_TRUE(PumpUntil([&] { return States(call).size() >= 2; }));
    EXPECT_EQ(DWORD_PTR(LINECALLSTATE_IDLE), States(call).back());
    std::vector<DWORD_PTR> rings;
    for (const Msg& m : g_messages)
        if (m.message == LINE_LINEDEVSTATE && m.p1 == LINEDEVSTATE_RINGING) {
            EXPECT_EQ(DWORD_PTR(1), m.p2); // ring mode
            rings.push_back(m.p3);
        }
    EXPECT_EQ((std::vector<DWORD_PTR>{1, 2, 3}), rings);
    const CallRecord r = Record(number);
    EXPECT_TRUE(r.rangOut);
    EXPECT_EQ(3u, r.rings);
    EXPECT_EQ(0, lineDeallocateCall(call));
}

TEST_F(LineSimTest, HangUpDisconnectsAndSummariesSayWhatHappened) {
    SetRingTiming(300, 2); // slow enough that call 2 hangs up during its first ring
    Open();
    uint32_t first = 0, second = 0, third = 0;
    const HCALL a = RingAndOffer(Caller(CallerIdKind::Number, "01234 567890", ""), &first);
    ASSERT_GT(lineAnswer(a, nullptr, 0), 0);
    ASSERT_TRUE(PumpUntil([&] { return States(a).size() >= 2; }));
    EXPECT_EQ(0, lineMonitorDigits(a, LINEDIGITMODE_DTMF));
    ASSERT_TRUE(HangUp(first));
    ASSERT_TRUE(PumpUntil([&] { return States(a).size() >= 3; }));
    EXPECT_EQ(DWORD_PTR(LINECALLSTATE_DISCONNECTED), States(a).back());
    ASSERT_GT(lineDrop(a, nullptr, 0), 0);
    ASSERT_TRUE(PumpUntil([&] { return States(a).size() >= 4; }));
    EXPECT_EQ(DWORD_PTR(LINECALLSTATE_IDLE), States(a).back());

    RingAndOffer(Caller(CallerIdKind::Blocked, "", ""), &second);
    HangUp(second); // before the answer: the ringing just stops
    const HCALL c = RingAndOffer(Caller(CallerIdKind::Name, "", std::string("Ann\x01", 4)), &third);
    ASSERT_TRUE(PumpUntil([&] { return States(c).size() >= 2; }));

    char text[256];
    CallSummary(first, text, sizeof text);
    EXPECT_TRUE(std::string(text).starts_with("call 1 from 01234 567890: answered after 0."))
        << text;
    EXPECT_TRUE(std::string(text).ends_with(", monitored digits, dropped after caller hung up"))
        << text;
    CallSummary(second, text, sizeof text);
    EXPECT_STREQ("call 2 from <blocked>: not answered, caller hung up after 1 ring", text);
    CallSummary(third, text, sizeof text);
    EXPECT_STREQ("call 3 from Ann?: not answered, rang out after 2 rings", text);
    const size_t length = strlen(text);
    EXPECT_EQ(length, CallSummary(third, text, 5));
    EXPECT_STREQ("call", text);
}

TEST_F(LineSimTest, ScriptPlaysTimedEventsAndEndsTheMessageLoop) {
    // Events run in the order they fall due, however late the loop is.
    const std::string path =
        WriteScript("linesim-test.txt", "rings 2 every 0.1\n"
                                        "at 0    ring number \"0123\"\n"
                                        "at 0.02 ring unknown\n"
                                        "at 0.06 callerid 2 both \"0456\" \"Fred\"\n"
                                        "at 0.6  quit\n");
    ASSERT_FALSE(path.empty());
    SetScript(path.c_str());
    Open();
    SetScript(nullptr);
    const bool quit = PumpUntilQuit();
    DeleteFileA(path.c_str());
    ASSERT_TRUE(quit);
    ASSERT_EQ(2u, CallCount());
    char text[256];
    CallSummary(1, text, sizeof text);
    EXPECT_STREQ("call 1 from 0123: not answered, rang out after 2 rings", text);
    CallSummary(2, text, sizeof text);
    EXPECT_STREQ("call 2 from 0456: not answered, rang out after 2 rings", text);
}

// With listen-first, a scripted caller who was answered waits to hear
// something before hanging up; a ringing one hangs up on time.
TEST_F(LineSimTest, ListenFirstCallersWaitToHearTheMessage) {
    ASSERT_GT(waveOutGetNumDevs(), 0u) << "no wave device: is HOME/.asoundrc the null device?";
    const std::string path = WriteScript("linesim-listen.txt", "option listen-first on\n"
                                                               "at 0   ring number \"0123\"\n"
                                                               "at 0   ring number \"0456\"\n"
                                                               "at 0   ring number \"0789\"\n"
                                                               "at 0.2 hangup 1\n"
                                                               "at 0.2 hangup 2\n"
                                                               "at 0.2 hangup 3\n"
                                                               "at 1.2 quit\n");
    ASSERT_FALSE(path.empty());
    SetScript(path.c_str());
    Open();
    SetScript(nullptr);
    const DWORD start = GetTickCount();
    bool answered = false, played = false;
    const bool quit = PumpUntilQuit([&] {
        if (!answered && CallCount() == 3 && !States(Record(2).hCall).empty()) {
            // Calls 1 and 2 are answered; call 3 rings on.
            answered = lineAnswer(Record(1).hCall, nullptr, 0) > 0 &&
                       lineAnswer(Record(2).hCall, nullptr, 0) > 0;
        }
        if (answered && !played && GetTickCount() - start > 600)
            played = PlayOn(0x52000000u + 2, 100);
    });
    DeleteFileA(path.c_str());
    ASSERT_TRUE(quit);
    ASSERT_TRUE(played);
    EXPECT_EQ(-1, Record(1).hungUpMs); // never heard anything: still waiting
    EXPECT_GE(Record(2).hungUpMs, 500);
    EXPECT_GE(Record(3).hungUpMs, 0);
    EXPECT_LT(Record(3).hungUpMs, 500);
}

TEST_F(LineSimTest, ScriptOptionHoldsFromTheStartAndStatsFollowTheSummary) {
    const std::string path =
        WriteScript("linesim-option.txt",
                    "rings 2 every 0.1\n"
                    "at 0   ring number \"0123\"\n"
                    "option answer-fails on   # after the ring in the file, still in force first\n"
                    "at 0.5 quit\n");
    ASSERT_FALSE(path.empty());
    SetScript(path.c_str());
    SetPrintStats(true); // the figures are taken at the script's quit
    Open();
    SetScript(nullptr);
    LONG answer = 0;
    const bool quit = PumpUntilQuit([&] {
        if (!answer && CallCount() == 1 && !States(Record(1).hCall).empty())
            answer = lineAnswer(Record(1).hCall, nullptr, 0);
    });
    DeleteFileA(path.c_str());
    ASSERT_TRUE(quit);
    ASSERT_GT(answer, 0);
    DWORD_PTR result = 0;
    ASSERT_TRUE(ReplyTo(answer, &result));
    EXPECT_EQ(DWORD_PTR(LINEERR_OPERATIONFAILED), result);

    // The call's handle is still held: the figures count it, though closing
    // the line takes it back.
    SetPrintSummary(true);
    CStdoutCapture out;
    ASSERT_EQ(0, lineShutdown(app));
    const std::string printed = out.Text();
    SetPrintSummary(false);
    SetPrintStats(false);
    DWORD devices = 0;
    ASSERT_EQ(0, lineInitialize(&app, nullptr, OnLine, "test", &devices));
    EXPECT_TRUE(printed.starts_with("call 1 from 0123: not answered, rang out after 2 rings\n"
                                    "sim-stats: calls 1, answered 0, answered-and-dropped 0, "
                                    "not deallocated 1\n"))
        << printed;
    EXPECT_NE(std::string::npos, printed.find(" from first ring to quit (")) << printed;
}

TEST_F(LineSimTest, WindowRingsKeysAndHangsUpTheLatestCall) {
    ASSERT_EQ(0, lineShutdown(app));
    SetShowWindow(true);
    DWORD devices = 0;
    ASSERT_EQ(0, lineInitialize(&app, nullptr, OnLine, "test", &devices));
    SetShowWindow(false);
    Open();
    HWND window = FindWindowA(nullptr, "Ringwarden Line Simulator");
    ASSERT_TRUE(window);
    auto click = [&](int id) { SendMessageA(GetDlgItem(window, id), BM_CLICK, 0, 0); };

    SetDlgItemTextA(window, IDC_LINESIM_NUMBER, "01234 567890");
    SendDlgItemMessageA(window, IDC_LINESIM_KIND, CB_SETCURSEL, 0, 0);
    click(IDC_LINESIM_RING);
    ASSERT_EQ(1u, CallCount());
    const HCALL call = Record(1).hCall;
    ASSERT_TRUE(PumpUntil([&] { return !States(call).empty(); }));
    const auto block = CallInfo(call);
    EXPECT_STREQ("01234 567890", block.data() + Info(block).dwCallerIDOffset);

    ASSERT_GT(lineAnswer(call, nullptr, 0), 0);
    ASSERT_TRUE(PumpUntil([&] { return States(call).size() >= 2; }));
    EXPECT_EQ(0, lineMonitorDigits(call, LINEDIGITMODE_DTMF));
    click(IDC_LINESIM_KEY0 + 5);
    click(IDC_LINESIM_KEYHASH);
    click(IDC_LINESIM_HANGUP);
    ASSERT_TRUE(PumpUntil([&] { return States(call).size() >= 3; }));
    EXPECT_EQ(DWORD_PTR(LINECALLSTATE_DISCONNECTED), States(call).back());
    EXPECT_STREQ("5#", Record(1).delivered);

    // The log tells what the screener did.
    HWND log = GetDlgItem(window, IDC_LINESIM_LOG);
    std::string all;
    for (LRESULT i = 0, n = SendMessageA(log, LB_GETCOUNT, 0, 0); i < n; ++i) {
        char line[256] = {};
        if (SendMessageA(log, LB_GETTEXTLEN, i, 0) < LRESULT(sizeof line))
            SendMessageA(log, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line));
        all += line;
        all += '\n';
    }
    EXPECT_NE(std::string::npos, all.find("call 1: answered")) << all;
    EXPECT_NE(std::string::npos, all.find("call 1: digit monitoring on")) << all;
    EXPECT_NE(std::string::npos, all.find("call 1: caller hung up")) << all;
}

TEST_F(LineSimTest, ServiceClosingTheLineCutsCallsOffAndRefusesOpensForAWhile) {
    Open();
    uint32_t first = 0, second = 0;
    const HCALL a = RingAndOffer(Caller(CallerIdKind::Number, "1", ""), &first);
    ASSERT_GT(lineAnswer(a, nullptr, 0), 0);
    ASSERT_TRUE(PumpUntil([&] { return States(a).size() >= 2; }));
    const HCALL b = RingAndOffer(Caller(CallerIdKind::Number, "2", ""), &second);
    // A drop still on its way when the line goes, due after it is open again.
    SetReplyDelay(400);
    const DWORD dropAt = GetTickCount();
    const LONG drop = lineDrop(a, nullptr, 0);
    ASSERT_GT(drop, 0);
    g_messages.clear();

    ASSERT_TRUE(CloseLine(300));
    EXPECT_FALSE(CloseLine(300)) << "closed a line that was not open";
    ASSERT_TRUE(PumpUntil([] { return !Messages(LINE_CLOSE).empty(); }));
    Pump();
    // LINE_CLOSE, with the line's handle and instance, and nothing after it.
    ASSERT_EQ(1u, g_messages.size());
    EXPECT_EQ(line, g_messages[0].device);
    EXPECT_EQ(DWORD_PTR(0x1234), g_messages[0].instance);
    EXPECT_FALSE(ReplyTo(drop));
    for (uint32_t call : {first, second}) {
        const CallRecord r = Record(call);
        EXPECT_EQ(DWORD(LINECALLSTATE_IDLE), r.callState);
        EXPECT_GE(r.idleMs, 0);
        char text[256];
        CallSummary(call, text, sizeof text);
        EXPECT_TRUE(std::string(text).ends_with("cut off when the line closed")) << text;
    }
    EXPECT_EQ(-1, Record(first).droppedMs);
    EXPECT_EQ(E(LINEERR_INVALCALLHANDLE), lineDeallocateCall(b));
    EXPECT_EQ(E(LINEERR_INVALLINEHANDLE), lineClose(line));
    EXPECT_EQ(0u, Ring(Caller(CallerIdKind::Number, "3", "")));

    // Refused while the service is down, then opened again, with a new
    // handle; calls go on being numbered.
    const HLINE old = line;
    HLINE again = 0;
    EXPECT_EQ(E(LINEERR_RESOURCEUNAVAIL),
              lineOpen(app, 0, &again, 0x00010004, 0, 0x99, LINECALLPRIVILEGE_OWNER,
                       LINEMEDIAMODE_AUTOMATEDVOICE, nullptr));
    LONG opened = -1;
    ASSERT_TRUE(PumpUntil([&] {
        opened = lineOpen(app, 0, &again, 0x00010004, 0, 0x99, LINECALLPRIVILEGE_OWNER,
                          LINEMEDIAMODE_AUTOMATEDVOICE, nullptr);
        return opened != E(LINEERR_RESOURCEUNAVAIL);
    }));
    ASSERT_EQ(0, opened);
    EXPECT_NE(old, again);
    EXPECT_EQ(E(LINEERR_INVALLINEHANDLE), lineClose(old));
    EXPECT_EQ(3u, Ring(Caller(CallerIdKind::Number, "3", "")));
    PumpUntil([&] { return GetTickCount() - dropAt > 500; });
    EXPECT_FALSE(ReplyTo(drop)) << "a reply for a call cut off with the line";
}

void CALLBACK OnLineAfterReinit(DWORD device, DWORD message, DWORD_PTR instance, DWORD_PTR p1,
                                DWORD_PTR p2, DWORD_PTR p3) {
    // Marked, so that the test can tell which callback got it.
    g_messages.push_back({device, message | 0x10000, instance, p1, p2, p3});
}

TEST_F(LineSimTest, ReinitRefusesOpensUntilShutdownAndTheRunCarriesOn) {
    Open();
    uint32_t first = 0, second = 0;
    const HCALL a = RingAndOffer(Caller(CallerIdKind::Number, "1", ""), &first);
    ASSERT_GT(lineAnswer(a, nullptr, 0), 0);
    ASSERT_TRUE(PumpUntil([&] { return States(a).size() >= 2; }));
    EXPECT_EQ(0, lineMonitorDigits(a, LINEDIGITMODE_DTMF));
    g_messages.clear();

    ASSERT_TRUE(Reinit());
    ASSERT_TRUE(PumpUntil([] { return !Messages(LINE_LINEDEVSTATE).empty(); }));
    const Msg reinit = Messages(LINE_LINEDEVSTATE)[0];
    EXPECT_EQ(0u, reinit.device);
    EXPECT_EQ(DWORD_PTR(0), reinit.instance);
    EXPECT_EQ(DWORD_PTR(LINEDEVSTATE_REINIT), reinit.p1);
    EXPECT_EQ(DWORD_PTR(0), reinit.p2);
    EXPECT_EQ(DWORD_PTR(0), reinit.p3);
    HLINE other = 0;
    EXPECT_EQ(E(LINEERR_REINIT),
              lineOpen(app, 0, &other, 0x00010004, 0, 0, LINECALLPRIVILEGE_MONITOR, 0, nullptr));
    // Calls already up carry on, and new ones still ring.
    KeyDigits(first, "7");
    ASSERT_TRUE(HangUp(first));
    ASSERT_TRUE(PumpUntil([&] { return States(a).size() >= 1; }));
    EXPECT_EQ(DWORD_PTR(LINECALLSTATE_DISCONNECTED), States(a).back());
    EXPECT_STREQ("7", Record(first).delivered);
    RingAndOffer(Caller(CallerIdKind::Number, "2", ""), &second);

    // The shutdown that answers it prints nothing and forgets nothing.
    SetPrintSummary(true);
    CStdoutCapture out;
    const HLINEAPP old = app;
    ASSERT_EQ(0, lineShutdown(app));
    EXPECT_FALSE(Reinit()) << "no application to tell";
    EXPECT_EQ("", out.Text());
    SetPrintSummary(false);
    EXPECT_EQ(2u, CallCount());
    EXPECT_EQ(DWORD(LINECALLSTATE_IDLE), Record(second).callState);

    g_messages.clear();
    DWORD devices = 0;
    ASSERT_EQ(0, lineInitialize(&app, nullptr, OnLineAfterReinit, "again", &devices));
    EXPECT_EQ(1u, devices);
    EXPECT_NE(old, app);
    EXPECT_EQ(E(LINEERR_INVALAPPHANDLE), lineShutdown(old));
    ASSERT_EQ(0, lineOpen(app, 0, &line, 0x00010004, 0, 0x77, LINECALLPRIVILEGE_OWNER,
                          LINEMEDIAMODE_AUTOMATEDVOICE, nullptr));
    const uint32_t third = Ring(Caller(CallerIdKind::Number, "3", ""));
    EXPECT_EQ(3u, third);
    ASSERT_TRUE(PumpUntil([] { return !g_messages.empty(); }));
    EXPECT_EQ(DWORD(LINE_CALLSTATE | 0x10000), g_messages[0].message) << "old callback called";
    EXPECT_EQ(DWORD_PTR(0x77), g_messages[0].instance);

    // A normal shutdown ends the run: the summary, then a fresh start.
    SetPrintSummary(true);
    CStdoutCapture end;
    ASSERT_EQ(0, lineShutdown(app));
    const std::string printed = end.Text();
    SetPrintSummary(false);
    EXPECT_TRUE(printed.starts_with("call 1 from 1: answered after ")) << printed;
    EXPECT_NE(std::string::npos, printed.find("\ncall 3 from 3: ")) << printed;
    ASSERT_EQ(0, lineInitialize(&app, nullptr, OnLine, "test", &devices));
    EXPECT_EQ(0u, CallCount());
}

TEST_F(LineSimTest, NoDeviceUntilTheModemIsPluggedIn) {
    ASSERT_EQ(0, lineShutdown(app));
    SetDeviceCount(0);
    DWORD devices = 99;
    ASSERT_EQ(0, lineInitialize(&app, nullptr, OnLine, "test", &devices));
    EXPECT_EQ(0u, devices);
    DWORD version = 0;
    LINEEXTENSIONID ext{};
    EXPECT_EQ(E(LINEERR_BADDEVICEID),
              lineNegotiateAPIVersion(app, 0, 0x00010003, 0x00010004, &version, &ext));
    EXPECT_EQ(E(LINEERR_BADDEVICEID),
              lineOpen(app, 0, &line, 0x00010004, 0, 0, LINECALLPRIVILEGE_MONITOR, 0, nullptr));

    ASSERT_TRUE(AddDevice());
    EXPECT_FALSE(AddDevice()) << "plugged in twice";
    ASSERT_TRUE(PumpUntil([] { return !Messages(LINE_CREATE).empty(); }));
    Pump();
    ASSERT_EQ(1u, g_messages.size());
    EXPECT_EQ(0u, g_messages[0].device);
    EXPECT_EQ(DWORD_PTR(0), g_messages[0].instance);
    EXPECT_EQ(DWORD_PTR(0), g_messages[0].p1); // the new device's id
    ASSERT_EQ(0, lineNegotiateAPIVersion(app, 0, 0x00010003, 0x00010004, &version, &ext));
    Open();

    // It stays plugged in for the next registration.
    ASSERT_EQ(0, lineShutdown(app));
    ASSERT_EQ(0, lineInitialize(&app, nullptr, OnLine, "test", &devices));
    EXPECT_EQ(1u, devices);
}

TEST_F(LineSimTest, ScriptWithNoDeviceRunsFromInitializeThroughReinit) {
    // Read at lineInitialize: the device count it reports is the script's,
    // and its clock runs although there is no line to open.
    ASSERT_EQ(0, lineShutdown(app));
    const std::string path = WriteScript("linesim-service.txt", "at 0.05 new-device\n"
                                                                "at 0.1  ring number \"1\"\n"
                                                                "at 0.2  reinit\n"
                                                                "at 0.3  close-line 0.2\n"
                                                                "at 1.0  ring number \"2\"\n"
                                                                "at 1.2  quit\n"
                                                                "devices 0\n");
    ASSERT_FALSE(path.empty());
    SetScript(path.c_str());
    DWORD devices = 99;
    const LONG initialized = lineInitialize(&app, nullptr, OnLine, "test", &devices);
    SetScript(nullptr);
    DeleteFileA(path.c_str());
    ASSERT_EQ(0, initialized);
    EXPECT_EQ(0u, devices);

    // As a program would: open the device when it comes, start again on
    // REINIT, and keep trying to open while the line is closed.
    int creates = 0, reinits = 0, closes = 0;
    std::vector<LONG> opens;
    auto open = [&] {
        opens.push_back(lineOpen(app, 0, &line, 0x00010004, 0, 0x1234, LINECALLPRIVILEGE_OWNER,
                                 LINEMEDIAMODE_AUTOMATEDVOICE, nullptr));
        return opens.back() == 0;
    };
    bool isOpen = false;
    const bool quit = PumpUntilQuit([&] {
        for (const Msg& m : g_messages) {
            if (m.message == LINE_CREATE) {
                ++creates;
                isOpen = open();
            } else if (m.message == LINE_LINEDEVSTATE && m.p1 == LINEDEVSTATE_REINIT) {
                ++reinits;
                EXPECT_EQ(E(LINEERR_REINIT), lineOpen(app, 0, &line, 0x00010004, 0, 0,
                                                      LINECALLPRIVILEGE_MONITOR, 0, nullptr));
                ASSERT_EQ(0, lineShutdown(app));
                ASSERT_EQ(0, lineInitialize(&app, nullptr, OnLine, "test", &devices));
                isOpen = open();
            } else if (m.message == LINE_CLOSE) {
                ++closes;
                isOpen = false;
            }
        }
        g_messages.clear();
        if (closes && !isOpen)
            isOpen = open();
    });
    ASSERT_TRUE(quit);
    EXPECT_EQ(1, creates);
    EXPECT_EQ(1, reinits);
    EXPECT_EQ(1, closes);
    EXPECT_EQ(0, opens.front());
    EXPECT_EQ(0, opens.back());
    EXPECT_NE(opens.end(), std::find(opens.begin(), opens.end(), E(LINEERR_RESOURCEUNAVAIL)));
    // Neither the reopen nor the new registration started the script over.
    ASSERT_EQ(2u, CallCount());
    EXPECT_TRUE(Record(1).idleMs >= 0);
    EXPECT_EQ(DWORD(LINECALLSTATE_OFFERING), Record(2).callState);
}

TEST_F(LineSimTest, CallAnsweredElsewhereConnectsWithoutLineAnswer) {
    SetRingTiming(50, 3); // a call still ringing would ring out while the test waits
    SetOption(Option::AnswerNotOwner, true);
    Open();
    uint32_t number = 0;
    const HCALL call = RingAndOffer(Caller(CallerIdKind::Number, "0123", ""), &number);
    EXPECT_EQ(E(LINEERR_NOTOWNER), lineAnswer(call, nullptr, 0));
    Pump();
    EXPECT_TRUE(Messages(LINE_REPLY).empty());
    EXPECT_EQ(-1, Record(number).answerLatencyUs);

    ASSERT_TRUE(PickUp(number));
    EXPECT_FALSE(PickUp(number)) << "picked up a call that was not ringing";
    Pump();
    Pump();
    const Msg connected = g_messages.back();
    EXPECT_EQ(DWORD(LINE_CALLSTATE), connected.message);
    EXPECT_EQ(DWORD_PTR(LINECALLSTATE_CONNECTED), connected.p1);
    EXPECT_EQ(DWORD_PTR(LINECONNECTEDMODE_ACTIVE), connected.p2);
    CallRecord r = Record(number);
    EXPECT_EQ(DWORD(LINECALLSTATE_CONNECTED), r.callState);
    EXPECT_FALSE(r.rangOut);
    EXPECT_GE(r.pickedUpMs, 0);
    EXPECT_EQ(-1, r.answeredMs);

    ASSERT_TRUE(HangUp(number));
    ASSERT_TRUE(PumpUntil([&] { return States(call).size() >= 3; }));
    EXPECT_EQ(DWORD_PTR(LINECALLSTATE_DISCONNECTED), States(call).back());
    ASSERT_GT(lineDrop(call, nullptr, 0), 0);
    ASSERT_TRUE(PumpUntil([&] { return States(call).size() >= 4; }));
    char text[256];
    CallSummary(number, text, sizeof text);
    EXPECT_TRUE(std::string(text).starts_with("call 1 from 0123: picked up by someone else after "))
        << text;
    EXPECT_TRUE(std::string(text).ends_with(", dropped after caller hung up")) << text;

    // Picked up while the program's own answer is on its way: that fails.
    SetOption(Option::AnswerNotOwner, false);
    SetReplyDelay(100);
    const HCALL late = RingAndOffer(Caller(CallerIdKind::Number, "0456", ""), &number);
    const LONG answer = lineAnswer(late, nullptr, 0);
    ASSERT_GT(answer, 0);
    ASSERT_TRUE(PickUp(number));
    DWORD_PTR result = 0;
    ASSERT_TRUE(PumpUntil([&] { return ReplyTo(answer, &result); }));
    EXPECT_EQ(DWORD_PTR(LINEERR_OPERATIONFAILED), result);
    r = Record(number);
    EXPECT_EQ(-1, r.answeredMs);
    EXPECT_EQ(DWORD(LINECALLSTATE_CONNECTED), r.callState);
}

TEST_F(LineSimTest, ServicesThatReportThingsTwice) {
    struct {
        const char* name;
        Option option;
        std::vector<DWORD_PTR> states;
        std::vector<std::pair<char, DWORD_PTR>> digits;
    } cases[] = {
        {"connected-twice",
         Option::ConnectedTwice,
         {LINECALLSTATE_OFFERING, LINECALLSTATE_CONNECTED, LINECALLSTATE_CONNECTED},
         {{'1', LINEDIGITMODE_DTMF}, {'#', LINEDIGITMODE_DTMF}}},
        {"digits-twice",
         Option::DigitsTwice,
         {LINECALLSTATE_OFFERING, LINECALLSTATE_CONNECTED},
         {{'1', LINEDIGITMODE_DTMF},
          {'1', LINEDIGITMODE_DTMFEND},
          {'#', LINEDIGITMODE_DTMF},
          {'#', LINEDIGITMODE_DTMFEND}}},
    };
    Open();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetOption(c.option, true);
        g_messages.clear();
        uint32_t number = 0;
        const HCALL call = RingAndOffer(Caller(CallerIdKind::Number, "0123", ""), &number);
        ASSERT_GT(lineAnswer(call, nullptr, 0), 0);
        ASSERT_TRUE(PumpUntil([&] { return States(call).size() >= 2; }));
        EXPECT_EQ(0, lineMonitorDigits(call, LINEDIGITMODE_DTMF)); // key-down only asked for
        KeyDigits(number, "1#");
        Pump();
        EXPECT_EQ(c.states, States(call));
        std::vector<std::pair<char, DWORD_PTR>> digits;
        for (const Msg& m : Messages(LINE_MONITORDIGITS))
            digits.emplace_back(static_cast<char>(m.p1), m.p2);
        EXPECT_EQ(c.digits, digits);
        const CallRecord r = Record(number);
        EXPECT_EQ(2u, r.digitsDelivered);
        EXPECT_STREQ("1#", r.delivered);
        ASSERT_GT(lineDrop(call, nullptr, 0), 0);
        ASSERT_TRUE(PumpUntil([&] { return States(call).back() == LINECALLSTATE_IDLE; }));
        EXPECT_EQ(0, lineDeallocateCall(call));
        SetOption(c.option, false);
    }
}

TEST_F(LineSimTest, DropsThatFailLeaveTheCallUpThenDropsWorkAgain) {
    Open();
    for (bool atOnce : {false, true}) {
        SCOPED_TRACE(atOnce ? "at once" : "in the reply");
        uint32_t number = 0;
        const HCALL call = RingAndOffer(Caller(CallerIdKind::Number, "0123", ""), &number);
        ASSERT_GT(lineAnswer(call, nullptr, 0), 0);
        ASSERT_TRUE(PumpUntil([&] { return States(call).size() >= 2; }));
        SetDropFailures(2, atOnce);
        for (int i = 0; i < 2; ++i) {
            const LONG drop = lineDrop(call, nullptr, 0);
            if (atOnce) {
                EXPECT_EQ(E(LINEERR_OPERATIONFAILED), drop);
            } else {
                ASSERT_GT(drop, 0);
                DWORD_PTR result = 0;
                ASSERT_TRUE(PumpUntil([&] { return ReplyTo(drop, &result); }));
                EXPECT_EQ(DWORD_PTR(LINEERR_OPERATIONFAILED), result);
            }
        }
        Pump();
        EXPECT_EQ(2u, States(call).size()) << "the call changed state";
        EXPECT_EQ(DWORD(LINECALLSTATE_CONNECTED), Record(number).callState);
        const LONG drop = lineDrop(call, nullptr, 0);
        ASSERT_GT(drop, 0);
        DWORD_PTR result = 1;
        ASSERT_TRUE(PumpUntil([&] { return ReplyTo(drop, &result); }));
        EXPECT_EQ(DWORD_PTR(0), result);
        ASSERT_TRUE(PumpUntil([&] { return States(call).size() >= 3; }));
        EXPECT_EQ(DWORD_PTR(LINECALLSTATE_IDLE), States(call).back());
        EXPECT_EQ(2u, Record(number).dropFailures);
        char text[256];
        CallSummary(number, text, sizeof text);
        EXPECT_NE(nullptr, std::strstr(text, ", 2 drops failed, dropped after ")) << text;
        EXPECT_EQ(0, lineDeallocateCall(call));
    }
}

TEST(LineSimScript, ParsesGoodLinesAndRefusesBadOnes) {
    struct {
        const char* line;
        bool ok;
        size_t events;
    } cases[] = {
        {"", true, 0},
        {"   # only a comment", true, 0},
        {"rings 4 every 1.5", true, 1},
        {"at 1 ring number \"01234 567890\"", true, 1},
        {"at 1.25 ring both \"0123\" \"Fred \\\"F\\\" Bloggs\" # trailing", true, 1},
        {"at 0 ring name \"\" \"\\x00\\xFF\"", true, 1},
        {"at 2 ring unknown", true, 1},
        {"at 3 callerid 2 blocked", true, 1},
        {"at 4 keys 1 12#*", true, 1},
        {"at 5 hangup 1", true, 1},
        {"at 6 dial \"0800\"", true, 1},
        {"at 9 quit", true, 1},
        {"ring number 1", false, 0},
        {"at -1 ring number", false, 0},
        {"at 1e3 ring number", false, 0},
        {"at x ring number", false, 0},
        {"at 1", false, 0},
        {"at 1 ring", false, 0},
        {"at 1 ring purple", false, 0},
        {"at 1 ring number \"1\" \"2\" \"3\"", false, 0},
        {"at 1 ring number \"unterminated", false, 0},
        {"at 1 ring number \"bad \\q escape\"", false, 0},
        {"at 1 keys 1 12x", false, 0},
        {"at 1 keys 0 1", false, 0},
        {"at 1 hangup", false, 0},
        {"at 1 quit now", false, 0},
        {"at 1 explode", false, 0},
        {"rings 0 every 1", false, 0},
        {"rings 3 every 0", false, 0},
        {"option reply-after-state on", true, 1},
        {"option no-hangup-report off # comment", true, 1},
        {"option answer-fails", false, 0},
        {"option answer-fails maybe", false, 0},
        {"option \"answer-fails\" on", false, 0},
        {"option explode on", false, 0},
        {"at 1 option answer-fails on", false, 0},
    };
    for (const auto& c : cases) {
        std::vector<ScriptEvent> events;
        std::string error;
        EXPECT_EQ(c.ok, ParseScriptLine(c.line, events, error)) << c.line << ": " << error;
        EXPECT_EQ(c.events, events.size()) << c.line;
        EXPECT_EQ(c.ok, error.empty()) << c.line;
    }
    std::vector<ScriptEvent> events;
    std::string error;
    ASSERT_TRUE(ParseScriptLine("at 1.25 ring both \"0123\" \"\\x00\\xFFz\"", events, error));
    EXPECT_EQ(1250u, events[0].atMs);
    EXPECT_EQ(CallerIdKind::Both, events[0].callerKind);
    EXPECT_EQ("0123", events[0].number);
    EXPECT_EQ(std::string("\0\xFFz", 3), events[0].name);
    events.clear();
    ASSERT_TRUE(ParseScriptLine("option idle-without-disconnected on", events, error));
    EXPECT_EQ(ScriptEvent::Kind::Option, events[0].kind);
    EXPECT_EQ(Option::IdleWithoutDisconnected, events[0].option);
    EXPECT_TRUE(events[0].on);
}

TEST(LineSimScript, ParsesTheServicesOwnEvents) {
    using K = ScriptEvent::Kind;
    struct {
        const char* line;
        bool ok;
        K kind;
        uint32_t value; // atMs for close-line's down time, else the call or count
        bool atOnce;
    } cases[] = {
        {"at 2 close-line 1.5", true, K::CloseLine, 1500, false},
        {"at 2 close-line 0", true, K::CloseLine, 0, false},
        {"at 3 reinit", true, K::Reinit, 0, false},
        {"at 4 new-device # the modem", true, K::NewDevice, 0, false},
        {"at 5 pickup 2", true, K::PickUp, 2, false},
        {"devices 0", true, K::Devices, 0, false},
        {"devices 1", true, K::Devices, 1, false},
        {"drop-fails 3", true, K::DropFails, 3, false},
        {"drop-fails 1 at-once", true, K::DropFails, 1, true},
        {"drop-fails 0", true, K::DropFails, 0, false},
        {"option answer-not-owner on", true, K::Option, 0, false},
        {"option digits-twice on", true, K::Option, 0, false},
        {"option connected-twice off", true, K::Option, 0, false},
        {"at 1 close-line", false, K::Ring, 0, false},
        {"at 1 close-line -1", false, K::Ring, 0, false},
        {"at 1 close-line soon", false, K::Ring, 0, false},
        {"at 1 close-line 1 2", false, K::Ring, 0, false},
        {"at 1 reinit now", false, K::Ring, 0, false},
        {"at 1 new-device 0", false, K::Ring, 0, false},
        {"at 1 pickup", false, K::Ring, 0, false},
        {"at 1 pickup 0", false, K::Ring, 0, false},
        {"at 1 pickup 1 2", false, K::Ring, 0, false},
        {"devices", false, K::Ring, 0, false},
        {"devices 2", false, K::Ring, 0, false},
        {"devices 0 1", false, K::Ring, 0, false},
        {"at 1 devices 0", false, K::Ring, 0, false},
        {"drop-fails", false, K::Ring, 0, false},
        {"drop-fails -1", false, K::Ring, 0, false},
        {"drop-fails 1 later", false, K::Ring, 0, false},
        {"drop-fails 1 \"at-once\"", false, K::Ring, 0, false},
        {"drop-fails 1 at-once 2", false, K::Ring, 0, false},
        {"at 1 drop-fails 1", false, K::Ring, 0, false},
        {"option digits-thrice on", false, K::Ring, 0, false},
    };
    for (const auto& c : cases) {
        std::vector<ScriptEvent> events;
        std::string error;
        ASSERT_EQ(c.ok, ParseScriptLine(c.line, events, error)) << c.line << ": " << error;
        EXPECT_EQ(c.ok, error.empty()) << c.line;
        if (!c.ok) {
            EXPECT_TRUE(events.empty()) << c.line;
            continue;
        }
        ASSERT_EQ(1u, events.size()) << c.line;
        const ScriptEvent& e = events[0];
        EXPECT_EQ(c.kind, e.kind) << c.line;
        const uint32_t value = c.kind == K::CloseLine ? e.downMs
                               : c.kind == K::PickUp  ? e.call
                                                      : e.count;
        EXPECT_EQ(c.value, value) << c.line;
        EXPECT_EQ(c.atOnce, e.atOnce) << c.line;
    }
    std::vector<ScriptEvent> events;
    std::string error;
    ASSERT_TRUE(ParseScriptLine("option connected-twice on", events, error));
    EXPECT_EQ(Option::ConnectedTwice, events[0].option);

    // A bad line in a file is reported with its number.
    const std::string path = WriteScript("linesim-bad.txt", "devices 0\nat 1 pickup x\n");
    ASSERT_FALSE(path.empty());
    events.clear();
    EXPECT_FALSE(LoadScript(path, events, error));
    DeleteFileA(path.c_str());
    EXPECT_NE(std::string::npos, error.find(" line 2: expected: pickup CALL")) << error;
}

// What a caller says into the call's wave input, and the line's tone once
// it has gone.
TEST(LineSimScript, ParsesWhatTheCallerSays) {
    using S = ScriptEvent::Said;
    struct {
        const char* line;
        bool ok;
        S said;
        double f1, f2;
        uint32_t lengthMs;
    } cases[] = {
        {"at 1 say 2 \"hello.wav\"", true, S::File, 0, 0, 0},
        {"at 1 say 2 noise 5", true, S::Noise, 0, 0, 5000},
        {"at 1 say 2 tone 425 1.5", true, S::Tone, 425, 0, 1500},
        {"at 1 say 2 tone 350 440 3", true, S::Tone, 350, 440, 3000},
        {"at 1 say 2", false, S::File, 0, 0, 0},
        {"at 1 say 0 noise 5", false, S::File, 0, 0, 0},
        {"at 1 say 2 hello.wav", false, S::File, 0, 0, 0},
        {"at 1 say 2 \"a.wav\" 3", false, S::File, 0, 0, 0},
        {"at 1 say 2 noise", false, S::File, 0, 0, 0},
        {"at 1 say 2 tone 5", false, S::File, 0, 0, 0},
        {"at 1 say 2 tone 10 1", false, S::File, 0, 0, 0},
        {"at 1 say 2 tone 440 480 620 1", false, S::File, 0, 0, 0},
    };
    for (const auto& c : cases) {
        std::vector<ScriptEvent> events;
        std::string error;
        ASSERT_EQ(c.ok, ParseScriptLine(c.line, events, error)) << c.line << ": " << error;
        if (!c.ok)
            continue;
        ASSERT_EQ(1u, events.size()) << c.line;
        EXPECT_EQ(ScriptEvent::Kind::Say, events[0].kind);
        EXPECT_EQ(2u, events[0].call);
        EXPECT_EQ(c.said, events[0].said) << c.line;
        EXPECT_EQ(c.f1, events[0].f1) << c.line;
        EXPECT_EQ(c.f2, events[0].f2) << c.line;
        EXPECT_EQ(c.lengthMs, events[0].lengthMs) << c.line;
    }
    struct {
        const char* line;
        bool ok;
        ScriptEvent::Kind kind;
        LineTone tone;
        WaveInput input;
    } others[] = {
        {"at 4 gone 3 dial", true, ScriptEvent::Kind::Gone, LineTone::Dial, WaveInput::Works},
        {"at 4 gone 3 busy", true, ScriptEvent::Kind::Gone, LineTone::Busy, WaveInput::Works},
        {"at 4 gone 3 reorder", true, ScriptEvent::Kind::Gone, LineTone::Reorder, WaveInput::Works},
        {"wave-in missing", true, ScriptEvent::Kind::WaveIn, LineTone::Dial, WaveInput::Missing},
        {"wave-in refuses", true, ScriptEvent::Kind::WaveIn, LineTone::Dial, WaveInput::Refuses},
        {"at 4 gone 3", false, {}, {}, {}},
        {"at 4 gone 3 ringing", false, {}, {}, {}},
        {"wave-in broken", false, {}, {}, {}},
        {"at 1 wave-in missing", false, {}, {}, {}},
    };
    for (const auto& c : others) {
        std::vector<ScriptEvent> events;
        std::string error;
        ASSERT_EQ(c.ok, ParseScriptLine(c.line, events, error)) << c.line << ": " << error;
        if (!c.ok)
            continue;
        EXPECT_EQ(c.kind, events[0].kind) << c.line;
        EXPECT_EQ(c.tone, events[0].tone) << c.line;
        EXPECT_EQ(c.input, events[0].waveIn) << c.line;
    }
}

} // namespace
} // namespace rw::linesim
