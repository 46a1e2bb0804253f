#include "ConfigTestUtil.h"
#include "records/Archive.h"
#include "records/ConfigFile.h"
#include "records/LoggedCall.h"

#include <gtest/gtest.h>

namespace rw {
namespace {

using test::Entry;
using test::FromHex;
using test::ToHex;

std::vector<uint8_t> Store(const std::function<void(CArchive&)>& write) {
    CMemorySink sink;
    CArchive ar(sink);
    write(ar);
    ar.Flush();
    return sink.Bytes();
}

std::vector<uint8_t> Save(CRingwardenPreferences& prefs, CPhoneBook& book) {
    return Store([&](CArchive& ar) { WriteConfiguration(ar, prefs, book); });
}

TEST(ConfigFormat, WorkedExamplesComeOutByteForByte) {
    CRingwardenPreferences prefs;
    CPhoneBook book;
    const std::vector<uint8_t> empty = FromHex(test::kEmptyConfigHex);
    ASSERT_EQ(empty.size(), 153u);
    EXPECT_EQ(ToHex(Save(prefs, book)), ToHex(empty));

    book.SetAt("1", Entry("A", "1"));
    const std::vector<uint8_t> one = FromHex(test::kOneEntryConfigHex);
    ASSERT_EQ(one.size(), 236u);
    EXPECT_EQ(ToHex(Save(prefs, book)), ToHex(one));

    // And each reads back to the same records.
    for (const auto& bytes : {empty, one}) {
        CRingwardenPreferences read;
        CPhoneBook readBook;
        CMemorySource source(bytes);
        CArchive ar(source);
        ReadConfiguration(ar, read, readBook);
        EXPECT_EQ(ar.Remaining(), 0u);
        EXPECT_EQ(Save(read, readBook), bytes);
    }
}

TEST(ConfigFormat, EveryFieldSurvivesARoundTrip) {
    CRingwardenPreferences prefs;
    prefs.OutOfHoursStart = CDateTime::TimeOfDay(22, 15);
    prefs.OutOfHoursEnd = CDateTime(0.25, CDateTime::invalid);
    prefs.DefaultMessageFile = "C:\\Sounds\\go away.wav";
    prefs.NonPhoneBookRule = FilterAlwaysBlock;
    prefs.StartMinimised = 1;
    prefs.ShowNotification = 0;
    prefs.NotificationSeconds = 9;
    prefs.MainPlacementValid = 1;
    prefs.MainPlacement = {44, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    prefs.NotifyPlacementValid = 1;
    prefs.NotifyPlacement = {44, -1, -2, -3, -4, -5, -6, -7, -8, -9, -10};
    prefs.AllowSuspend = 0;
    prefs.SecurityKey1 = '*';
    prefs.SecurityKey2 = '#';
    prefs.SuspendMinutes = 7;
    CPhoneBook book;
    for (int i = 0; i < 300; ++i) {
        auto e = Entry("Name \xE9 " + std::to_string(i), "0123 " + std::to_string(i));
        e->Notes = std::string(static_cast<size_t>(i * 3), 'n');
        e->FilterType = i % 3;
        e->UseOwnHours = i % 2;
        e->AnswerMode = i % 3;
        e->OwnHoursStart = CDateTime::TimeOfDay(i % 24, i % 60);
        e->MessageFile = i % 5 ? "" : "msg.wav";
        e->LastCallTime = CDateTime::FromParts(2001, 2, 3, 4, 5, i % 60);
        const std::string key = e->LookupKey;
        book.SetAt(key, std::move(e));
    }
    const std::vector<uint8_t> bytes = Save(prefs, book);

    CRingwardenPreferences read;
    CPhoneBook readBook;
    CMemorySource source(bytes);
    CArchive ar(source);
    ReadConfiguration(ar, read, readBook);
    CPhoneBook empty;
    EXPECT_EQ(Save(read, empty), Save(prefs, empty));
    EXPECT_EQ(read.SecurityKey1, '*');
    EXPECT_EQ(read.NotificationSeconds, 9);
    ASSERT_EQ(readBook.GetCount(), 300u);
    book.ForEach([&](const std::string& key, CPhoneBookEntry& e) {
        const CPhoneBookEntry* r = readBook.Lookup(key);
        ASSERT_TRUE(r) << key;
        EXPECT_TRUE(test::SameEntry(e, *r)) << key;
    });
    EXPECT_EQ(readBook.GetHashTableSize(), 360u);
}

TEST(ConfigFormat, NotificationSecondsFollowsThePlacements) {
    CRingwardenPreferences prefs;
    prefs.NotificationSeconds = 0x0A0B0C0D;
    CPhoneBook book;
    const std::vector<uint8_t> bytes = Save(prefs, book);
    // 2 date-times, a one-byte string, 4 integers, placement, flag, placement.
    const size_t at = 12 + 12 + 1 + 16 + 44 + 4 + 44;
    EXPECT_EQ(ToHex({bytes.begin() + at, bytes.begin() + at + 4}), "0D 0C 0B 0A ");
}

struct LengthCase {
    size_t length;
    const char* prefix;
};

TEST(ConfigFormat, StringLengthAndCountPrefixes) {
    const LengthCase strings[] = {
        {0, "00 "},
        {254, "FE "},
        {255, "FF FF 00 "},
        {65533, "FF FD FF "},
        {65534, "FF FF FF FE FF 00 00 "},
        {70000, "FF FF FF 70 11 01 00 "},
    };
    for (const LengthCase& c : strings) {
        const std::string text(c.length, 'x');
        const std::vector<uint8_t> bytes = Store([&](CArchive& ar) { ar.WriteString(text); });
        const size_t prefixSize = bytes.size() - c.length;
        EXPECT_EQ(ToHex({bytes.begin(), bytes.begin() + prefixSize}), c.prefix) << c.length;
        CMemorySource source(bytes);
        CArchive ar(source);
        EXPECT_EQ(ar.ReadString(), text) << c.length;
    }
    const std::pair<uint32_t, const char*> counts[] = {{0, "00 00 "},
                                                       {65534, "FE FF "},
                                                       {65535, "FF FF FF FF 00 00 "},
                                                       {70000, "FF FF 70 11 01 00 "}};
    for (const auto& [value, hex] : counts) {
        const uint32_t count = value;
        const std::vector<uint8_t> bytes = Store([&](CArchive& ar) { ar.WriteCount(count); });
        EXPECT_EQ(ToHex(bytes), hex) << count;
        CMemorySource source(bytes);
        CArchive ar(source);
        EXPECT_EQ(ar.ReadCount(), count);
    }
}

TEST(ConfigFormat, LaterEntriesReferToTheFirstClassDescription) {
    CPhoneBook book;
    for (int i = 0; i < 10000; ++i)
        book.SetAt(std::to_string(i), Entry("n", std::to_string(i)));
    const std::vector<uint8_t> bytes = Store([&](CArchive& ar) { book.Serialize(ar); });
    // Every entry here is 2 + 2 + 2 + 1 + 16 + 24 + 1 + 12 bytes after its tag.
    const std::string needle = "CPhoneBookEntry";
    size_t descriptions = 0, references = 0;
    for (size_t i = 0; i + 1 < bytes.size(); ++i) {
        if (std::equal(needle.begin(), needle.end(), bytes.begin() + i,
                       [](char a, uint8_t b) { return static_cast<uint8_t>(a) == b; }))
            ++descriptions;
    }
    CMemorySource source(bytes);
    CArchive ar(source);
    ASSERT_EQ(ar.ReadCount(), 10000u);
    for (int i = 0; i < 10000; ++i) {
        ar.ReadString();
        const uint64_t at = ar.GetPosition();
        if (bytes[at] == 0x01 && bytes[at + 1] == 0x80)
            ++references;
        ASSERT_TRUE(ar.ReadObject(&CPhoneBookEntry::runtimeClass));
    }
    EXPECT_EQ(descriptions, 1u);
    EXPECT_EQ(references, 9999u);
}

TEST(ConfigFormat, ReadsTheFormsTheWriterNeverProduces) {
    // The default message as 16-bit text "Café"; one entry whose class
    // description says schema 2 and whose 32-bit count is 1; a second
    // entry referring to its class by the 32-bit tag.
    std::vector<uint8_t> bytes = FromHex(test::kEmptyConfigHex);
    bytes.resize(147);
    const std::vector<uint8_t> wide = FromHex("FF FEFF 04 4300 6100 6600 E900");
    bytes.erase(bytes.begin() + 24);
    bytes.insert(bytes.begin() + 24, wide.begin(), wide.end());
    const std::vector<uint8_t> one = FromHex(test::kOneEntryConfigHex);
    std::vector<uint8_t> entry(one.begin() + 153, one.end()); // from the key
    entry[4] = 0x02;                                          // schema 2
    const std::vector<uint8_t> tail = FromHex("02000000 FFFF 02000000");
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    bytes.insert(bytes.end(), entry.begin(), entry.end());
    const std::vector<uint8_t> second = FromHex("0132 FF7F 01000080");
    bytes.insert(bytes.end(), second.begin(), second.end());
    bytes.insert(bytes.end(), entry.begin() + 2 + 21, entry.end());

    CRingwardenPreferences prefs;
    CPhoneBook book;
    CMemorySource source(bytes);
    CArchive ar(source);
    ReadConfiguration(ar, prefs, book);
#ifndef _WIN32 // Windows converts to its own code page
    EXPECT_EQ(prefs.DefaultMessageFile, "Caf\xE9");
#endif
    ASSERT_EQ(book.GetCount(), 2u);
    EXPECT_EQ(book.Lookup("1")->Name, "A");
    EXPECT_EQ(book.Lookup("2")->Name, "A");
    EXPECT_EQ(book.Lookup("2")->LookupKey, "1") << "the entry's own key stays as read";
}

struct DamageCase {
    const char* what;
    std::string bytesAfterCount; // after section 2's count of 2
    CArchiveException::Cause cause;
    size_t entriesKept;
};

TEST(ConfigFormat, DamageStopsReadingAndKeepsWhatCameBefore) {
    const std::vector<uint8_t> one = FromHex(test::kOneEntryConfigHex);
    const std::string firstPair = ToHex({one.begin() + 153, one.end()});
    const DamageCase cases[] = {
        {"ends inside a field", "0200" + firstPair + "0132 0180 0141 01",
         CArchiveException::endOfFile, 1},
        {"string longer than the file", "0200" + firstPair + "0132 0180 FF FFFF FFFFFF7F",
         CArchiveException::endOfFile, 1},
        {"16-bit string longer than the file", "0200 FF FEFF FF FFFF FFFFFF7F",
         CArchiveException::endOfFile, 0},
        {"count larger than the file", "FFFF FFFFFFFF" + firstPair, CArchiveException::endOfFile,
         1},
        {"unknown class", "0100 0131 FFFF 0100 0300 414243", CArchiveException::badClass, 0},
        {"class name of 64 bytes", "0100 0131 FFFF 0100 4000" + std::string(128, '4'),
         CArchiveException::badClass, 0},
        {"another stored class", "0100 0131 FFFF 0100 0B00 434C6F67676564 43616C6C 0141",
         CArchiveException::badClass, 0},
        {"class not described", "0100 0131 0280", CArchiveException::badIndex, 0},
        {"big class tag not described", "0100 0131 FF7F 05000080", CArchiveException::badIndex, 0},
        {"reference to an entry read earlier", "0200" + firstPair + "0132 0200",
         CArchiveException::badIndex, 1},
    };
    for (const DamageCase& c : cases) {
        std::vector<uint8_t> bytes = FromHex(test::kEmptyConfigHex);
        bytes.resize(147);
        const std::vector<uint8_t> rest = FromHex("02000000" + c.bytesAfterCount);
        bytes.insert(bytes.end(), rest.begin(), rest.end());
        CRingwardenPreferences prefs;
        prefs.NotificationSeconds = 0; // the read must overwrite it
        CPhoneBook book;
        CMemorySource source(bytes);
        CArchive ar(source);
        try {
            ReadConfiguration(ar, prefs, book);
            ADD_FAILURE() << c.what << ": no error";
        } catch (const CArchiveException& e) {
            EXPECT_EQ(e.GetCause(), c.cause) << c.what << ": " << e.what();
        }
        EXPECT_EQ(prefs.NotificationSeconds, 5) << c.what;
        EXPECT_EQ(book.GetCount(), c.entriesKept) << c.what;
    }
}

TEST(ConfigFormat, AFileEndingAfterThePreferencesKeepsThem) {
    std::vector<uint8_t> bytes = FromHex(test::kEmptyConfigHex);
    bytes.resize(147);
    bytes[12 + 12 + 1 + 16 + 44 + 4 + 44] = 9; // NotificationSeconds
    CRingwardenPreferences prefs;
    CPhoneBook book;
    CMemorySource source(bytes);
    CArchive ar(source);
    try {
        ReadConfiguration(ar, prefs, book);
        ADD_FAILURE() << "no error";
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.GetCause(), CArchiveException::endOfFile);
        EXPECT_EQ(e.GetOffset(), 147u);
    }
    EXPECT_EQ(prefs.NotificationSeconds, 9);
}

TEST(ConfigFormat, BucketsFollowTheEntryCountTheFileCanHold) {
    EXPECT_EQ(PhoneBookBucketsFor(0, 1000), 100u);
    EXPECT_EQ(PhoneBookBucketsFor(80, 1u << 20), 100u);
    EXPECT_EQ(PhoneBookBucketsFor(81, 1u << 20), 97u);
    EXPECT_EQ(PhoneBookBucketsFor(85, 1u << 20), 102u);
    EXPECT_EQ(PhoneBookBucketsFor(200, 1u << 20), 240u);
    EXPECT_EQ(PhoneBookBucketsFor(1000, 1u << 20), 1200u);
    // A hostile count: no more buckets than the bytes left could fill.
    EXPECT_EQ(PhoneBookBucketsFor(0xFFFFFFFF, 20), 100u);
    EXPECT_EQ(PhoneBookBucketsFor(0xFFFFFFFF, 1000 * kMinPairBytes), 1200u);

    // Loading 81 and 80 real entries.
    for (const auto& [count, buckets] : {std::pair{81, 97u}, std::pair{80, 100u}}) {
        CRingwardenPreferences prefs;
        CPhoneBook book;
        for (int i = 0; i < count; ++i)
            book.SetAt(std::to_string(i), Entry("", ""));
        const std::vector<uint8_t> bytes = Save(prefs, book);
        CPhoneBook read;
        CMemorySource source(bytes);
        CArchive ar(source);
        ReadConfiguration(ar, prefs, read);
        EXPECT_EQ(read.GetHashTableSize(), buckets);
        EXPECT_EQ(read.GetCount(), static_cast<size_t>(count));
    }
}

TEST(ConfigFormat, LoggedCallStoresItsNameAlone) {
    CLoggedCall call;
    call.SetName("Bob");
    call.SetNumber("123");
    call.SetAction(3);
    const std::vector<uint8_t> bytes = Store([&](CArchive& ar) { ar.WriteObject(&call); });
    EXPECT_EQ(ToHex(bytes), ToHex(FromHex("FFFF 0100 0B00 434C6F6767656443616C6C 03426F62")));
    CMemorySource source(bytes);
    CArchive ar(source);
    auto read = ar.ReadObject(nullptr);
    ASSERT_EQ(read->GetRuntimeClass(), &CLoggedCall::runtimeClass);
    const auto& readCall = static_cast<const CLoggedCall&>(*read);
    EXPECT_EQ(readCall.GetName(), "Bob");
    EXPECT_EQ(readCall.GetNumber(), "");
    EXPECT_EQ(readCall.GetAction(), 0);
}

} // namespace
} // namespace rw
