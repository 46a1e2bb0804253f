// The line's health: which state a sequence of line and caller-ID events
// leaves, what the tray shows for it, and that each change is told once.
#include "app/LineHealth.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace rw {
namespace {

struct Step {
    enum Kind { Lines, CallerId } kind;
    unsigned owner = 0, monitor = 0;
    LineTrouble why = LineTrouble::None;
    bool arrived = false;
};

Step Lines(unsigned owner, unsigned monitor, LineTrouble why = LineTrouble::None) {
    return {Step::Lines, owner, monitor, why, false};
}
Step CallerId(bool arrived) {
    return {Step::CallerId, 0, 0, LineTrouble::None, arrived};
}

TEST(LineHealth, EventsGiveStateAndTray) {
    struct Case {
        const char* name;
        std::vector<Step> steps;
        LineWatch state;
        unsigned icon, tip;
    } cases[] = {
        {"a line open as owner", {Lines(1, 0)}, LineWatch::Watching, IDI_TRAY_IDLE, IDS_TRAY_IDLE},
        {"nothing reported yet",
         {},
         LineWatch::NotWatching,
         IDI_TRAY_NOT_WATCHING,
         IDS_NOT_WATCHING_NO_TAPI},
        {"no device",
         {Lines(0, 0, LineTrouble::NoLine)},
         LineWatch::NotWatching,
         IDI_TRAY_NOT_WATCHING,
         IDS_NOT_WATCHING_NO_LINE},
        {"no device would open",
         {Lines(0, 0, LineTrouble::OpenFailed)},
         LineWatch::NotWatching,
         IDI_TRAY_NOT_WATCHING,
         IDS_NOT_WATCHING_OPEN_FAILED},
        {"the line closed",
         {Lines(1, 0), Lines(0, 0, LineTrouble::Closed)},
         LineWatch::NotWatching,
         IDI_TRAY_NOT_WATCHING,
         IDS_NOT_WATCHING_CLOSED},
        {"telephony restarting",
         {Lines(1, 0), Lines(0, 0, LineTrouble::Reinit)},
         LineWatch::NotWatching,
         IDI_TRAY_NOT_WATCHING,
         IDS_NOT_WATCHING_REINIT},
        {"reopened",
         {Lines(0, 0, LineTrouble::Closed), Lines(1, 0)},
         LineWatch::Watching,
         IDI_TRAY_IDLE,
         IDS_TRAY_IDLE},
        {"monitor rights only",
         {Lines(0, 1)},
         LineWatch::MonitorOnly,
         IDI_TRAY_WARNING,
         IDS_WARN_MONITOR_ONLY},
        {"an owner line beside a monitor one",
         {Lines(1, 1)},
         LineWatch::Watching,
         IDI_TRAY_IDLE,
         IDS_TRAY_IDLE},
        {"two calls without caller ID",
         {Lines(1, 0), CallerId(false), CallerId(false)},
         LineWatch::Watching,
         IDI_TRAY_IDLE,
         IDS_TRAY_IDLE},
        {"three in a row",
         {Lines(1, 0), CallerId(false), CallerId(false), CallerId(false)},
         LineWatch::NoCallerId,
         IDI_TRAY_WARNING,
         IDS_WARN_NO_CALLER_ID},
        {"broken by one with caller ID",
         {Lines(1, 0), CallerId(false), CallerId(false), CallerId(true), CallerId(false),
          CallerId(false)},
         LineWatch::Watching,
         IDI_TRAY_IDLE,
         IDS_TRAY_IDLE},
        {"cleared by the next with caller ID",
         {Lines(1, 0), CallerId(false), CallerId(false), CallerId(false), CallerId(false),
          CallerId(true)},
         LineWatch::Watching,
         IDI_TRAY_IDLE,
         IDS_TRAY_IDLE},
        {"not watching outranks the caller-ID warning",
         {Lines(1, 0), CallerId(false), CallerId(false), CallerId(false),
          Lines(0, 0, LineTrouble::Closed)},
         LineWatch::NotWatching,
         IDI_TRAY_NOT_WATCHING,
         IDS_NOT_WATCHING_CLOSED},
    };
    for (const Case& c : cases) {
        CLineHealth health;
        for (const Step& s : c.steps) {
            if (s.kind == Step::Lines)
                health.SetLines(s.owner, s.monitor, s.why);
            else
                health.OnCallerIdOutcome(s.arrived);
        }
        EXPECT_EQ(c.state, health.State()) << c.name;
        EXPECT_EQ(c.icon, health.IdleIcon()) << c.name;
        EXPECT_EQ(c.tip, health.IdleTip()) << c.name;
    }
}

TEST(LineHealth, EachChangeIsToldOnceWhenItStartsAndWhenItEnds) {
    CLineHealth health;
    unsigned title = 0, text = 0;
    bool warning = false;
    std::vector<std::string> told;
    auto take = [&] {
        while (health.TakeAnnouncement(title, text, warning))
            told.push_back(std::to_string(title) + "/" + std::to_string(text) +
                           (warning ? " warning" : ""));
    };
    health.SetLines(1, 0, LineTrouble::None);
    take(); // watching from the start: nothing to tell
    EXPECT_TRUE(told.empty());

    health.SetLines(0, 0, LineTrouble::Closed);
    take();
    // Each failed reopen changes the reason, not the state: no new word.
    health.SetLines(0, 0, LineTrouble::OpenFailed);
    take();
    health.SetLines(1, 0, LineTrouble::None);
    take();
    for (int i = 0; i < 4; ++i)
        health.OnCallerIdOutcome(false);
    take();
    health.OnCallerIdOutcome(true);
    take();
    const std::vector<std::string> expected = {
        std::to_string(IDS_NOT_WATCHING_CLOSED) + "/" + std::to_string(IDS_BALLOON_RETRYING) +
            " warning",
        std::to_string(IDS_WATCHING_AGAIN) + "/" + std::to_string(IDS_BALLOON_WATCHING),
        std::to_string(IDS_WARN_NO_CALLER_ID) + "/" + std::to_string(IDS_BALLOON_NO_CALLER_ID) +
            " warning",
        std::to_string(IDS_WATCHING_AGAIN) + "/" + std::to_string(IDS_BALLOON_WATCHING),
    };
    EXPECT_EQ(expected, told);
}

} // namespace
} // namespace rw
