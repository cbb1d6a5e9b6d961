// The card simulator over real sockets: what the card's HTTP side looks like,
// at most two requests at once, refusing, and staying on loopback.
#include <gtest/gtest.h>

#include <thread>

#include "card_support.h"
#include "driver.h"

using cardtest::HttpGet;
using cardtest::Simulator;

namespace {

const std::wstring kAddress = L"127.0.0.21";

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST(CardSimulator, AnswersAsTheCard) {
    driver::Sandbox box;
    driver::MakeDirs(box.root + L"\\Card\\DCIM");
    ASSERT_TRUE(driver::WriteTextFile(box.root + L"\\Card\\DCIM\\P1.JPG", std::string(5000, 'j')));
    Simulator sim(box.root + L"\\Card", kAddress);
    ASSERT_TRUE(sim.Running());

    auto listing = HttpGet(kAddress, "/command.cgi?op=100&DIR=/DCIM");
    EXPECT_TRUE(Has(listing.head, "HTTP/1.1 200"));
    EXPECT_FALSE(Has(listing.head, "Content-Length"));  // the body ends when the card closes
    EXPECT_EQ(listing.body.substr(0, 31), "WLANSD_FILELIST\r\n/DCIM,P1.JPG,5");
    EXPECT_EQ(listing.body.substr(listing.body.size() - 2), "\r\n");
    EXPECT_EQ(HttpGet(kAddress, "/command.cgi?op=104").body, "flashair_e8e0b756a7fb");
    auto file = HttpGet(kAddress, "/DCIM/P1.JPG");
    EXPECT_TRUE(Has(file.head, "Content-Length: 5000"));
    EXPECT_EQ(file.body.size(), 5000u);
    EXPECT_TRUE(Has(HttpGet(kAddress, "/command.cgi?op=100&DIR=/NONE").head, "HTTP/1.1 404"));
    EXPECT_TRUE(Has(HttpGet(kAddress, "/thumbnail.cgi?//DCIM/P1.JPG").head, "Content-Type: image/jpeg"));

    ASSERT_EQ(sim.Command("fault cut 1 P1.JPG"), "ok\n");
    EXPECT_EQ(HttpGet(kAddress, "/DCIM/P1.JPG").body.size(), 2500u);
    ASSERT_EQ(sim.Command("refuse"), "ok\n");
    EXPECT_TRUE(driver::WaitFor([&] { return !HttpGet(kAddress, "/command.cgi?op=104").connected; }, 3000));
    ASSERT_EQ(sim.Command("accept"), "ok\n");
    EXPECT_TRUE(driver::WaitFor([&] { return HttpGet(kAddress, "/command.cgi?op=104").connected; }, 3000));

    // Back at another address; the control port stays where it was.
    ASSERT_EQ(sim.Command("move 127.0.0.22"), "ok\n");
    EXPECT_TRUE(driver::WaitFor([&] { return HttpGet(L"127.0.0.22", "/command.cgi?op=120").body.size() == 32; }, 3000));
    EXPECT_FALSE(HttpGet(kAddress, "/command.cgi?op=104").connected);
}

TEST(CardSimulator, ServesAtMostTwoRequestsAtOnce) {
    driver::Sandbox box;
    Simulator sim(box.root + L"\\Card", kAddress, L"--stall 60");
    ASSERT_TRUE(sim.Running());
    ASSERT_EQ(sim.Command("fault stall 2 op=104"), "ok\n");
    std::thread first([] { HttpGet(kAddress, "/command.cgi?op=104"); });
    std::thread second([] { HttpGet(kAddress, "/command.cgi?op=104"); });
    ASSERT_TRUE(driver::WaitFor([&] { return sim.Count("op=104") == 2; }));
    std::string third;
    std::thread waiting([&] { third = HttpGet(kAddress, "/command.cgi?op=102").body; });
    EXPECT_FALSE(driver::WaitFor([&] { return sim.Count("op=102") > 0; }, 1500));
    ASSERT_EQ(sim.Command("release"), "ok\n");
    waiting.join();
    EXPECT_EQ(third, "0");
    first.join();
    second.join();
}

TEST(CardSimulator, RefusesToListenOutsideLoopback) {
    driver::Sandbox box;
    std::wstring cmd = L"\"" + driver::TestBinDir() + L"card_simulator.exe\" --root \"" + box.root +
                       L"\" --address 0.0.0.0 --lifetime 5";
    std::vector<wchar_t> line(cmd.begin(), cmd.end());
    line.push_back(0);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi));
    CloseHandle(pi.hThread);
    driver::Started p;
    p.process.reset(pi.hProcess);
    EXPECT_EQ(driver::WaitExit(p, 10000), 2);
}
