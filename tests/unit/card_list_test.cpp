#include "model/pictures/card_list.h"

#include <gtest/gtest.h>

#include <map>

#include "base/str.h"

namespace {

using model::CardFileRecord;

struct Journal {
    std::vector<std::wstring> lines;
    model::JournalSink sink() {
        return [this](const std::wstring& t) { lines.push_back(t); };
    }
    bool Has(const std::wstring& part) const {
        for (auto& l : lines)
            if (l.find(part) != std::wstring::npos) return true;
        return false;
    }
};

std::string Listing(std::initializer_list<const char*> lines) {
    std::string s = "WLANSD_FILELIST\r\n";
    for (const char* l : lines) s += std::string(l) + "\r\n";
    return s;
}

}  // namespace

TEST(CardList, SplitLines) {
    struct Case { std::string in; std::vector<std::string> out; } cases[] = {
        {"", {}},
        {"no line end", {}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\r\nb", {"a"}},               // text after the last CR is no line
        {"a\rb\r", {"a", "b"}},          // a CR alone ends a line too, nothing is skipped
        {"\r\n\r\n", {"", ""}},
        {"a\n\r\nb\r\n", {"a\n", "b"}},  // an LF not after a CR stays in the line
        {std::string("x\0y\r\n", 5), {std::string("x\0y", 3)}},
    };
    for (auto& c : cases) {
        auto lines = model::SplitLines(c.in);
        EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.end()), c.out) << c.in;
    }
}

TEST(CardList, ParseRecordFields) {
    struct Case {
        const char* line;
        const wchar_t* dir;
        const wchar_t* name;
        int64_t size;
        int32_t attr, date, time;
    } cases[] = {
        {"/DCIM/101_PANA,P1010001.JPG,4123456,32,19310,30257", L"/DCIM/101_PANA", L"P1010001.JPG", 4123456, 32, 19310, 30257},
        {",DCIM,0,16,16508,2777", L"", L"DCIM", 0, 16, 16508, 2777},  // root entry
        {"/DCIM,.hidden,0,18,1,2", L"/DCIM", L".hidden", 0, 18, 1, 2},
        {"/D,EMPTY.JPG,0,32,19310,30257", L"/D", L"EMPTY.JPG", 0, 32, 19310, 30257},
        // Commas in the name: the last four fields are counted from the end.
        {"/D,Holiday, day 1.JPG,100,32,1,2", L"/D", L"Holiday, day 1.JPG", 100, 32, 1, 2},
        {"/D,a,,b,7,32,1,2", L"/D", L"a,,b", 7, 32, 1, 2},
        // Numbers as the card's text gives them: blanks, sign, junk, overflow.
        // Sizes are 64-bit (a video passes 2 GiB); the other fields saturate at 32.
        {"/D,N, 12x,+3,-1,", L"/D", L"N", 12, 3, -1, 0},
        {"/D,VIDEO.MP4,3221225472,32,99999999999,7", L"/D", L"VIDEO.MP4", 3221225472, 32, INT32_MAX, 7},
        {"/D,N,-99999999999,0,0,0", L"/D", L"N", -99999999999, 0, 0, 0},
        {"/D,N,99999999999999999999,0,0,0", L"/D", L"N", INT64_MAX, 0, 0, 0},
        {",,,,,", L"", L"", 0, 0, 0, 0},
    };
    for (auto& c : cases) {
        auto r = model::ParseRecord(c.line);
        ASSERT_TRUE(r) << c.line;
        EXPECT_EQ(r->Directory, c.dir) << c.line;
        EXPECT_EQ(r->Name, c.name) << c.line;
        EXPECT_EQ(std::make_tuple(r->Size, r->Attribute, r->RawDate, r->RawTime),
                  std::make_tuple(c.size, c.attr, c.date, c.time)) << c.line;
        EXPECT_EQ(r->Index, 0);
        EXPECT_EQ(r->ThumbImage, 0);
        EXPECT_FALSE(r->Selected);
    }
}

TEST(CardList, ParseRecordRejectsLinesThatAreNoEntry) {
    for (const char* line : {"", "WLANSD_FILELIST", "garbage", "a,b", "/D,N,1,32,5", ",,,,", "<html><body>404, Not Found</body>"})
        EXPECT_FALSE(model::ParseRecord(line)) << line;
}

TEST(CardList, FatDateAndTime) {
    struct Case { int32_t date, time; int y, mo, d, h, mi, s; } cases[] = {
        {19310, 30257, 2017, 11, 14, 14, 49, 34},
        {17953, 20181, 2015, 1, 1, 9, 54, 42},
        {0, 0, 1980, 0, 0, 0, 0, 0},
        {0xFFFF, 0xFFFF, 2107, 15, 31, 31, 63, 62},  // every bit set: no field runs into another
        {-1, -1, 2107, 15, 31, 31, 63, 62},          // only the low 16 bits count
    };
    for (auto& c : cases) {
        CardFileRecord r;
        model::SetFatDate(r, c.date);
        model::SetFatTime(r, c.time);
        EXPECT_EQ(std::make_tuple(r.Year, r.Month, r.Day, r.Hour, r.Minute, r.Second),
                  std::make_tuple(c.y, c.mo, c.d, c.h, c.mi, c.s)) << c.date << "," << c.time;
        EXPECT_EQ(std::make_pair(r.RawDate, r.RawTime), std::make_pair(c.date, c.time));
    }
}

TEST(CardList, NamesAreDecodedAndTheirBytesKept) {
    struct Case { std::string name; std::wstring shown; } cases[] = {
        {"P1010001.JPG", L"P1010001.JPG"},
        {"\xC3\x84rger \xE2\x82\xAC.JPG", L"\xC4rger \x20AC.JPG"},  // UTF-8
        {"\xC4rger.JPG", L"\xC4rger.JPG"},                          // not UTF-8: one character per byte
        {"\xFF\xFE.JPG", L"\xFF\xFE.JPG"},
        {"\xF0\x9F\x93\xB7.JPG", str::FromUtf8("\xF0\x9F\x93\xB7.JPG")},
    };
    for (auto& c : cases) {
        auto r = model::ParseRecord("/D\xC3\xA9," + c.name + ",1,32,0,0");
        ASSERT_TRUE(r);
        EXPECT_EQ(r->Name, c.shown) << c.name;
        EXPECT_EQ(r->RawName, c.name);
        EXPECT_EQ(r->Directory, L"/D\xE9");
        EXPECT_EQ(r->RawDirectory, "/D\xC3\xA9");
    }
}

TEST(CardList, CandidatesOfTheCameraFolder) {
    const std::string twoLines = Listing({"/DCIM/101_PANA,P1010001.JPG,4123456,32,19310,30257",
                                          "/DCIM/101_PANA,P1010001.RW2,20123456,32,19310,30257"});
    struct Case {
        const char* what;
        std::string answer;
        const wchar_t* hiRes;
        const wchar_t* loRes;
        std::vector<std::wstring> names;
    } cases[] = {
        {"the two pictures in listing order", twoLines, L".rw2", L".jpg", {L"P1010001.JPG", L"P1010001.RW2"}},
        {"only one kind named", twoLines, L".cr2", L".JPG", {L"P1010001.JPG"}},
        {"no kind named: an empty text matches nothing", twoLines, L"", L"", {}},
        {"header only", "WLANSD_FILELIST\r\n", L".rw2", L".jpg", {}},
        {"the kind is the name's ending",
         Listing({"/D,P1.JPG.part,1,32,0,0", "/D,x.jpg.exe,1,32,0,0", "/D,P2.JPEG,1,32,0,0", "/D,P3.Jpg,1,32,0,0"}),
         L".rw2", L".jpg", {L"P3.Jpg"}},
        {"an answer without any CR is one line", "/D,P9.JPG,1,32,0,0", L".rw2", L".jpg", {L"P9.JPG"}},
        {"a last line without CR LF is dropped", twoLines + "/DCIM/101_PANA,P1010002.JP", L".rw2", L".jpg",
         {L"P1010001.JPG", L"P1010001.RW2"}},
        {"garbage around entries", Listing({"\x01\x02", "x,y", "/D,P3.JPG,1,32,0,0", "\xFF\xFF,,,"}), L".rw2",
         L".jpg", {L"P3.JPG"}},
        {"a name with commas", Listing({"/D,a, b.JPG,5,32,0,0"}), L".rw2", L".jpg", {L"a, b.JPG"}},
    };
    for (auto& c : cases) {
        Journal j;
        auto got = model::ListingCandidates(c.answer, c.hiRes, c.loRes, j.sink());
        std::vector<std::wstring> names;
        for (auto& r : got) names.push_back(r.Name);
        EXPECT_EQ(names, c.names) << c.what;
        EXPECT_TRUE(j.lines.empty()) << c.what;
    }
}

TEST(CardList, CandidatesWithUnsafeNamesAreSkippedAndSaidSo) {
    Journal j;
    auto got = model::ListingCandidates(
        Listing({"/D,..\\..\\evil.jpg,1,32,0,0", "/D,CON.JPG,1,32,0,0", "/D,ok.jpg,1,32,0,0", "/D,a:b.jpg,1,32,0,0",
                 // The folder field passes the same rules as the name.
                 "/D/..,up.jpg,1,32,0,0", "C:\\D,drive.jpg,1,32,0,0", "/D\x01,ctl.jpg,1,32,0,0", "/D//E,two.jpg,1,32,0,0",
                 "/D/NUL,dev.jpg,1,32,0,0",
                 // A folder holds a name once: a second listing of it is no other picture.
                 "/D,OK.JPG,2,32,0,0"}),
        L".cr2", L".jpg", j.sink());
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].Name, L"ok.jpg");
    EXPECT_EQ(j.lines.size(), 9u);
    EXPECT_TRUE(j.Has(L"/D/CON.JPG"));
    EXPECT_TRUE(j.Has(L"/D?/ctl.jpg"));
}

TEST(CardList, AFullCameraFolderIsListedWhole) {
    // 9,999 pictures, far beyond the 32 KB and 8,192 lines once read: new
    // pictures are listed last, so nothing may be cut off.
    std::string answer = "WLANSD_FILELIST\r\n";
    for (int i = 1; i <= 9999; i++)
        answer += "/DCIM/101_PANA,P" + std::to_string(1000000 + i) + ".JPG," + std::to_string(3000000000LL + i) +
                  ",32,19310,30257\r\n";
    Journal j;
    auto got = model::ListingCandidates(answer, L".cr2", L".jpg", j.sink());
    ASSERT_EQ(got.size(), 9999u);
    EXPECT_EQ(got.front().Name, L"P1000001.JPG");
    EXPECT_EQ(got.back().Name, L"P1009999.JPG");
    EXPECT_EQ(got.back().Index, 9999);
    EXPECT_EQ(got.back().Size, 3000009999LL);
    EXPECT_EQ(model::ListingEntries(answer, j.sink()).size(), 9999u);
    EXPECT_TRUE(j.lines.empty());
}

TEST(CardList, AListingCutShortLosesOnlyItsLastLine) {
    std::string answer = "WLANSD_FILELIST\r\n";
    int n = 0;
    while (answer.size() < 40000) answer += "/DCIM/100TEST,IMG_" + std::to_string(10000 + n++) + ".JPG,123456,32,19310,30257\r\n";
    answer.resize(32768);
    ASSERT_NE(answer.substr(answer.size() - 2), "\r\n");
    Journal j;
    auto got = model::ListingCandidates(answer, L".cr2", L".jpg", j.sink());
    auto lines = model::SplitLines(answer);
    EXPECT_EQ(got.size(), lines.size() - 1);  // every complete line but the header
    EXPECT_EQ(got.back().Name, L"IMG_" + std::to_wstring(10000 + got.size() - 1) + L".JPG");
}

namespace {

// A card as a map from request path to listing; records every request.
struct FakeCard {
    std::map<std::string, std::string> listings;
    std::vector<std::string> requests;
    std::string unreachable;  // this path cannot be opened
    model::ListingFetch fetch() {
        return [this](const std::string& path) -> std::optional<std::string> {
            requests.push_back(path);
            if (path == unreachable) return std::nullopt;
            auto it = listings.find(path);
            return it == listings.end() ? std::string("<html>404, Not Found</html>") : it->second;
        };
    }
};

std::vector<std::wstring> Names(const model::CardLists& l) {
    std::vector<std::wstring> out;
    for (auto& r : l.CardRecords) out.push_back(r.Name);
    return out;
}

}  // namespace

TEST(CardWalk, BreadthFirstInListingOrderWithTheCardsPaths) {
    FakeCard fake;
    fake.listings["/"] = Listing({",B,0,16,0,0", ",A,0,16,0,0", ",ROOT.JPG,10,32,0,0"});
    fake.listings["/B"] = Listing({"/B,D,0,16,0,0", "/B,b1.jpg,5,32,0,0"});
    fake.listings["/A"] = Listing({"/A,C,0,16,0,0", "/A,Z.JPG,0,32,0,0", "/A,\xC3\x84 x,0,16,0,0"});
    fake.listings["/B/D"] = Listing({"/B/D,d1.jpg,7,32,19310,30257"});
    fake.listings["/A/C"] = Listing({});
    model::CardLists lists;
    Journal j;
    EXPECT_EQ(model::ExamineTree("/", fake.fetch(), lists, j.sink()), 9);
    // A zero-byte file is taken for a folder and requested like one.
    EXPECT_EQ(fake.requests, (std::vector<std::string>{"/", "/B", "/A", "/B/D", "/A/C", "/A/Z.JPG", "/A/\xC3\x84 x"}));
    EXPECT_EQ(lists.CardDirectories,
              (std::vector<std::wstring>{L"/B", L"/A", L"/B/D", L"/A/C", L"/A/Z.JPG", L"/A/\xC4 x"}));
    ASSERT_EQ(lists.CardFiles.size(), 3u);
    EXPECT_EQ(lists.CardFiles[0].FullPath, L"/ROOT.JPG");
    EXPECT_EQ(lists.CardFiles[2].FullPath, L"/B/D/d1.jpg");
    EXPECT_EQ(lists.CardFiles[2].Directory, L"/B/D");
    EXPECT_EQ(lists.CardFiles[2].Name, L"d1.jpg");
    const CardFileRecord* d1 = lists.Record(lists.CardFiles[2].RecordIndex);
    ASSERT_TRUE(d1);
    EXPECT_EQ(d1->Name, L"d1.jpg");
    EXPECT_EQ(std::make_tuple(d1->Year, d1->Month, d1->Day, d1->Hour, d1->Minute, d1->Second),
              std::make_tuple(2017, 11, 14, 14, 49, 34));
    for (size_t i = 0; i < lists.CardRecords.size(); i++) EXPECT_EQ(lists.CardRecords[i].Index, static_cast<int32_t>(i + 1));
    EXPECT_EQ(lists.Record(0), nullptr);
    EXPECT_EQ(lists.Record(10), nullptr);
    EXPECT_TRUE(j.lines.empty());
}

TEST(CardWalk, FailedListings) {
    model::CardLists lists;
    lists.CardRecords.resize(2);
    lists.CardDirectories = {L"/old"};
    Journal j;

    FakeCard gone;
    gone.unreachable = "/";
    EXPECT_EQ(model::ExamineTree("/", gone.fetch(), lists, j.sink()), 0);
    EXPECT_EQ(lists.CardDirectories, std::vector<std::wstring>{L"/old"});  // the previous walk stays

    FakeCard partly;
    partly.listings["/"] = Listing({",A,0,16,0,0", ",B,0,16,0,0", ",r.jpg,1,32,0,0"});
    partly.listings["/B"] = Listing({"/B,b.jpg,1,32,0,0"});
    partly.unreachable = "/A";
    EXPECT_EQ(model::ExamineTree("/", partly.fetch(), lists, j.sink()), 3);
    EXPECT_EQ(partly.requests, (std::vector<std::string>{"/", "/A"}));  // the walk ends at /A
    EXPECT_EQ(Names(lists), (std::vector<std::wstring>{L"A", L"B", L"r.jpg"}));

    FakeCard empty;
    empty.listings["/"] = "";
    EXPECT_EQ(model::ExamineTree("/", empty.fetch(), lists, j.sink()), 0);
    EXPECT_TRUE(lists.CardRecords.empty());
    EXPECT_TRUE(lists.CardDirectories.empty());
}

TEST(CardWalk, UnsafeNamesAreSkippedWithAJournalLine) {
    FakeCard fake;
    fake.listings["/"] = Listing({",..,0,16,0,0", ",ok,0,16,0,0", ",a/b.jpg,3,32,0,0", ",NUL,0,16,0,0",
                                  ",x\x01y.jpg,3,32,0,0", ",,0,16,0,0"});
    // A folder field that could reach outside the card's folders is refused
    // like a name: the line is neither listed nor walked into.
    fake.listings["/ok"] = Listing({"/ok,f.jpg,1,32,0,0", "/ok/..,up,0,16,0,0", "/ok/a:b,g.jpg,1,32,0,0"});
    model::CardLists lists;
    Journal j;
    model::ExamineTree("/", fake.fetch(), lists, j.sink());
    EXPECT_EQ(fake.requests, (std::vector<std::string>{"/", "/ok"}));
    EXPECT_EQ(Names(lists), (std::vector<std::wstring>{L"ok", L"f.jpg"}));
    EXPECT_EQ(j.lines.size(), 7u);
    EXPECT_TRUE(j.Has(L"/x?y.jpg"));  // control characters are not written into the journal
}

TEST(CardWalk, LargeCardsAreWalkedWhole) {
    FakeCard fake;
    std::string root = "WLANSD_FILELIST\r\n";
    for (int i = 0; i < 300; i++) root += ",F" + std::to_string(i) + ",0,16,0,0\r\n";
    fake.listings["/"] = root;
    std::string big = "WLANSD_FILELIST\r\n";
    for (int i = 0; i < 9999; i++) big += "/F0,p" + std::to_string(i) + ".jpg,1,32,0,0\r\n";
    fake.listings["/F0"] = big;
    fake.listings["/F299"] = big;
    model::CardLists lists;
    Journal j;
    EXPECT_EQ(model::ExamineTree("/", fake.fetch(), lists, j.sink()), 300 + 2 * 9999);
    EXPECT_EQ(fake.requests.size(), 301u);
    EXPECT_EQ(lists.CardDirectories.size(), 300u);
    EXPECT_EQ(lists.CardDirectories.back(), L"/F299");
    EXPECT_EQ(lists.CardFiles.size(), 2u * 9999);
    EXPECT_EQ(lists.CardRecords.back().Name, L"p9998.jpg");
    EXPECT_EQ(lists.CardRecords.back().Index, 300 + 2 * 9999);
    EXPECT_TRUE(j.lines.empty());
}

TEST(CardWalk, AHostileCardCannotHoldTheWalk) {
    // A folder that names itself (or the root) again is listed once.
    FakeCard loop;
    loop.listings["/"] = Listing({",A,0,16,0,0"});
    loop.listings["/A"] = Listing({",A,0,16,0,0", "/A,x.jpg,1,32,0,0", ",,0,16,0,0"});
    model::CardLists lists;
    Journal j;
    EXPECT_EQ(model::ExamineTree("/", loop.fetch(), lists, j.sink()), 3);
    EXPECT_EQ(loop.requests, (std::vector<std::string>{"/", "/A"}));

    // A card that makes up ever deeper folders is walked until its listings
    // pass the bound in all, said once.
    size_t asked = 0;
    auto endless = [&](const std::string&) -> std::optional<std::string> {
        asked++;
        return "WLANSD_FILELIST\r\n" + std::string(4 << 20, 'x') + "\r\n/x" + std::to_string(asked) + ",d,0,16,0,0\r\n";
    };
    j.lines.clear();
    int32_t records = model::ExamineTree("/", endless, lists, j.sink());
    EXPECT_EQ(asked, model::kWalkBound / (4 << 20));  // the answer that passes the bound is not used
    EXPECT_EQ(records, static_cast<int32_t>(asked) - 1);
    EXPECT_EQ(j.lines, std::vector<std::wstring>{model::WalkCutText()});
}

TEST(CardList, NextCameraFolder) {
    auto entries = [](std::initializer_list<const char*> lines) {
        Journal j;
        return model::ListingEntries(Listing(lines), j.sink());
    };
    const auto dcim = entries({"/DCIM,100_PANA,0,16,0,0", "/DCIM,103_PANA,0,16,0,0", "/DCIM,102_PANA,0,16,0,0",
                               "/DCIM,CANONMSC,0,16,0,0", "/DCIM,101_PANA,0,16,0,0"});
    struct Case {
        const char* what;
        const wchar_t* path;
        std::vector<model::CardFileRecord> parent;
        std::optional<std::wstring> next;
    } cases[] = {
        {"the next in order, not the next listed", L"DCIM/101_PANA", dcim, L"DCIM/102_PANA"},
        {"a leading slash is taken as Path writes none", L"/DCIM/102_PANA", dcim, L"DCIM/103_PANA"},
        {"the last camera folder: a folder of another kind is no successor", L"DCIM/103_PANA", dcim, std::nullopt},
        {"another camera's name counts", L"DCIM/101_PANA",
         entries({"/DCIM,101_PANA,0,16,0,0", "/DCIM,102CANON,0,16,0,0"}), L"DCIM/102CANON"},
        {"a picture of size 0 is no folder", L"DCIM/101_PANA",
         entries({"/DCIM,101_PANA,0,16,0,0", "/DCIM,102_PANA,0,32,0,0"}), std::nullopt},
        {"names that are no camera folder", L"DCIM/101_PANA",
         entries({"/DCIM,102_PANAX,0,16,0,0", "/DCIM,0999PANA,0,16,0,0",
                  "/DCIM,10_PANA,0,16,0,0", "/DCIM,102-PANA,0,16,0,0", "/DCIM,MISC,0,16,0,0"}),
         std::nullopt},
        {"only folders of the camera folder's parent", L"DCIM/101_PANA",
         entries({"/OTHER,102_PANA,0,16,0,0", "/DCIM/101_PANA,102_PANA,0,16,0,0"}), std::nullopt},
        {"a camera folder in the root", L"101_PANA", entries({",102_PANA,0,16,0,0"}), L"102_PANA"},
        {"an empty path", L"", dcim, std::nullopt},
    };
    for (auto& c : cases) EXPECT_EQ(model::NextCameraFolder(c.path, c.parent), c.next) << c.what;
}
