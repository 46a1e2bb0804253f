// Who may leave a message under each pair of settings, and the folder's cap.
#include "app/MessagePolicy.h"
#include "records/CallAction.h"

#include <gtest/gtest.h>

namespace rw {
namespace {

TEST(MessagePolicy, WhoMayLeaveAMessage) {
    // Columns: both settings on, time-blocked only, unknown callers only, none.
    const MessageRules settings[] = {{true, true}, {true, false}, {false, true}, {false, false}};
    struct Case {
        int32_t action;
        bool may[4];
    } cases[] = {
        {ActionBlockByTime, {true, true, false, false}},
        {ActionBlockAlwaysDefault, {true, false, true, false}},
        {ActionBlockByTimeDefault, {true, true, true, false}},
        // The nuisance callers, and calls that were never answered.
        {ActionBlockAlways, {false, false, false, false}},
        {ActionBlockFailed, {false, false, false, false}},
        {ActionPermitNeverBlock, {false, false, false, false}},
        {ActionPermitRepeatedCall, {false, false, false, false}},
        {ActionWaitingForCallerId, {false, false, false, false}},
    };
    for (const Case& c : cases)
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(c.may[i], MayLeaveMessage(c.action, settings[i]))
                << "action " << c.action << ", settings " << i;
}

TEST(MessagePolicy, FolderFullAtAThousandOrAGigabyte) {
    EXPECT_FALSE(MessageFolderFull(999, kMaxMessageBytes - 1));
    EXPECT_TRUE(MessageFolderFull(1000, 0));
    EXPECT_TRUE(MessageFolderFull(0, kMaxMessageBytes));
}

} // namespace
} // namespace rw
