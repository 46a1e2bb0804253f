#include "records/LoggedCall.h"
#include "records/LookupKey.h"
#include "records/PhoneBook.h"
#include "records/PhoneBookEntry.h"
#include "records/RingwardenPreferences.h"
#include "records/StringTable.h"

#include <gtest/gtest.h>

#include <cstring>

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
                                         KeyCase{"a-z_{}", "A-Z_{}"}));

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

TEST(StringTable, KnownAndMissingIds) {
    EXPECT_EQ(LoadResString(3000), "<No Phone Book Entry>");
    EXPECT_EQ(LoadResString(3003), "<No Caller ID>");
    EXPECT_EQ(LoadResString(500), "Ringwarden");
    EXPECT_EQ(LoadResString(4242), "");
}

} // namespace
} // namespace rw
