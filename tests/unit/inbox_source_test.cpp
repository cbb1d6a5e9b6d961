#include "model/pictures/inbox_source.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "test_util.h"

namespace {

// Which files of an inbox are taken, and when.
TEST(InboxSource, NamesAndCompleteness) {
    for (auto [name, inWriting] : {std::pair{L"P1.JPG", false}, {L"P1.JPG.part", true}, {L"P1.jpg.filepart", true},
                                   {L"P1.JPG.crdownload", true}, {L"P1.JPG.TMP", true}, {L"~P1.JPG", true},
                                   {L".P1.JPG.x7Gd", true}, {L"P1~.JPG", false}, {L"", false}})
        EXPECT_EQ(model::IsNameInWriting(name), inWriting) << str::ToUtf8(name);
    const int64_t ms = 1000000, t = 1000 * ms;
    const model::Sighting first = model::SightingNow({L"P1.JPG", 500, 7}, nullptr, t);
    EXPECT_FALSE(model::HasHeld(first, t));
    EXPECT_FALSE(model::HasHeld(first, t + model::kInboxHeldNs - 1));
    EXPECT_TRUE(model::HasHeld(first, t + model::kInboxHeldNs));
    // Grown, or written again at the same size: it holds anew from now.
    for (fs::FileEntry later : {fs::FileEntry{L"P1.JPG", 900, 7}, fs::FileEntry{L"P1.JPG", 500, 8}}) {
        const model::Sighting again = model::SightingNow(later, &first, t + 50 * ms);
        EXPECT_FALSE(model::HasHeld(again, t + model::kInboxHeldNs));
        EXPECT_TRUE(model::HasHeld(again, t + 50 * ms + model::kInboxHeldNs));
    }
    EXPECT_FALSE(model::HasHeld(model::SightingNow({L"P1.JPG", 0, 7}, nullptr, t), t + 100 * t));  // empty

    EXPECT_EQ(model::InboxFolders(L" C:\\In ;;D:\\Ftp\\up; "), (std::vector<std::wstring>{L"C:\\In", L"D:\\Ftp\\up"}));
    EXPECT_TRUE(model::InboxFolders(L"").empty());
    // [TFA] Url's entries are one card each; UrlLastConnect keeps their order,
    // and a single entry means what it always meant.
    EXPECT_EQ(model::CardEntries(L" 127.0.0.2 ;; 10.0.0.1-9 "), (std::vector<std::wstring>{L"127.0.0.2", L"10.0.0.1-9"}));
    EXPECT_EQ(model::WithLastConnect(L"", 1, L"10.0.0.4"), L";10.0.0.4");
    EXPECT_EQ(model::WithLastConnect(L"127.0.0.2;10.0.0.3", 1, L""), L"127.0.0.2");
    EXPECT_EQ(model::WithLastConnect(L"192.168.0.1", 0, L"192.168.0.7"), L"192.168.0.7");
    model::Settings cards;
    cards.Url = L"127.0.0.2; 10.0.0.1-9";
    cards.UrlLastConnect = L";10.0.0.4";
    EXPECT_EQ(model::CardSettings(cards, 1).Url + L"|" + model::CardSettings(cards, 1).UrlLastConnect, L"10.0.0.1-9|10.0.0.4");
    EXPECT_EQ(model::CardSettings(cards, 0).Url + L"|" + model::CardSettings(cards, 0).UrlLastConnect, L"127.0.0.2|");
    EXPECT_EQ(model::DownloadName(0) + L" " + model::DownloadName(1), L"Wemlox.download Wemlox-2.download");
    model::Settings s;
    s.SourcePath = L"C:\\Pictures";
    s.BackupPath = L"E:\\Backup";
    for (auto [inbox, refused] : {std::pair{L"C:\\In", false}, {L"C:\\pictures\\in", true}, {L"C:\\", true},
                                  {L"E:\\backup\\", true}, {L"C:\\Pictures2", false}, {L"In", true},
                                  {L"D:\\Ftp\\up", true}, {L"D:\\Ftp", true}})
        EXPECT_EQ(model::InboxRefusal(inbox, s, {L"D:\\Ftp\\up"}).has_value(), refused) << str::ToUtf8(inbox);
}

struct Recorded final : model::TransferEvents {
    std::vector<std::wstring> journal;
    std::vector<model::PictureStored> stored;
    void Journal(const std::wstring& text) override { journal.push_back(text); }
    void Lamp(int, model::Lamp, model::LampAt) override {}
    void Stored(const model::PictureStored& picture) override { stored.push_back(picture); }
    void Busy(bool) override {}
};

// One run of the program over an inbox, with its own store.
struct InboxRun {
    Recorded events;
    model::InboxSource source;
    model::TransferPipeline pipeline{source, events, [] { return false; }};

    InboxRun(const std::wstring& inbox, const testutil::TempDir& store)
        : source(inbox, events, [] { return false; }) {
        model::Settings config;
        config.SourcePath = config.TmpPath = store.path();
        config.TransferLoRes = L".jpg";
        config.TransferModeAuto = L"lores";
        config.TransferOnlyAddedFiles = true;
        source.Begin(config, store.path(), fs::Now());
    }
    // Looks until `done` holds, for at most a few seconds.
    bool TickUntil(const std::function<bool()>& done) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!done() && std::chrono::steady_clock::now() < end) pipeline.Tick();
        return done();
    }
    bool SeenFirst() {
        return TickUntil([&] { return source.Ledger().HasSnapshot(); });
    }
};

std::string Jpeg(char fill) { return "\xFF\xD8" + std::string(400, fill) + "\xFF\xD9"; }

// What was in the inbox at first sight stays; what arrives, below it too, is
// stored once and shown, and only under its final name.
TEST(InboxSource, TakesWhatArrivesOnceUnderItsFinalName) {
    testutil::TempDir inbox, store;
    inbox.Write(L"before.jpg", Jpeg('a'));
    InboxRun run(inbox.path(), store);
    ASSERT_TRUE(run.SeenFirst());
    inbox.MakeDir(L"cam1");
    inbox.Write(L"cam1\\P1.jpg.part", Jpeg('b'));
    inbox.Write(L"cam1\\~P2.jpg", Jpeg('c'));
    const int64_t held = fs::Now() + 3 * model::kInboxHeldNs;  // long enough for either to be taken
    run.TickUntil([&] { return !run.events.stored.empty() || fs::Now() > held; });
    EXPECT_TRUE(run.events.stored.empty());
    std::filesystem::rename(testutil::NativePath(inbox / L"cam1\\P1.jpg.part"),
                            testutil::NativePath(inbox / L"cam1\\P1.jpg"));
    ASSERT_TRUE(run.TickUntil([&] { return !run.events.stored.empty(); }));
    run.pipeline.Tick();
    ASSERT_EQ(run.events.stored.size(), 1u);
    EXPECT_EQ(run.events.stored[0].path, store / L"LoRes\\P1.jpg");
    EXPECT_TRUE(run.events.stored[0].show);
    EXPECT_EQ(testutil::ReadAll(run.events.stored[0].path), Jpeg('b'));
}

// An inbox that is not there is said once and taken up when it comes; seen
// empty, what it holds at the next start came while the program was ended.
TEST(InboxSource, AnInboxAwayOrEmptyIsTakenUpAgain) {
    testutil::TempDir root, store;
    const std::wstring inbox = root / L"in";
    {
        InboxRun run(inbox, store);
        run.pipeline.Tick();
        run.pipeline.Tick();
        EXPECT_TRUE(run.source.Missing());
        EXPECT_EQ(run.events.journal, (std::vector<std::wstring>{L"Inbox not reachable: " + inbox +
                                                                  L" (looked at again until it is back)"}));
        ASSERT_TRUE(fs::CreateDir(inbox));
        ASSERT_TRUE(run.SeenFirst());
        EXPECT_EQ(run.events.journal.back(), L"Inbox back: " + inbox);
    }
    root.Write(L"in\\P1.jpg", Jpeg('a'));
    InboxRun next(inbox, store);
    ASSERT_TRUE(next.TickUntil([&] { return !next.events.stored.empty(); }));
    EXPECT_EQ(next.events.stored[0].path, store / L"LoRes\\P1.jpg");
}

}  // namespace
