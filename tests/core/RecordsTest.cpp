#include "records/LoggedCall.h"
#include "records/LookupKey.h"
#include "records/PhoneBook.h"
#include "records/PhoneBookEntry.h"
#include "records/RingwardenPreferences.h"
#include "records/StringTable.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>

namespace rw {
namespace {

struct KeyCase {
    const char* number;
    const char* key;
};

void PrintTo(const KeyCase& c, std::ostream* os) {
    *os << '"' << c.number << '"';
}

class LookupKeyTest : public testing::TestWithParam<KeyCase> {};

TEST_P(LookupKeyTest, EntryAndLoggedCallMakeTheSameKey) {
    CPhoneBookEntry entry;
    entry.Number = GetParam().number;
    entry.MakeLookupKey();
    EXPECT_EQ(entry.LookupKey, GetParam().key);

    CLoggedCall call;
    call.SetNumber(GetParam().number);
    EXPECT_EQ(call.GetLookupKey(), "") << "SetNumber must not refresh the key";
    call.MakeLookupKey();
    EXPECT_EQ(call.GetLookupKey(), GetParam().key);
}

INSTANTIATE_TEST_SUITE_P(Keys, LookupKeyTest,
                         testing::Values(KeyCase{"(01234) 567-890", "01234567890"},
                                         KeyCase{"01234 567890", "01234567890"},
                                         KeyCase{"+4 (0)1-2", "4012"}, KeyCase{"0123 45", "012345"},
                                         KeyCase{"0123-45", "012345"}, KeyCase{"Line 2", "2"},
                                         KeyCase{"<Blocked>", "<BLOCKED>"},
                                         KeyCase{"<blocked>", "<BLOCKED>"}, KeyCase{"Home", "HOME"},
                                         KeyCase{"HOME", "HOME"}, KeyCase{"", ""},
                                         KeyCase{"a-z_{}", "A-Z_{}"},
                                         // Prefixes keep their '*' after the digits.
                                         KeyCase{"0900*", "0900*"}, KeyCase{"+44 870*", "44870*"},
                                         KeyCase{"(555) 01* ", "55501*"},
                                         KeyCase{"*67 0900", "670900"}, KeyCase{"*", "*"}));

TEST(LookupKey, EntrySheetTakesOneStarAtTheEndAfterADigit) {
    for (const char* good : {"0900*", "+44 870*", "0900 *", "0900* ", "0900", "<Blocked>"})
        EXPECT_TRUE(IsStarPlacedRight(good)) << good;
    for (const char* bad : {"*", " *", "09*0", "*0900", "09**", "0*9*", "Home*"})
        EXPECT_FALSE(IsStarPlacedRight(bad)) << bad;
    EXPECT_TRUE(IsPrefixKey("0900*"));
    for (const char* notPrefix : {"*", "0900", "09*0", "A*", ""})
        EXPECT_FALSE(IsPrefixKey(notPrefix)) << notPrefix;
}

TEST(LookupKey, KeepsEmbeddedNulAndHighBytesAreNeverDigits) {
    // Caller-ID text can hold any bytes; superscript two and three (0xB2,
    // 0xB3) look like digits in Windows-1252 but are not '0'-'9'.
    const std::string number("\xB2\xB3", 2);
    EXPECT_EQ(MakeLookupKeyFrom(number).size(), 2u);
    EXPECT_EQ(MakeLookupKeyFrom(std::string("a\0b", 3)), std::string("A\0B", 3));
    EXPECT_EQ(MakeLookupKeyFrom(std::string("\xB2"
                                            "7",
                                            2)),
              "7");
}

#ifndef _WIN32
// The native build upper-cases as Windows-1252 does; on Windows the system
// code page decides.
TEST(LookupKey, UpperCasesWindows1252Letters) {
    EXPECT_EQ(MakeLookupKeyFrom("caf\xE9"), "CAF\xC9");
    EXPECT_EQ(MakeLookupKeyFrom("\x9A\x9C\x9E\xFF"), "\x8A\x8C\x8E\x9F");
    EXPECT_EQ(MakeLookupKeyFrom("\xF7\xDF\xB5"), "\xF7\xDF\xB5"); // division sign, sharp s, micro
}
#endif

TEST(PhoneBookEntry, NewEntryHasItsDefaults) {
    CPhoneBookEntry e;
    EXPECT_TRUE(e.Name.empty() && e.Number.empty() && e.LookupKey.empty() && e.Notes.empty() &&
                e.MessageFile.empty());
    EXPECT_EQ(e.InPhoneBook, 0);
    EXPECT_EQ(e.FilterType, FilterNeverBlock);
    EXPECT_EQ(e.UseOwnHours, 0);
    EXPECT_EQ(e.AnswerMode, AnswerDefaultMessage);
    EXPECT_EQ(e.OwnHoursStart, CDateTime::TimeOfDay(23, 0));
    EXPECT_EQ(e.OwnHoursEnd, CDateTime::TimeOfDay(8, 0));
    EXPECT_EQ(e.LastCallTime.GetStatus(), CDateTime::null);
    EXPECT_STREQ(e.GetRuntimeClass()->className, "CPhoneBookEntry");
    EXPECT_EQ(e.GetRuntimeClass()->schema, 0x80000001u);
}

TEST(PhoneBookEntry, FilterTypeTexts) {
    CPhoneBookEntry e;
    const std::pair<int32_t, const char*> cases[] = {
        {0, "Never Block"}, {1, "Block Sometimes"}, {2, "Always Block"}, {3, ""}, {-1, ""}};
    for (auto [type, text] : cases) {
        e.FilterType = type;
        EXPECT_EQ(e.FilterTypeText(), text) << type;
    }
    EXPECT_EQ(FilterTypeLongText(FilterBlockSometimes),
              "Block Sometimes (Ringwarden will answer these calls at certain times)");
    EXPECT_EQ(FilterTypeLongText(7), "");
}

TEST(LoggedCall, NewRecordHasItsDefaults) {
    CLoggedCall c;
    EXPECT_EQ(c.GetName(), "");
    EXPECT_EQ(c.GetAction(), 0);
    EXPECT_EQ(c.GetAnswerMode(), AnswerDefaultMessage);
    EXPECT_EQ(c.GetCallTime().GetStatus(), CDateTime::null);
    EXPECT_EQ(c.GetCall(), nullptr);
}

TEST(Preferences, ConstructionValues) {
    CRingwardenPreferences p;
    EXPECT_EQ(p.OutOfHoursStart, CDateTime::TimeOfDay(23, 0));
    EXPECT_EQ(p.OutOfHoursEnd, CDateTime::TimeOfDay(8, 0));
    EXPECT_EQ(p.DefaultMessageFile, "");
    EXPECT_EQ(p.NonPhoneBookRule, FilterNeverBlock);
    EXPECT_EQ(p.StartMinimised, 0);
    EXPECT_EQ(p.ShowNotification, 1);
    EXPECT_EQ(p.NotificationSeconds, 5);
    EXPECT_EQ(p.GetMainPlacementValid(), 0);
    EXPECT_EQ(p.GetNotifyPlacementValid(), 0);
    EXPECT_EQ(p.AllowSuspend, 1);
    EXPECT_EQ(p.SuspendMinutes, 2);
    for (char key : {p.SecurityKey1, p.SecurityKey2})
        EXPECT_TRUE(key >= '0' && key <= '9');
    const RwWindowPlacement zero{};
    EXPECT_EQ(std::memcmp(p.GetMainPlacement(), &zero, sizeof zero), 0);
    EXPECT_EQ(std::memcmp(p.GetNotifyPlacement(), &zero, sizeof zero), 0);
    p.SetNotifyPlacementValid(1);
    EXPECT_EQ(p.NotifyPlacementValid, 1);
    EXPECT_EQ(p.GetMainPlacementValid(), 0);
}

TEST(PhoneBook, OwnsEntriesAndKeysAreExact) {
    CPhoneBook book;
    EXPECT_EQ(book.GetHashTableSize(), 100u);
    auto first = std::make_unique<CPhoneBookEntry>();
    first->Name = "first";
    book.SetAt("HOME", std::move(first));
    EXPECT_EQ(book.Lookup("home"), nullptr);
    ASSERT_NE(book.Lookup("HOME"), nullptr);

    auto second = std::make_unique<CPhoneBookEntry>();
    second->Name = "second";
    book.SetAt("HOME", std::move(second)); // replaces and deletes the first
    EXPECT_EQ(book.GetCount(), 1u);
    EXPECT_EQ(book.Lookup("HOME")->Name, "second");

    book.SetAt("X", nullptr);
    EXPECT_EQ(book.Lookup("X"), nullptr);
    EXPECT_EQ(book.GetCount(), 1u);

    EXPECT_FALSE(book.RemoveKey("nope"));
    EXPECT_TRUE(book.RemoveKey("HOME"));
    EXPECT_TRUE(book.IsEmpty());

    for (int i = 0; i < 200; ++i)
        book.SetAt(std::to_string(i), std::make_unique<CPhoneBookEntry>());
    book.InitHashTable(240);
    EXPECT_EQ(book.GetHashTableSize(), 240u);
    size_t visited = 0;
    book.ForEach([&](const std::string&, CPhoneBookEntry&) { ++visited; });
    EXPECT_EQ(visited, 200u);
    book.DeleteAllEntries();
    EXPECT_EQ(book.GetCount(), 0u);
}

TEST(PhoneBook, RemovingFromTheMiddleKeepsEveryOtherKeyAndEntryTogether) {
    CPhoneBook book;
    for (int i = 0; i < 50; ++i) {
        auto e = std::make_unique<CPhoneBookEntry>();
        e->Name = std::to_string(i);
        book.SetAt(std::to_string(i), std::move(e));
    }
    for (int i : {0, 17, 49, 25, 48})
        EXPECT_TRUE(book.RemoveKey(std::to_string(i)));
    auto again = std::make_unique<CPhoneBookEntry>();
    again->Name = "again";
    book.SetAt("17", std::move(again));
    EXPECT_EQ(book.GetCount(), 46u);
    size_t visited = 0;
    book.ForEach([&](const std::string& key, CPhoneBookEntry& e) {
        ++visited;
        EXPECT_EQ(book.Lookup(key), &e);
        EXPECT_EQ(e.Name, key == "17" ? "again" : key);
    });
    EXPECT_EQ(visited, 46u);
    for (int i : {0, 25, 48, 49})
        EXPECT_EQ(book.Lookup(std::to_string(i)), nullptr);
}

// Against the obvious answer: every stored prefix tried from the longest
// down. Digits from a small alphabet make prefixes nest deeply, and adds,
// replacements and removals in between questions exercise the table's
// re-sorting and re-linking.
TEST(PhoneBook, LongestPrefixAgreesWithTryingEveryPrefix) {
    std::mt19937 rng(7);
    auto digits = [&](size_t maxLength) {
        std::string d(rng() % (maxLength + 1), '0');
        for (char& c : d)
            c = static_cast<char>('0' + rng() % 3);
        return d;
    };
    CPhoneBook book;
    std::map<std::string, std::string> prefixes; // digits -> the entry's name
    int serial = 0;
    for (int round = 0; round < 60; ++round) {
        for (int change = 0; change < 8; ++change) {
            const std::string d = digits(6);
            const int what = static_cast<int>(rng() % 4);
            if (what == 3) {
                EXPECT_EQ(book.RemoveKey(d + "*"), prefixes.erase(d) == 1) << d;
            } else if (!d.empty()) {
                auto e = std::make_unique<CPhoneBookEntry>();
                e->Name = std::to_string(++serial);
                if (what == 2) { // an exact entry never answers as a prefix
                    book.SetAt(d, std::move(e));
                    continue;
                }
                prefixes[d] = e->Name;
                book.SetAt(d + "*", std::move(e));
            }
        }
        if (round == 30) {
            book.DeleteAllEntries();
            prefixes.clear();
        }
        for (int q = 0; q < 40; ++q) {
            const std::string key = digits(9);
            std::string expected;
            for (size_t n = key.size() + 1; n-- > 0 && expected.empty();) {
                auto it = prefixes.find(key.substr(0, n));
                if (it != prefixes.end())
                    expected = it->second;
            }
            const CPhoneBookEntry* found = book.LookupPrefix(key);
            EXPECT_EQ(found ? found->Name : std::string(), expected) << key;
        }
    }
}

TEST(PhoneBook, FindForCallOrderAndPrefixesNeverMeetExactKeys) {
    CPhoneBook book;
    auto add = [&](const std::string& number) {
        auto e = std::make_unique<CPhoneBookEntry>();
        e->Number = e->Name = number;
        e->MakeLookupKey();
        const std::string key = e->LookupKey;
        book.SetAt(key, std::move(e));
    };
    add("0900");
    add("0900*");
    add("TOLL FREE");
    EXPECT_EQ(book.GetCount(), 3u);
    EXPECT_EQ(book.FindForCall("0900", "TOLL FREE")->Name, "0900");
    EXPECT_EQ(book.FindForCall("09001", "TOLL FREE")->Name, "0900*");
    EXPECT_EQ(book.FindForCall("0800", "TOLL FREE")->Name, "TOLL FREE");
    EXPECT_EQ(book.FindForCall("0800", ""), nullptr);
    EXPECT_TRUE(book.RemoveKey("0900*"));
    EXPECT_EQ(book.FindForCall("09001", ""), nullptr);
    EXPECT_EQ(book.Lookup("0900")->Name, "0900");
}

TEST(StringTable, KnownAndMissingIds) {
    EXPECT_EQ(LoadResString(3000), "<No Phone Book Entry>");
    EXPECT_EQ(LoadResString(3003), "<No Caller ID>");
    EXPECT_EQ(LoadResString(500), "Ringwarden");
    EXPECT_EQ(LoadResString(4242), "");
}

} // namespace
} // namespace rw
