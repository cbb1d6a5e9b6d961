// The card simulator's answers, checked without its network side.
#include "sim_card.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "flashair/card_list.h"
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
    for (std::string_view line : card::SplitLines(r.body)) {
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
    auto lines = card::SplitLines(pictures.body);
    ASSERT_EQ(lines.size(), 2u);
    auto r = card::ParseRecord(lines[1]);
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
