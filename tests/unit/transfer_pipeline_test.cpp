#include "model/pictures/transfer_pipeline.h"

#include <gtest/gtest.h>

#include <thread>

#include "card_fakes.h"
#include "test_util.h"

namespace {

using testutil::FakeCardPort;

struct Recorded final : model::TransferEvents {
    std::vector<std::wstring> journal;
    std::vector<model::PictureStored> stored;
    int busy = 0;
    void Journal(const std::wstring& text) override { journal.push_back(text); }
    void Lamp(int, model::Lamp, model::LampAt) override {}
    void Stored(const model::PictureStored& picture) override { stored.push_back(picture); }
    void Busy(bool on) override { busy += on ? 1 : -1; }
};

std::string Jpeg(size_t size, char fill) { return "\xFF\xD8" + std::string(size - 4, fill) + "\xFF\xD9"; }

// A card at `host` whose camera folder holds one JPEG and one raw file per
// shot, every one of them taken during the run; each card its own store.
struct Card {
    FakeCardPort port;
    testutil::TempDir tmp;
    Recorded events;
    model::TransferPipeline pipeline{port.session, events, [] { return false; }};
    std::wstring host;
    std::string listing = "WLANSD_FILELIST\r\n";

    explicit Card(std::wstring at) : host(std::move(at)) {
        port.ConfigureCamera(L".rw2");
        port.config.Url = host;
        port.config.TmpPath = tmp.path();
        port.config.TransferModeAuto = L"both";
        port.config.TransferOnlyAddedFiles = false;
        port.Begin();
        port.Card(host, "flashair_" + str::ToUtf8(host));
        port.Answer(L"http://" + host + L"/command.cgi?op=102", "1");
    }
    void Shoot(const std::string& name, char fill) {
        for (auto [ext, bytes] : {std::pair{".JPG", Jpeg(3000, fill)}, {".RW2", std::string(9000, fill)}}) {
            listing += "/DCIM/101_PANA," + name + ext + "," + std::to_string(bytes.size()) + ",32,19310,30257\r\n";
            port.files[L"http://" + host + L"/DCIM/101_PANA/" + str::FromUtf8(name + ext)] = bytes;
        }
        port.Answer(L"http://" + host + L"/command.cgi?op=100&DIR=/DCIM/101_PANA", listing);
    }
    std::string Stored(const std::wstring& kind, const std::wstring& name) {
        return testutil::ReadAll(port.store / (kind + L"\\" + name));
    }
};

}  // namespace

// Each picture stored is reported with its folder, the JPEG for the viewer;
// the record is written, nothing is fetched twice.
TEST(TransferPipeline, ReportsWhatItStores) {
    Card card(L"127.0.0.5");
    card.Shoot("P1010001", 'a');
    card.pipeline.Tick();
    EXPECT_EQ(card.events.busy, 0);
    ASSERT_EQ(card.events.stored.size(), 2u);
    EXPECT_EQ(card.events.stored[0].path, card.port.store / L"LoRes\\P1010001.JPG");
    EXPECT_TRUE(card.events.stored[0].show);
    EXPECT_EQ(card.events.stored[1].folder, model::Store::HiRes);
    EXPECT_FALSE(card.events.stored[1].show);
    EXPECT_EQ(card.events.journal, (std::vector<std::wstring>{L"Transfer: " + card.events.stored[0].path,
                                                               L"Transfer: " + card.events.stored[1].path}));
    EXPECT_EQ(card.port.session.Ledger().Record().StoredCount(), 2u);
    EXPECT_FALSE(card.port.session.Ledger().Record().Dirty());  // written
    card.pipeline.Tick();
    EXPECT_EQ(card.port.fetches.size(), 2u);
}

// Two cards, each with its own session and pipeline, transfer at once on
// threads of their own (run under ThreadSanitizer too); neither takes the
// other's pictures.
TEST(TransferPipeline, TwoCardsSideBySide) {
    Card first(L"127.0.0.5"), second(L"127.0.0.6");
    for (int shot = 1; shot <= 3; shot++) {
        first.Shoot("P101000" + std::to_string(shot), 'a');
        second.Shoot("P101000" + std::to_string(shot), 'b');
    }
    auto run = [](Card& card) {
        card.port.session.BindWriter();
        card.pipeline.Tick();
        card.pipeline.Tick();
    };
    std::thread a(run, std::ref(first)), b(run, std::ref(second));
    a.join();
    b.join();
    for (Card* card : {&first, &second}) {
        card->port.session.BindWriter();  // this thread's again
        const char fill = card == &first ? 'a' : 'b';
        EXPECT_EQ(card->events.stored.size(), 6u);
        EXPECT_EQ(card->port.fetches.size(), 6u);
        EXPECT_EQ(card->Stored(L"LoRes", L"P1010003.JPG"), Jpeg(3000, fill));
        EXPECT_EQ(card->Stored(L"HiRes", L"P1010002.RW2"), std::string(9000, fill));
        EXPECT_EQ(card->port.session.WhoIs(), L"ssid-flashair_" + card->host);
    }
}
