#include "model/pictures/inbox_source.h"

#include <gtest/gtest.h>

#include <chrono>

#include "test_util.h"

namespace {

// Which files of an inbox are taken, and when.
TEST(InboxSource, NamesAndCompleteness) {
    struct Case {
        const wchar_t* name;
        bool inWriting;
    };
    for (const Case& c : std::initializer_list<Case>{{L"P1.JPG", false},     {L"P1.JPG.part", true},
                                                     {L"P1.jpg.filepart", true}, {L"P1.JPG.crdownload", true},
                                                     {L"P1.JPG.TMP", true},  {L"~P1.JPG", true},
                                                     {L".P1.JPG.x7Gd", true}, {L"P1~.JPG", false},
                                                     {L"", false}})
        EXPECT_EQ(model::IsNameInWriting(c.name), c.inWriting) << str::ToUtf8(c.name);

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

// One run of the program over an inbox: its source and pipeline.
struct InboxRun {
    Recorded events;
    model::InboxSource source;
    model::TransferPipeline pipeline{source, events, [] { return false; }};

    InboxRun(const std::wstring& inbox, const model::Settings& config, const std::wstring& records)
        : source(inbox, events, [] { return false; }) {
        source.Begin(config, records, fs::Now());
    }
    // Looks until `done` holds, for at most a few seconds.
    template <typename Done>
    bool TickUntil(Done done) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) return false;
            pipeline.Tick();
        }
        return true;
    }
};

std::string Jpeg(char fill) { return "\xFF\xD8" + std::string(400, fill) + "\xFF\xD9"; }

// What was in the inbox at first sight stays; what arrives, below it too,
// is stored once and shown, a file is taken only under its final name, a
// file written while the program was ended comes at the next start, and
// the inbox itself is left as it was.
TEST(InboxSource, TakesWhatArrivesOnce) {
    testutil::TempDir inbox, store, tmp, records;
    model::Settings config;
    config.SourcePath = store.path();
    config.TmpPath = tmp.path();
    config.TransferLoRes = L".jpg";
    config.TransferHiRes = L".rw2";
    config.TransferModeAuto = L"lores";
    config.TransferOnlyAddedFiles = true;
    inbox.Write(L"before.jpg", Jpeg('a'));
    {
        InboxRun run(inbox.path(), config, records.path());
        ASSERT_TRUE(run.TickUntil([&] { return run.source.Ledger().HasSnapshot(); }));
        inbox.MakeDir(L"cam1");
        inbox.Write(L"cam1\\P1.jpg.part", Jpeg('b'));
        inbox.Write(L"cam1\\~P2.jpg", Jpeg('c'));
        run.pipeline.Tick();
        run.pipeline.Tick();
        EXPECT_TRUE(run.events.stored.empty());
        std::filesystem::rename(testutil::NativePath(inbox / L"cam1\\P1.jpg.part"),
                                testutil::NativePath(inbox / L"cam1\\P1.jpg"));
        inbox.Write(L"before.JPG.tmp", Jpeg('d'));
        ASSERT_TRUE(run.TickUntil([&] { return !run.events.stored.empty(); }));
        run.pipeline.Tick();
        ASSERT_EQ(run.events.stored.size(), 1u);
        EXPECT_EQ(run.events.stored[0].path, store / L"LoRes\\P1.jpg");
        EXPECT_TRUE(run.events.stored[0].show);
        EXPECT_EQ(testutil::ReadAll(run.events.stored[0].path), Jpeg('b'));
        EXPECT_EQ(run.source.WhoIs().rfind(L"inbox-", 0), 0u);
    }
    // Ended; a camera of the same names writes on.
    inbox.MakeDir(L"cam2");
    inbox.Write(L"cam2\\P1.jpg", Jpeg('e'));
    InboxRun next(inbox.path(), config, records.path());
    ASSERT_TRUE(next.TickUntil([&] { return !next.events.stored.empty(); }));
    next.pipeline.Tick();
    ASSERT_EQ(next.events.stored.size(), 1u);
    EXPECT_EQ(next.events.stored[0].path, store / L"LoRes\\P1-2.jpg");
    EXPECT_EQ(testutil::ReadAll(next.events.stored[0].path), Jpeg('e'));
    EXPECT_FALSE(fs::FileSize(store / L"LoRes\\before.jpg"));
    EXPECT_EQ(testutil::ReadAll(inbox / L"cam1\\P1.jpg"), Jpeg('b'));
    EXPECT_EQ(testutil::ReadAll(inbox / L"cam1\\~P2.jpg"), Jpeg('c'));
    EXPECT_EQ(fs::ListFiles(tmp.path()).size(), 0u);
}

// An inbox that is not there is said once and taken up when it comes;
// seen empty, what it holds at the next start came while the program was
// ended.
TEST(InboxSource, AnInboxAwayOrEmptyIsTakenUpAgain) {
    testutil::TempDir root, store, tmp, records;
    const std::wstring inbox = root / L"in";
    model::Settings config;
    config.SourcePath = store.path();
    config.TmpPath = tmp.path();
    config.TransferLoRes = L".jpg";
    config.TransferModeAuto = L"lores";
    config.TransferOnlyAddedFiles = true;
    {
        InboxRun run(inbox, config, records.path());
        run.pipeline.Tick();
        run.pipeline.Tick();
        EXPECT_TRUE(run.source.Missing());
        EXPECT_EQ(run.events.journal, (std::vector<std::wstring>{L"Inbox not reachable: " + inbox +
                                                                  L" (looked at again until it is back)"}));
        ASSERT_TRUE(fs::CreateDir(inbox));
        ASSERT_TRUE(run.TickUntil([&] { return !run.source.Missing() && run.source.Ledger().HasSnapshot(); }));
        EXPECT_EQ(run.events.journal.back(), L"Inbox back: " + inbox);
    }
    root.Write(L"in\\P1.jpg", Jpeg('a'));
    InboxRun next(inbox, config, records.path());
    ASSERT_TRUE(next.TickUntil([&] { return !next.events.stored.empty(); }));
    EXPECT_EQ(next.events.stored[0].path, store / L"LoRes\\P1.jpg");
}

}  // namespace
