// The ring test's words: what the window shows at each step of the user's
// test call, and a caller's text that is never read as part of the format.
#include "app/RingTest.h"
#include "records/CallAction.h"

#include <gtest/gtest.h>

#include <string>

namespace rw {
namespace {

CDateTime At(int hour, int minute, int second, int ms = 0) {
    return CDateTime(CDateTime::FromParts(2026, 12, 11, hour, minute, second).GetDays() +
                     ms / 86400000.0);
}

TEST(RingTest, EachStepSaysWhatTheLineReported) {
    CRingTest test;
    int changes = 0;
    test.SetOnChange([&] { ++changes; });
    EXPECT_EQ(test.Text(), "");
    test.Start(At(10, 0, 0));
    EXPECT_TRUE(test.Listening());
    EXPECT_NE(test.Text().find("Waiting since 10:00:00"), std::string::npos);
    test.OnTestRing(At(10, 0, 20));
    EXPECT_NE(test.Text().find("The ring came at 10:00:20."), std::string::npos);
    EXPECT_NE(test.Text().find("Waiting for its caller ID"), std::string::npos);

    CLoggedCall call;
    call.SetNumber("01632 960555");
    call.SetHasNumber(true);
    call.SetCallerIdName("%s %s"); // a caller's text, never a format
    call.SetName("<No Phone Book Entry>");
    call.SetCallerIdKind(CallerIdNameAndNumber);
    call.SetAction(ActionBlockAlwaysDefault);
    test.OnTestCallerId(call, At(10, 0, 21, 250));
    EXPECT_FALSE(test.Listening());
    const std::string text = test.Text();
    EXPECT_NE(text.find("Caller ID came at 10:00:21, 1.3 seconds after the ring: number "
                        "\"01632 960555\", name \"%s %s\", kind: a name and a number."),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Ringwarden would have screened it: " +
                        ActionText(ActionBlockAlwaysDefault) + " (<No Phone Book Entry>)."),
              std::string::npos)
        << text;
    // Late news of the same call changes nothing.
    test.OnTestCallGone();
    EXPECT_EQ(test.Text(), text);
    EXPECT_EQ(changes, 3);
}

TEST(RingTest, ACallThatEndsWithoutCallerIdSaysWhatToDo) {
    CRingTest test;
    test.Start(At(9, 0, 0));
    test.OnTestCallGone(); // before any ring: still waiting
    EXPECT_TRUE(test.Listening());
    test.OnTestRing(At(9, 0, 5));
    test.OnTestCallGone();
    EXPECT_EQ(test.GetState(), CRingTest::State::GoneWithoutCallerId);
    EXPECT_NE(test.Text().find("no caller ID came"), std::string::npos);
}

} // namespace
} // namespace rw
