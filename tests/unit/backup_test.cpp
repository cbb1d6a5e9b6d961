// The backup's rules: where a stored file goes, which name it gets beside a
// different picture, what the queue keeps across a restart, and when the
// journal hears of it.
#include "model/backup.h"

#include <gtest/gtest.h>

#include <map>

#include "model/settings.h"
#include "test_util.h"

using model::BackupMatch;
using model::BackupPlan;

TEST(Backup, PlaceBelowTheBackupFolder) {
    model::Settings s;
    s.SourcePath = L"C:\\Pics";
    s.StoragePath = L"D:\\Keep";
    struct Case {
        const wchar_t *file, *place;
    } cases[] = {
        {L"C:\\Pics\\HiRes\\P1.CR2", L"HiRes\\P1.CR2"}, {L"c:\\pics\\lores\\P1.JPG", L"LoRes\\P1.JPG"},
        {L"D:\\Keep\\P1.JPG", L"Storage\\P1.JPG"},      {L"C:\\Pics\\Selected\\P1.JPG", nullptr},
        {L"C:\\Pics\\HiRes\\sub\\P1.JPG", nullptr},    {L"C:\\PicsX\\HiRes\\P1.JPG", nullptr},
    };
    for (const Case& c : cases) {
        auto place = model::BackupPlace(s, c.file);
        EXPECT_EQ(place.value_or(L"-"), c.place ? c.place : L"-") << str::ToUtf8(c.file);
    }
    s.StoragePath = L"C:\\Pics\\Storage\\Set";
    EXPECT_EQ(model::BackupPlace(s, L"C:\\Pics\\Storage\\Set\\P1.JPG"), L"Storage\\Set\\P1.JPG");
}

TEST(Backup, NeverOverADifferentPicture) {
    const fs::FileEntry stored{L"", 100, 5'000'000'000};
    struct Case {
        const char* what;
        std::map<std::wstring, std::pair<uint64_t, BackupMatch>> backup;  // size, and what its bytes are
        BackupPlan::Action action;
        const wchar_t* name;
    } cases[] = {
        {"free", {}, BackupPlan::Action::Copy, L"P1.JPG"},
        {"there", {{L"P1.JPG", {100, BackupMatch::Same}}}, BackupPlan::Action::Present, L"P1.JPG"},
        {"other of its size", {{L"P1.JPG", {100, BackupMatch::Other}}}, BackupPlan::Action::Copy, L"P1-2.JPG"},
        {"other, larger", {{L"P1.JPG", {200, BackupMatch::Same}}}, BackupPlan::Action::Copy, L"P1-2.JPG"},
        {"cut short", {{L"P1.JPG", {40, BackupMatch::CutShort}}}, BackupPlan::Action::Replace, L"P1.JPG"},
        {"cut short beside is another", {{L"P1.JPG", {200, BackupMatch::Other}}, {L"P1-2.JPG", {40, BackupMatch::CutShort}}},
         BackupPlan::Action::Copy, L"P1-3.JPG"},
        {"there beside", {{L"P1.JPG", {100, BackupMatch::Other}}, {L"P1-2.JPG", {100, BackupMatch::Same}}},
         BackupPlan::Action::Present, L"P1-2.JPG"},
    };
    for (const Case& c : cases) {
        auto lookup = [&](const std::wstring& name) -> std::optional<fs::FileEntry> {
            auto it = c.backup.find(name);
            if (it == c.backup.end()) return std::nullopt;
            return fs::FileEntry{name, it->second.first, stored.modified};
        };
        BackupPlan plan = model::PlanBackup(lookup, L"P1.JPG", stored,
                                            [&](const std::wstring& name) { return c.backup.at(name).second; });
        EXPECT_EQ(plan.action, c.action) << c.what;
        EXPECT_EQ(plan.name, c.name) << c.what;
    }
    // The start's look goes by size and time alone.
    auto taken = [&](const std::wstring& name) -> std::optional<fs::FileEntry> {
        if (name == L"P1.JPG") return fs::FileEntry{name, 100, stored.modified + 10'000'000'000};
        if (name == L"P1-2.JPG") return fs::FileEntry{name, 100, stored.modified + 1'000'000'000};
        return std::nullopt;
    };
    EXPECT_TRUE(model::InBackup(taken, L"P1.JPG", stored));
    EXPECT_FALSE(model::InBackup(taken, L"P1.JPG", fs::FileEntry{L"", 101, stored.modified}));
}

TEST(Backup, QueueSurvivesARestartAndReadsOnlyItsOwn) {
    testutil::TempDir dir;
    const std::wstring file = dir / L"Backup.txt";
    model::BackupQueue q;
    EXPECT_EQ(q.Open(file), std::nullopt);
    EXPECT_TRUE(q.Add({L"C:\\P\\HiRes\\\x141\xF3" L"d\x17A.CR2", L"HiRes\\\x141\xF3" L"d\x17A.CR2"}));
    EXPECT_TRUE(q.Add({L"C:\\P\\LoRes\\B.JPG", L"LoRes\\B.JPG"}));
    EXPECT_FALSE(q.Add({L"C:\\P\\LoRes\\b.jpg", L"LoRes\\b.jpg"}));  // waits already
    ASSERT_TRUE(q.Save());
    model::BackupQueue again;
    EXPECT_EQ(again.Open(file), std::nullopt);
    ASSERT_EQ(again.Size(), 2u);
    EXPECT_EQ(again.Front().place, L"HiRes\\\x141\xF3" L"d\x17A.CR2");
    again.PopFront();
    again.PopFront();
    ASSERT_TRUE(again.Save());
    EXPECT_FALSE(fs::FileSize(file));  // nothing waits: no file
    // A place that would leave the backup folder is no entry.
    EXPECT_TRUE(q.Parse("Wemlox backup queue 1\r\nwait\tC:\\a\t..\\x\r\nwait\tC:\\b\tC:\\x\r\nwait\tC:\\c\tLoRes\\c\r\n"));
    EXPECT_EQ(q.Size(), 1u);
    EXPECT_FALSE(q.Parse("something else\r\n"));
    dir.Write(L"Backup.txt", std::string(model::BackupQueue::kReadLimit + 1, 'x'));
    EXPECT_NE(q.Open(file), std::nullopt);
}

TEST(Backup, JournalSaysFailureOnceAndCompletionAfterIt) {
    model::BackupReport r;
    r.Copied();
    EXPECT_EQ(r.Drained(), std::nullopt);  // one picture of a shoot: no line of its own
    EXPECT_NE(r.Failed(L"E:\\B\\LoRes\\P1.JPG", L"gone", 3, 0), std::nullopt);
    EXPECT_EQ(r.Failed(L"E:\\B\\LoRes\\P1.JPG", L"gone", 3, 1), std::nullopt);
    EXPECT_FALSE(r.MayTry(model::BackupReport::kRetryNs));
    EXPECT_TRUE(r.MayTry(model::BackupReport::kRetryNs + 1));
    r.Copied();
    EXPECT_EQ(r.Drained(), L"Backup complete: 1 picture");
    r.Copied();
    r.Copied();
    EXPECT_EQ(r.Drained(), L"Backup complete: 2 pictures");
}
