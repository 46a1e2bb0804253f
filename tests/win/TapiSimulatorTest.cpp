// The telephony layer with the line simulator loaded as the program loads
// it (--line-simulator): the whole life of one blocked call, and hostile
// caller-ID texts reaching the reader.
#include "LineSim.h"
#include "app/CommandLine.h"
#include "app/ModemCheck.h"
#include "telephony/TapiApi.h"
#include "telephony/TapiCall.h"
#include "telephony/TapiCallInfo.h"
#include "telephony/TapiDeviceId.h"
#include "telephony/TapiLine.h"
#include "telephony/TapiRegistration.h"
#include "../support/ExePath.h"
#include "../support/MessagePump.h"
#include "../support/SimCaller.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace rw {
namespace {

using namespace rw::linesim;

using test::PumpUntil;

// Follows every call it is told of, as the screening engine does, and
// deletes the call object when the call goes idle.
struct Engine : CTapiLineNotify, CTapiCallNotify {
    std::vector<std::string> heard;
    std::unique_ptr<CTapiCall> call;
    std::string name, number;
    DWORD origin = 0;
    std::vector<DWORD> states;
    std::string digits;
    std::vector<std::string> replies;

    void OnLineNewCall(CTapiLine* line, HCALL handle, DWORD, DWORD) override {
        CTapiCallInfo info(handle);
        if (info.Fetch() == 0) {
            origin = info.Origin();
            name = info.CallerIdName();
            number = info.CallerIdNumber();
        }
        call = std::make_unique<CTapiCall>(line, handle, this);
    }
    void OnCallState(CTapiCall*, DWORD state, DWORD, DWORD) override {
        states.push_back(state);
        if (state == LINECALLSTATE_IDLE)
            call.reset();
    }
    void OnCallMonitorDigits(CTapiCall*, DWORD digit, DWORD) override {
        digits += static_cast<char>(digit);
    }
    void OnCallReply(CTapiCall*, LONG, LONG result, DWORD kind) override {
        replies.push_back(std::to_string(kind) + ":" + std::to_string(result));
    }
    bool Saw(DWORD state) const {
        return std::find(states.begin(), states.end(), state) != states.end();
    }
};

class TapiSimulatorTest : public testing::Test {
protected:
    void SetUp() override {
        SetShowWindow(false);
        SetPrintSummary(false);
        SetRingTiming(50, 100);
        SetTapiApi(&loader);
        ASSERT_EQ(0, RegisterLineApp(nullptr, nullptr, nullptr));
        ASSERT_EQ(1u, LineDeviceCount());
        EXPECT_EQ(0, RegisterPhoneApp(nullptr, nullptr, nullptr));
        EXPECT_EQ(0u, PhoneDeviceCount());
        ASSERT_EQ(0, line.OpenWithFallback(0, &engine));
    }
    void TearDown() override {
        engine.call.reset();
        EXPECT_EQ(0, line.Close());
        EXPECT_EQ(0, UnregisterLineApp());
        UnregisterPhoneApp();
        SetTapiApi(nullptr);
    }

    CTapiLoader loader{test::SimulatorPath()};
    Engine engine;
    CTapiLine line;
};

using test::Caller;

TEST_F(TapiSimulatorTest, BlockedCallFromRingToDeallocation) {
    const std::string number = "01234 567890", name = "Nuisance Ltd";
    const uint32_t id = Ring(Caller(CallerIdKind::Both, number, name));
    ASSERT_NE(0u, id);
    ASSERT_TRUE(PumpUntil([&] { return engine.Saw(LINECALLSTATE_OFFERING); }));
    ASSERT_TRUE(engine.call);
    EXPECT_EQ(DWORD(LINECALLORIGIN_INBOUND), engine.origin);
    EXPECT_EQ(number, engine.number);
    EXPECT_EQ(name, engine.name);
    CTapiCall* call = engine.call.get();
    EXPECT_EQ(call, FindCall(call->Handle()));

    // Answer: a request id now, the reply and the connected state later.
    EXPECT_GT(call->Answer(), 0);
    ASSERT_TRUE(PumpUntil([&] { return engine.Saw(LINECALLSTATE_CONNECTED); }));
    ASSERT_TRUE(PumpUntil([&] { return !engine.replies.empty(); }));
    EXPECT_EQ("2:0", engine.replies[0]);

    // The caller keys digits only heard while monitoring is on.
    ASSERT_TRUE(KeyDigits(id, "9"));
    EXPECT_EQ(0, call->MonitorDigits(LINEDIGITMODE_DTMF));
    ASSERT_TRUE(KeyDigits(id, "1#"));
    ASSERT_TRUE(PumpUntil([&] { return engine.digits.size() >= 2; }));
    EXPECT_EQ("1#", engine.digits);
    EXPECT_EQ(0, call->MonitorDigits(0));

    CTapiDeviceId wave = CTapiDeviceId::ForCall("wave/out", call->Handle());
    ASSERT_EQ(0, wave.Fetch());
    DWORD device = 99;
    ASSERT_TRUE(wave.DeviceId(device));
    // This program plays sound through its own imports (the screener's
    // player is linked in), so the call has a device of its own:
    // 0x52000000 plus its number.
    EXPECT_EQ(0x52000000u + id, device);

    // The caller hangs up; the call is dropped and goes idle, where the
    // engine deletes it from inside the notification.
    ASSERT_TRUE(HangUp(id));
    ASSERT_TRUE(PumpUntil([&] { return engine.Saw(LINECALLSTATE_DISCONNECTED); }));
    EXPECT_GT(call->Drop(), 0);
    ASSERT_TRUE(PumpUntil([&] { return engine.Saw(LINECALLSTATE_IDLE); }));
    EXPECT_FALSE(engine.call);

    CallRecord record{};
    ASSERT_TRUE(GetCallRecord(id, &record));
    EXPECT_GE(record.answeredMs, 0);
    EXPECT_GE(record.hungUpMs, 0);
    EXPECT_GE(record.droppedMs, 0);
    EXPECT_TRUE(record.deallocated);
    EXPECT_EQ(1u, record.monitorOn);
    EXPECT_EQ(1u, record.monitorOff);
    EXPECT_EQ(1u, record.waveOutRequests);
    EXPECT_STREQ("1#", record.delivered);
    EXPECT_TRUE(line.UnownedCalls().empty());
}

TEST_F(TapiSimulatorTest, HostileCallerIdTextsReachTheReaderSafely) {
    std::string noise;
    for (int b = 1; b < 256; ++b)
        noise += static_cast<char>(b);
    const std::string longText(5000, 'x');
    struct Case {
        TextLayout layout;
        std::string text;
        std::string expected;
    } cases[] = {
        {TextLayout::Normal, "", ""},
        {TextLayout::Normal, noise, noise},
        {TextLayout::Normal, longText, longText},
        {TextLayout::Normal, std::string("ab\0cd", 5), "ab"},
        {TextLayout::EmptyAtOffset, "0123", ""},
        {TextLayout::Unterminated, "0123", "0123"},
        {TextLayout::Unterminated, noise, noise},
        // Claims 4096 bytes more than there are: only the real ones count.
        {TextLayout::Overrun, "0123", "0123"},
    };
    for (const Case& c : cases) {
        const uint32_t id = Ring(Caller(CallerIdKind::Both, c.text, c.text, c.layout));
        ASSERT_TRUE(PumpUntil([&] { return engine.call != nullptr; }));
        EXPECT_EQ(c.expected, engine.number);
        EXPECT_EQ(c.expected, engine.name);
        ASSERT_TRUE(HangUp(id));
        ASSERT_TRUE(PumpUntil([&] { return engine.call == nullptr; }));
        engine.name.clear();
        engine.number.clear();
    }
}

} // namespace
} // namespace rw

namespace rw {
namespace {

// What the modem check reads from modems of different abilities, as the
// simulator describes them: through the program's own open line, or by
// itself (--check-modem), when it opens the line only to monitor.
TEST(ModemCheckTest, EachModemIsDescribedAsTheSimulatorMakesIt) {
    constexpr Can Y = Can::Yes, N = Can::No, U = Can::Unknown;
    struct Case {
        const char* name;
        std::vector<Option> options;
        bool voice;
        bool programOpen; // the program has the line open (else the check alone)
        Can callerId, voiceAbility, owner, play, record, keys;
    } cases[] = {
        {"a voice modem", {}, true, true, Y, Y, Y, Y, Y, Y},
        {"no caller ID", {Option::NoCallerId}, true, true, N, Y, Y, Y, Y, Y},
        {"no wave input", {Option::NoWaveIn}, true, true, Y, Y, Y, Y, N, Y},
        {"no DTMF", {Option::NoDtmf}, true, true, Y, Y, Y, Y, Y, N},
        {"another program owns it", {Option::MonitorOnly}, true, true, Y, Y, N, Y, Y, Y},
        {"a data modem", {}, false, true, Y, N, N, N, N, N},
        {"the check alone", {}, true, false, Y, Y, U, Y, Y, Y},
    };
    CTapiLoader loader{test::SimulatorPath()};
    SetShowWindow(false);
    SetPrintSummary(false);
    SetTapiApi(&loader);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (Option o : c.options)
            SetOption(o, true);
        SetVoiceSupported(c.voice);
        ASSERT_EQ(0, RegisterLineApp(nullptr, nullptr, nullptr));
        CTapiLine line;
        if (c.programOpen) {
            ASSERT_EQ(0, line.OpenWithFallback(0, nullptr));
        }
        const std::vector<CModemDescription> modems =
            CModemCheck::Describe({c.programOpen ? &line : nullptr});
        ASSERT_EQ(1u, modems.size());
        const CModemDescription& m = modems[0];
        EXPECT_FALSE(m.name.empty());
        EXPECT_EQ(c.programOpen, m.watched);
        EXPECT_EQ(c.callerId, m.callerId.can) << m.callerId.evidence;
        EXPECT_EQ(c.voiceAbility, m.voice.can) << m.voice.evidence;
        EXPECT_EQ(c.owner, m.owner.can) << m.owner.evidence;
        EXPECT_EQ(c.play, m.play.can) << m.play.evidence;
        EXPECT_EQ(c.record, m.record.can) << m.record.evidence;
        EXPECT_EQ(c.keys, m.keys.can) << m.keys.evidence;
        if (!c.programOpen) {
            // The check let go of its monitor handle: the line opens as
            // owner (the simulated modem opens to one at a time).
            EXPECT_EQ(0, line.OpenWithFallback(0, nullptr));
            EXPECT_TRUE(line.IsOwner());
        }
        line.Close();
        UnregisterLineApp();
        for (Option o : c.options)
            SetOption(o, false);
        SetVoiceSupported(true);
    }
    SetTapiApi(nullptr);
}

} // namespace
} // namespace rw
