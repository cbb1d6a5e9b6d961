// A card's record is its own: named after the whole identity, checked
// against its card line, taken over from the earlier naming, and bounded
// whatever a file or a card gives it.
#include "model/pictures/card_record.h"

#include <gtest/gtest.h>

#include <set>

#include "test_util.h"

namespace {

model::PictureId Picture(const std::wstring& name, int64_t size = 5000) {
    return {L"/DCIM/101_PANA", name, size, 19310, 30257};
}

}  // namespace

TEST(CardRecord, EachCardHasARecordOfItsOwn) {
    testutil::TempDir dir;
    // Ids that once shared a file: a space, a letter's case, letters beyond ASCII.
    const std::vector<std::wstring> ids = {L"ssid-My Card", L"ssid-MyCard", L"ssid-mycard", L"ssid-Zdj\x119" L"cia",
                                           L"ssid-\x424\x43E\x442\x43E", L"cid-0123456789abcdef0123456789abcdef"};
    std::set<std::wstring> files;
    for (const std::wstring& id : ids) files.insert(fs::NameKey(model::CardRecord::FileFor(dir.path(), id)));
    EXPECT_EQ(files.size(), ids.size());
    EXPECT_TRUE(str::StartsWith(model::CardRecord::FileFor(dir.path(), ids.back()), dir / L"cid-0123456789abcdef0123"));

    // A record of the earlier naming ("ssid-MyCard.txt" for both) is taken
    // over by the card it names and by no other.
    dir.Write(L"ssid-MyCard.txt", "Wemlox card record 1\r\ncard\tssid-My Card\r\nwait\t/D\tP1.JPG\t5\t1\t2\r\n");
    model::CardRecord record;
    EXPECT_EQ(record.Open(dir.path(), L"ssid-MyCard"), std::nullopt);
    EXPECT_EQ(record.WaitingCount(), 0u);
    EXPECT_EQ(record.Open(dir.path(), L"ssid-My Card"), std::nullopt);
    EXPECT_EQ(record.WaitingCount(), 1u);
    ASSERT_TRUE(record.Save());
    EXPECT_EQ(record.Open(dir.path(), L"ssid-My Card"), std::nullopt);
    EXPECT_EQ(record.WaitingCount(), 1u);

    // A record under this card's name that names another card, or is too
    // large to be one, holds nothing for it and is left as it is.
    const std::wstring mine = model::CardRecord::FileFor(dir.path(), L"ssid-MyCard");
    ASSERT_TRUE(fs::CopyFileTo(model::CardRecord::FileFor(dir.path(), L"ssid-My Card"), mine));
    const std::string large(model::CardRecord::kReadLimit + 1, 'x');
    for (const std::string& text : {testutil::ReadAll(mine), large}) {
        ASSERT_TRUE(fs::WriteFile(mine, text));
        std::optional<std::wstring> why = record.Open(dir.path(), L"ssid-MyCard");
        ASSERT_TRUE(why);
        record.Wait(Picture(L"P2.JPG"));
        EXPECT_TRUE(record.Save());
        EXPECT_EQ(testutil::ReadAll(mine), text) << str::ToUtf8(*why);
    }
    // A file that is no record (left empty by a crash, say) is written over.
    ASSERT_TRUE(fs::WriteFile(mine, ""));
    EXPECT_EQ(record.Open(dir.path(), L"ssid-MyCard"), std::nullopt);
    record.Wait(Picture(L"P2.JPG"));
    ASSERT_TRUE(record.Save());
    EXPECT_NE(testutil::ReadAll(mine), "");
}

TEST(CardRecord, BoundedWhateverItReads) {
    // One picture under a great many names: only the last is its.
    std::string text = "Wemlox card record 1\r\ncard\tcid-1\r\nclock\t9223372036854775807\r\n";
    for (int i = 0; i < 100000; i++) text += "stored\t/D\tP1.JPG\t5\t1\t2\tLoRes\\N" + std::to_string(i) + ".JPG\r\n";
    model::CardRecord record;
    record.Parse(text);
    EXPECT_EQ(record.StoredCount(), 1u);
    EXPECT_FALSE(record.PictureOf(L"LoRes\\N0.JPG"));
    EXPECT_TRUE(record.PictureOf(L"lores\\n99999.jpg"));
    EXPECT_EQ(record.ClockOffset(), model::CardRecord::kMaxClockOffsetNs);
    record.NoteClockReading(INT64_MIN);
    EXPECT_EQ(record.ClockOffset(), -model::CardRecord::kMaxClockOffsetNs);

    // Long names fill the record's bytes before its counts: the oldest
    // stored pictures go first (a stored file is found again by its size and
    // time, a waiting picture is not), and what it writes it reads back whole.
    const std::wstring longName(245, L'\x4E00');
    for (int i = 0; i < 8000; i++) record.Wait(Picture(longName + std::to_wstring(i)));
    for (int i = 0; i < 3000; i++) record.NoteStored(Picture(longName + L"s" + std::to_wstring(i)), L"LoRes\\" + std::to_wstring(i));
    const std::string written = record.Serialize();
    EXPECT_LE(written.size(), model::CardRecord::kReadLimit);
    EXPECT_TRUE(record.IsWaiting(Picture(longName + L"0")));
    EXPECT_FALSE(record.StoredAs(Picture(longName + L"s0")));
    EXPECT_TRUE(record.StoredAs(Picture(longName + L"s2999")));
    model::CardRecord again;
    again.Parse(written);
    EXPECT_EQ(again.Serialize(), written);
}
