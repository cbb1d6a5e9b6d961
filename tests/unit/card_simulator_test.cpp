// The card simulator's answers, checked without its network side.
#include "sim_card.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "model/pictures/card_list.h"
#include "test_util.h"

namespace {

namespace stdfs = std::filesystem;

struct SimulatedCard {
    testutil::TempDir dir;
    stdfs::path root = testutil::NativePath(dir.path());
    sim::Card card{root, "flashair_e8e0b756a7fb"};

    void Write(const std::string& path, const std::string& bytes = "x") {
        stdfs::path p = root / stdfs::path(std::u8string(path.begin(), path.end()));
        stdfs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << bytes;
    }
};

// The listing's lines without their date and time fields (they vary).
std::vector<std::string> Lines(const sim::Reply& r) {
    std::vector<std::string> out;
    for (std::string_view line : model::SplitLines(r.body)) {
        size_t time = line.rfind(',');
        size_t date = time == std::string_view::npos || time == 0 ? time : line.rfind(',', time - 1);
        out.emplace_back(line.substr(0, date == std::string_view::npos ? line.size() : date + 1));
    }
    return out;
}

}  // namespace

TEST(CardSimulator, FatValues) {
    EXPECT_EQ(sim::FatDate(2017, 11, 14), 19310);
    EXPECT_EQ(sim::FatTime(14, 49, 34), 30257);
    EXPECT_EQ(sim::FatDate(2015, 1, 1), 17953);
    EXPECT_EQ(sim::FatTime(9, 54, 42), 20181);
}

TEST(CardSimulator, RequestsAndPaths) {
    EXPECT_EQ(sim::RequestTarget("GET /command.cgi?op=104 HTTP/1.1\r\nHost: x\r\n\r\n"), "/command.cgi?op=104");
    EXPECT_FALSE(sim::RequestTarget("POST / HTTP/1.1\r\n\r\n"));
    EXPECT_FALSE(sim::RequestTarget("GET /"));
    EXPECT_EQ(sim::PercentDecode("/%C3%84%20b%2c%zz%4"), "/\xC3\x84 b,%zz%4");
    EXPECT_EQ(sim::Unescape("a\\x2Cb\\xFF\\xZZ\\x4"), "a,b\xFF\\xZZ\\x4");
    EXPECT_EQ(sim::CardPathSegments("//DCIM//101_PANA/"), (std::vector<std::string>{"DCIM", "101_PANA"}));
    for (const char* escape : {"/..", "/DCIM/../..", "/a\\b", "/C:", "/."}) EXPECT_FALSE(sim::CardPathSegments(escape)) << escape;
}

TEST(CardSimulator, ListingsAsTheCardWritesThem) {
    SimulatedCard s;
    s.Write("DCIM/101_PANA/P1.JPG", std::string(1234, 'j'));
    s.Write("DCIM/.hidden/x");
    s.Write("ROOT, with comma.TXT", "");
    sim::Reply root = s.card.Answer("/command.cgi?op=100&DIR=/");
    EXPECT_EQ(root.status, 200);
    EXPECT_FALSE(root.contentLength);
    ASSERT_GE(root.body.size(), 2u);
    EXPECT_EQ(root.body.substr(root.body.size() - 2), "\r\n");
    EXPECT_EQ(Lines(root), (std::vector<std::string>{"WLANSD_FILELIST", ",DCIM,0,16,", ",ROOT, with comma.TXT,0,32,"}));
    EXPECT_EQ(Lines(s.card.Answer("/command.cgi?op=100&DIR=/DCIM")),
              (std::vector<std::string>{"WLANSD_FILELIST", "/DCIM,.hidden,0,18,", "/DCIM,101_PANA,0,16,"}));

    sim::Reply pictures = s.card.Answer("/command.cgi?op=100&DIR=%2FDCIM%2F101_PANA");
    auto lines = model::SplitLines(pictures.body);
    ASSERT_EQ(lines.size(), 2u);
    auto r = model::ParseRecord(lines[1]);
    ASSERT_TRUE(r);
    EXPECT_EQ(std::make_tuple(r->Directory, r->Name, r->Size, r->Attribute),
              std::make_tuple(std::wstring(L"/DCIM/101_PANA"), std::wstring(L"P1.JPG"), 1234, 32));
    EXPECT_GE(r->Year, 2020);

    for (const char* missing : {"/command.cgi?op=100&DIR=/NONE", "/command.cgi?op=100&DIR=/DCIM/101_PANA/P1.JPG",
                                "/command.cgi?op=100&DIR=/..", "/command.cgi?op=999"})
        EXPECT_EQ(s.card.Answer(missing).status, 404) << missing;
}

TEST(CardSimulator, FlagSsidThumbnailsAndFiles) {
    SimulatedCard s;
    s.Write("DCIM/P1.JPG", "jpegdata");
    s.Write("DCIM/P1.CR2", "raw");
    EXPECT_EQ(s.card.Answer("/command.cgi?op=104").body, "flashair_e8e0b756a7fb");
    EXPECT_EQ(s.card.Answer("/command.cgi?op=120").body, sim::kDefaultCid);
    EXPECT_EQ(s.card.Answer("/command.cgi?op=102").body, "0");
    EXPECT_EQ(s.card.Control("shoot /DCIM 2"), "ok\nP1010001\nP1010002");
    EXPECT_EQ(s.card.Answer("/command.cgi?op=102").body, "1");  // reading clears it
    EXPECT_EQ(s.card.Answer("/command.cgi?op=102").body, "0");
    EXPECT_TRUE(stdfs::exists(s.root / "DCIM" / "P1010002.CR2"));

    sim::Reply thumb = s.card.Answer("/thumbnail.cgi?//DCIM/P1.JPG");
    EXPECT_EQ(thumb.status, 200);
    EXPECT_EQ(thumb.body, sim::SmallJpeg());
    EXPECT_EQ(s.card.Answer("/thumbnail.cgi?/DCIM/P1.CR2").status, 404);
    sim::Reply file = s.card.Answer("/DCIM/P1.CR2");
    ASSERT_TRUE(file.file);
    EXPECT_EQ(file.fileSize, 3u);
    EXPECT_NE(sim::ReplyHead(file).find("Content-Length: 3\r\n"), std::string::npos);
}

TEST(CardSimulator, FaultsAndTheRequestLog) {
    SimulatedCard s;
    EXPECT_EQ(s.card.Control("fault 500 2 op=104"), "ok");
    EXPECT_EQ(s.card.Control("fault empty 1 op=102"), "ok");
    EXPECT_EQ(s.card.Control("flag 1"), "ok");
    EXPECT_EQ(s.card.Answer("/command.cgi?op=104").status, 500);
    EXPECT_EQ(s.card.Answer("/command.cgi?op=102").body, "");
    EXPECT_EQ(s.card.Answer("/command.cgi?op=102").body, "1");  // the fault did not use up the flag
    EXPECT_EQ(s.card.Answer("/command.cgi?op=104").status, 500);
    EXPECT_EQ(s.card.Answer("/command.cgi?op=104").status, 200);
    EXPECT_EQ(s.card.Control("fault cut always"), "ok");
    EXPECT_EQ(s.card.Answer("/x").fault, sim::Fault::Cut);
    EXPECT_EQ(s.card.Control("clear"), "ok");
    EXPECT_EQ(s.card.Answer("/x").fault, sim::Fault::None);
    EXPECT_EQ(s.card.Control("line / \\x2CEVIL\\x2C..,1,32,0,0"), "ok");
    EXPECT_NE(s.card.Answer("/command.cgi?op=100&DIR=/").body.find("\r\n,EVIL,..,1,32,0,0\r\n"), std::string::npos);
    EXPECT_EQ(s.card.Control("log"),
              "ok\n/command.cgi?op=104\n/command.cgi?op=102\n/command.cgi?op=102\n/command.cgi?op=104\n"
              "/command.cgi?op=104\n/x\n/x\n/command.cgi?op=100&DIR=/");
    EXPECT_EQ(s.card.Control("fault gone 1 P1.JPG"), "ok");
    EXPECT_FALSE(s.card.Refusing());
    EXPECT_EQ(s.card.Answer("/DCIM/P1.JPG").fault, sim::Fault::Reset);
    EXPECT_TRUE(s.card.Refusing());  // until "accept"
    EXPECT_EQ(s.card.Control("accept"), "ok");
    EXPECT_FALSE(s.card.Refusing());
    EXPECT_EQ(s.card.Control("refuse"), "ok");
    EXPECT_TRUE(s.card.Refusing());
    EXPECT_EQ(s.card.Control("nonsense").substr(0, 5), "error");
    EXPECT_EQ(s.card.Control("fault nonsense").substr(0, 5), "error");
}

namespace {

// Size and name of each picture the listing of `dir` shows, header left out.
std::vector<std::pair<std::wstring, int64_t>> Sizes(sim::Card& card, const std::string& dir) {
    std::vector<std::pair<std::wstring, int64_t>> out;
    sim::Reply listing = card.Answer("/command.cgi?op=100&DIR=" + dir);
    for (std::string_view line : model::SplitLines(listing.body))
        if (auto r = model::ParseRecord(line)) out.emplace_back(r->Name, r->Size);
    return out;
}

}  // namespace

TEST(CardSimulator, PicturesWrittenInStepsAndCameraFoldersThatRollOver) {
    SimulatedCard s;
    // Written by hand: listed and served as far as written.
    EXPECT_EQ(s.card.Control("part /DCIM/101_PANA/P9.JPG 0 50000"), "ok");
    EXPECT_EQ(Sizes(s.card, "/DCIM/101_PANA"), (std::vector<std::pair<std::wstring, int64_t>>{{L"P9.JPG", 0}}));
    EXPECT_EQ(s.card.Answer("/command.cgi?op=102").body, "1");
    EXPECT_EQ(s.card.Control("part /DCIM/101_PANA/P9.JPG 20000 50000"), "ok");
    EXPECT_EQ(s.card.Answer("/DCIM/101_PANA/P9.JPG").fileSize, 20000u);
    EXPECT_EQ(s.card.Control("part /DCIM/101_PANA/P9.JPG 50000 50000"), "ok");
    EXPECT_EQ(s.card.Control("add /DCIM/101_PANA/P8.JPG 50000"), "ok");  // the same bytes in one go
    std::ifstream whole(s.root / "DCIM/101_PANA/P9.JPG", std::ios::binary), same(s.root / "DCIM/101_PANA/P8.JPG", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(whole), {}), std::string(std::istreambuf_iterator<char>(same), {}));

    // Written by the clock: 0 bytes first, then half, then whole; the update
    // flag tells of each step.
    EXPECT_EQ(s.card.Control("shoot-slow /DCIM/101_PANA 1 500 RW2 40000"), "ok\nP1010001");
    EXPECT_EQ(Sizes(s.card, "/DCIM/101_PANA")[0], std::make_pair(std::wstring(L"P1010001.JPG"), int64_t{0}));
    std::vector<int64_t> seen;
    for (auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
         std::chrono::steady_clock::now() < deadline && (seen.empty() || seen.back() < 40000);) {
        int64_t size = Sizes(s.card, "/DCIM/101_PANA")[0].second;
        if (seen.empty() || seen.back() != size) seen.push_back(size);
    }
    EXPECT_EQ(seen, (std::vector<int64_t>{0, 20000, 40000}));
    EXPECT_EQ(s.card.Answer("/command.cgi?op=102").body, "1");
    EXPECT_EQ(stdfs::file_size(s.root / "DCIM/101_PANA/P1010001.RW2"), 40000u);

    // A camera starts its next folder when the current one is full.
    EXPECT_EQ(s.card.Control("roll 6"), "ok");
    EXPECT_EQ(s.card.Control("shoot /DCIM/101_PANA 2"), "ok\nP1010002\nfolder /DCIM/102_PANA\nP1010003");
    EXPECT_EQ(s.card.Control("shoot /DCIM/101_PANA 3"), "ok\nfolder /DCIM/102_PANA\nP1010004\nP1010005\nfolder /DCIM/103_PANA\nP1010006");
    EXPECT_TRUE(stdfs::exists(s.root / "DCIM/103_PANA/P1010006.CR2"));
    EXPECT_EQ(s.card.Control("roll 0"), "ok");
    EXPECT_EQ(s.card.Control("shoot /DCIM/101_PANA 1"), "ok\nP1010007");
    EXPECT_EQ(sim::NextCameraFolderName("999_PANA"), std::nullopt);
    EXPECT_EQ(sim::NextCameraFolderName("MISC"), std::nullopt);
}

TEST(CardSimulator, AsleepAndHostsThatAreNoCard) {
    SimulatedCard s;
    EXPECT_EQ(s.card.Control("sleep 30"), "ok");
    EXPECT_TRUE(s.card.Asleep());
    EXPECT_EQ(s.card.Control("wake"), "ok");
    EXPECT_FALSE(s.card.Asleep());
    EXPECT_EQ(s.card.Control("sleep 0"), "ok");
    EXPECT_FALSE(s.card.Asleep());

    EXPECT_EQ(s.card.Control("decoy 127.0.0.6 redirect"), "ok");
    EXPECT_EQ(s.card.Control("decoy 127.0.0.7 page"), "ok");
    for (const char* refused : {"decoy 192.168.0.1 page", "decoy 127.0.0.5 page", "decoy 127.0.0.256 page",
                                "decoy 127.0.0.6 maybe"})
        EXPECT_EQ(s.card.Control(refused).substr(0, 5), "error") << refused;
    EXPECT_EQ(s.card.Decoys().size(), 2u);

    sim::Reply moved = s.card.AnswerDecoy("127.0.0.6", "/command.cgi?op=104");
    EXPECT_EQ(moved.status, 302);
    std::string head = sim::ReplyHead(moved);
    EXPECT_NE(head.find("HTTP/1.1 302 Found\r\n"), std::string::npos);
    EXPECT_NE(head.find("Location: http://127.0.0.5/command.cgi?op=104\r\n"), std::string::npos);
    sim::Reply page = s.card.AnswerDecoy("127.0.0.7", "/command.cgi?op=104");
    EXPECT_EQ(page.status, 200);
    EXPECT_EQ(page.body.substr(0, 15), "<!DOCTYPE html>");

    // The camera started again and the card came back elsewhere: redirects follow it.
    for (const char* refused : {"move 10.0.0.9", "move 127.0.0.7", "move 127.0.0"})
        EXPECT_EQ(s.card.Control(refused).substr(0, 5), "error") << refused;
    EXPECT_EQ(s.card.Control("move 127.0.0.9"), "ok");
    EXPECT_EQ(s.card.Host(), "127.0.0.9");
    EXPECT_NE(sim::ReplyHead(s.card.AnswerDecoy("127.0.0.6", "/x")).find("Location: http://127.0.0.9/x\r\n"),
              std::string::npos);
    EXPECT_EQ(s.card.Control("decoy 127.0.0.6 off"), "ok");
    EXPECT_EQ(s.card.AnswerDecoy("127.0.0.6", "/").fault, sim::Fault::Reset);  // switched off meanwhile
    EXPECT_EQ(s.card.Control("clear"), "ok");
    EXPECT_TRUE(s.card.Decoys().empty());
    EXPECT_EQ(s.card.Control("log"), "ok\ndecoy 127.0.0.6 /command.cgi?op=104\ndecoy 127.0.0.7 /command.cgi?op=104\n"
                                     "decoy 127.0.0.6 /x\ndecoy 127.0.0.6 /");
}

namespace {

std::string Read(const stdfs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The small JPEG behind comment segments only: what a decoder reads is the
// small JPEG itself.
bool WholePicture(const std::string& bytes) {
    std::string_view jpeg = sim::SmallJpeg();
    size_t at = 2;
    while (at + 4 <= bytes.size() && bytes.compare(at, 2, "\xFF\xFE") == 0)
        at += 2 + (static_cast<unsigned char>(bytes[at + 2]) << 8 | static_cast<unsigned char>(bytes[at + 3]));
    return bytes.compare(0, 2, jpeg.substr(0, 2)) == 0 && bytes.size() >= at &&
           bytes.compare(at, std::string::npos, jpeg.substr(2)) == 0;
}

}  // namespace

TEST(CardSimulator, CounterWrapFormatAndShotsThatDiffer) {
    SimulatedCard s;
    const stdfs::path folder = s.root / "DCIM/101_PANA";
    EXPECT_EQ(s.card.Control("shoot /DCIM/101_PANA 2 RW2 40000"), "ok\nP1010001\nP1010002");
    std::vector<std::string> files;
    for (const char* name : {"P1010001.JPG", "P1010002.JPG", "P1010001.RW2", "P1010002.RW2"}) {
        files.push_back(Read(folder / name));
        EXPECT_EQ(files.back().size(), 40000u) << name;
    }
    EXPECT_TRUE(WholePicture(files[0]) && WholePicture(files[1]));
    EXPECT_EQ(std::set<std::string>(files.begin(), files.end()).size(), files.size());

    // The counter goes on from 9999 to 0001 and passes over names still on the card.
    for (const char* refused : {"counter 0", "counter 10000", "counter 12x"})
        EXPECT_EQ(s.card.Control(refused).substr(0, 5), "error") << refused;
    EXPECT_EQ(s.card.Control("counter 9998"), "ok");
    EXPECT_EQ(s.card.Control("shoot /DCIM/101_PANA 3"), "ok\nP1019998\nP1019999\nP1010003");

    // A format empties the camera folders, steps still due included; the same
    // names then hold other pictures.
    EXPECT_EQ(s.card.Control("shoot-slow /DCIM/101_PANA 1 1"), "ok\nP1010004");
    EXPECT_EQ(s.card.Control("format"), "ok");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    s.card.Tick();
    EXPECT_TRUE(stdfs::is_directory(folder));
    EXPECT_TRUE(stdfs::is_empty(folder));
    EXPECT_EQ(s.card.Control("counter 1"), "ok");
    EXPECT_EQ(s.card.Control("clock -3600"), "ok");  // the camera's clock an hour behind
    EXPECT_EQ(s.card.Control("shoot /DCIM/101_PANA 1 RW2 40000"), "ok\nP1010001");
    auto behind = stdfs::file_time_type::clock::now() - stdfs::last_write_time(folder / "P1010001.JPG");
    EXPECT_NEAR(std::chrono::duration_cast<std::chrono::seconds>(behind).count(), 3600, 60);
    EXPECT_NE(Read(folder / "P1010001.JPG"), files[0]);
    EXPECT_NE(Read(folder / "P1010001.RW2"), files[2]);
    EXPECT_EQ(stdfs::file_size(folder / "P1010001.RW2"), 40000u);
}
