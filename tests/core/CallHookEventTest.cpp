// Which calls the program for each call runs for, what it is told they
// came to, and the variables it gets, whatever the line sent.
#include "app/CallHookEvent.h"
#include "records/CallAction.h"
#include "records/LoggedCall.h"
#include "records/StringTable.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace rw {
namespace {

TEST(CallHookEvent, EachOutcomeIsOneEventAndRunsForTheEventsThatAskForIt) {
    const struct {
        int32_t action;
        bool message;
        const char* event;
        bool all, blocked, messages;
    } cases[] = {
        {ActionPermitNeverBlock, false, "call", true, false, false},
        {ActionPermitRepeatedCall, false, "call", true, false, false},
        {ActionWaitingForCallerId, false, "call", true, false, false}, // ended before caller ID
        {ActionBlockFailed, false, "call", true, false, false},        // left to ring
        {ActionNotAnsweredLineBusy, false, "call", true, false, false},
        {ActionBlockAlways, false, "blocked", true, true, false},
        {ActionBlockByTimeDefault, false, "blocked", true, true, false},
        {ActionBlockQuiet, false, "blocked", true, true, false},
        {ActionKeyCheck, false, "blocked", true, true, false}, // hung up when asked
        {ActionBlockNoKeyPressed, false, "blocked", true, true, false},
        {ActionBlockByTime, true, "message", true, true, true},
        {ActionBlockNoKeyPressed, true, "message", true, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ActionText(c.action) + (c.message ? " with a message" : ""));
        CLoggedCall call;
        call.SetAction(c.action);
        if (c.message)
            call.SetRecording("20261201-120000.wav", 3000);
        EXPECT_STREQ(HookEventOf(call), c.event);
        EXPECT_EQ(HookWanted(HookEvents::All, call), c.all);
        EXPECT_EQ(HookWanted(HookEvents::Blocked, call), c.blocked);
        EXPECT_EQ(HookWanted(HookEvents::Messages, call), c.messages);
    }

    // The setting's words, and nothing else, read back.
    for (HookEvents events : {HookEvents::All, HookEvents::Blocked, HookEvents::Messages}) {
        HookEvents read = HookEvents::All;
        EXPECT_TRUE(ParseHookEvents(HookEventsName(events), read));
        EXPECT_EQ(read, events);
    }
    HookEvents unchanged = HookEvents::Messages;
    for (const char* word : {"", "All", "message", "blocked ", "every"})
        EXPECT_FALSE(ParseHookEvents(word, unchanged)) << word;
    EXPECT_EQ(unchanged, HookEvents::Messages);
}

TEST(CallHookEvent, TheVariablesCarryTheCallsTextsAsTheyCameSafeForAnEnvironment) {
    CLoggedCall call;
    call.SetCallTime(CDateTime::FromParts(2026, 12, 1, 9, 5, 7));
    const std::string hostile = "\"& del x & echo \" %PATH% ^|<>\r\n\xe9";
    call.SetName(hostile); // as an entry's name
    call.SetNumber(std::string("0161\0 496", 9) + std::string(5000, '7'));
    call.SetCallerIdKind(CallerIdNameAndNumber);
    call.SetAction(ActionBlockByTime);
    call.SetRecording("m.wav", 1000);

    std::map<std::string, CHookVariable> vars;
    for (const CHookVariable& v : HookVariables(call, "C:\\Users\\Zo\xc3\xab\\Messages\\m.wav"))
        vars[v.name] = v;
    ASSERT_EQ(vars.size(), 7u);
    EXPECT_EQ(vars["RINGWARDEN_TIME"].value, "2026-12-01 09:05:07");
    EXPECT_EQ(vars["RINGWARDEN_NAME"].value, hostile) << "kept byte for byte";
    const std::string number = vars["RINGWARDEN_NUMBER"].value;
    EXPECT_EQ(number.size(), kHookValueMax);
    EXPECT_EQ(number.substr(0, 9), "0161  496") << "a NUL would end the value";
    EXPECT_EQ(vars["RINGWARDEN_CALL_TYPE"].value, "name and number");
    EXPECT_EQ(vars["RINGWARDEN_ACTION"].value, ActionText(ActionBlockByTime));
    EXPECT_EQ(vars["RINGWARDEN_MESSAGE"].value, "C:\\Users\\Zo\xc3\xab\\Messages\\m.wav");
    EXPECT_TRUE(vars["RINGWARDEN_MESSAGE"].utf8);
    EXPECT_FALSE(vars["RINGWARDEN_NAME"].utf8) << "the system code page, as the line gave it";
    EXPECT_EQ(vars["RINGWARDEN_EVENT"].value, "message");

    // A caller without an entry is named by the caller ID; one with an
    // entry by the phone book.
    call.SetCallerIdName("WIRELESS CALLER");
    call.SetName(LoadResString(IDS_NO_PHONE_BOOK_ENTRY));
    EXPECT_EQ(HookVariables(call, "")[2].value, "WIRELESS CALLER");
    call.SetName("Aunt May");
    EXPECT_EQ(HookVariables(call, "")[2].value, "Aunt May");

    // A call never given a time, and no message: empty, never missing.
    CLoggedCall bare;
    for (const CHookVariable& v : HookVariables(bare, "")) {
        if (v.name == "RINGWARDEN_TIME" || v.name == "RINGWARDEN_MESSAGE") {
            EXPECT_EQ(v.value, "") << v.name;
        }
    }
}

} // namespace
} // namespace rw
