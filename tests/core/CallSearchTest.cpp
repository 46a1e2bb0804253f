// The search box's rule: a name by any part of it, a number by any part of
// it in any writing, national or international.
#include "records/CallSearch.h"
#include "records/LoggedCall.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace rw {
namespace {

TEST(CallSearch, ANumberInAnyWritingFindsTheSameCalls) {
    // The calls' numbers as lines send them.
    const std::vector<std::string> numbers = {
        "01632 960555",        // 0: national, spaced
        "+441632960555",       // 1: international
        "00441632960555",      // 2: international, from a "00" country
        "1632960555",          // 3: without the trunk zero
        "01632 960556",        // 4: one digit off
        "+33 1 63 29 60 55 5", // 5: France: another country, the same digits after its code
        "<Blocked>",           // 6: a call type
        "0800 111 222",        // 7
    };
    const struct {
        const char* typed;
        std::vector<int> found;
    } cases[] = {
        {"01632 960555", {0, 1, 2, 3, 5}},
        {"+44 1632 960555", {0, 1, 2, 3, 5}},
        {"+44 (0)1632 960555", {0, 1, 2, 3, 5}},
        {"0044 1632 960555", {0, 1, 2, 3, 5}},
        {"1632960555", {0, 1, 2, 3, 5}},
        {"(01632) 960-555", {0, 1, 2, 3, 5}},
        {"960 55", {0, 1, 2, 3, 4, 5}}, // a part, while typing
        {"0163", {0, 1, 2, 3, 4, 5}},
        {"960556", {4}},
        {"+4", {1, 2}},               // still typing the country code: its digits as they are
        {"0", {0, 1, 2, 3, 4, 5, 7}}, // any number with a 0
        {"0800*", {7}},
        {"blocked", {6}}, // a call type by its text
        {"  ", {0, 1, 2, 3, 4, 5, 6, 7}},
        {"+44 1632 960999", {}},
    };
    for (const auto& c : cases) {
        const CCallSearch search(c.typed);
        std::vector<int> found;
        for (size_t i = 0; i < numbers.size(); ++i)
            if (search.Matches(std::string("Caller"), numbers[i]))
                found.push_back(static_cast<int>(i));
        EXPECT_EQ(found, c.found) << "typed \"" << c.typed << "\"";
    }
}

TEST(CallSearch, NamesByAnyPartAndTheCallerIdsNameForACallerWithoutAnEntry) {
    CLoggedCall known;
    known.SetName("Dr. O'Brien Surgery");
    known.SetNumber("0161 496 0000");
    CLoggedCall unknown;
    unknown.SetName("<No Phone Book Entry>");
    unknown.SetCallerIdName("WIRELESS CALLER");
    unknown.SetNumber("07700 900123");
    const struct {
        const char* typed;
        bool known, unknown;
    } cases[] = {
        {"surgery", true, false},  {"O'BRIEN", true, false},       {"dr. o", true, false},
        {"wireless", false, true}, {"no phone", false, true},      {"+44 7700", false, true},
        {"496 0000", true, false}, {"Surgery 0161", false, false}, {"", true, true},
    };
    for (const auto& c : cases) {
        const CCallSearch search(c.typed);
        EXPECT_EQ(search.Matches(known), c.known) << c.typed;
        EXPECT_EQ(search.Matches(unknown), c.unknown) << c.typed;
    }
    // Country codes are read by the numbering plan's lengths.
    for (const auto& [digits, length] : std::vector<std::pair<const char*, size_t>>{{"1555", 1},
                                                                                    {"74951", 1},
                                                                                    {"4420", 2},
                                                                                    {"420601", 3},
                                                                                    {"353861", 3},
                                                                                    {"33612", 2},
                                                                                    {"8613", 2},
                                                                                    {"852912", 3},
                                                                                    {"9198", 2},
                                                                                    {"97150", 3}})
        EXPECT_EQ(CCallSearch::CountryCodeLength(digits), length) << digits;
}

} // namespace
} // namespace rw
