// The backup's rules: where a stored file goes, the name beside a different
// picture, and the queue across a restart.
#include "model/pictures/backup.h"

#include <gtest/gtest.h>

#include <map>

#include "model/settings/settings.h"
#include "test_util.h"

using model::BackupMatch;
using Action = model::BackupPlan::Action;

TEST(Backup, PlaceBelowTheBackupFolder) {
    model::Settings s;
    s.SourcePath = L"C:\\Pics";
    s.StoragePath = L"D:\\Keep";
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"c:\\pics\\lores\\P1.JPG", L"LoRes\\P1.JPG"}, {L"D:\\Keep\\P1.JPG", L"Storage\\P1.JPG"},
        {L"C:\\Pics\\Selected\\P1.JPG", L"-"}, {L"C:\\Pics\\HiRes\\sub\\P1.JPG", L"-"},
        {L"C:\\PicsX\\HiRes\\P1.JPG", L"-"}};
    for (auto [file, place] : cases) EXPECT_EQ(model::BackupPlace(s, file).value_or(L"-"), place) << str::ToUtf8(file);
    s.StoragePath = L"C:\\Pics\\Storage\\Set";
    EXPECT_EQ(model::BackupPlace(s, L"C:\\Pics\\Storage\\Set\\P1.JPG"), L"Storage\\Set\\P1.JPG");
}

TEST(Backup, NeverOverADifferentPicture) {
    const fs::FileEntry stored{L"", 100, 5'000'000'000};
    using Backup = std::map<std::wstring, std::pair<uint64_t, BackupMatch>>;  // size, and what its bytes are
    const std::tuple<Backup, Action, const wchar_t*> cases[] = {
        {{}, Action::Copy, L"P1.JPG"},
        {{{L"P1.JPG", {100, BackupMatch::Same}}}, Action::Present, L"P1.JPG"},
        {{{L"P1.JPG", {100, BackupMatch::Other}}}, Action::Copy, L"P1-2.JPG"},
        {{{L"P1.JPG", {40, BackupMatch::CutShort}}}, Action::Replace, L"P1.JPG"},
        {{{L"P1.JPG", {200, BackupMatch::Other}}, {L"P1-2.JPG", {40, BackupMatch::CutShort}}}, Action::Copy, L"P1-3.JPG"},
        {{{L"P1.JPG", {100, BackupMatch::Other}}, {L"P1-2.JPG", {100, BackupMatch::Same}}}, Action::Present, L"P1-2.JPG"},
    };
    for (const auto& c : cases) {
        const Backup& backup = std::get<0>(c);
        auto lookup = [&](const std::wstring& n) -> std::optional<fs::FileEntry> {
            auto it = backup.find(n);
            return it == backup.end() ? std::nullopt : std::optional(fs::FileEntry{n, it->second.first, 0});
        };
        auto plan = model::PlanBackup(lookup, L"P1.JPG", stored, [&](const std::wstring& n) { return backup.at(n).second; });
        EXPECT_EQ(std::pair(plan.action, plan.name), std::pair(std::get<1>(c), std::wstring(std::get<2>(c))));
    }
    // The start's look goes by size and time alone, through the names beside.
    auto taken = [&](const std::wstring& n) -> std::optional<fs::FileEntry> {
        if (n == L"P1.JPG") return fs::FileEntry{n, 100, stored.modified + 10'000'000'000};
        if (n == L"P1-2.JPG") return fs::FileEntry{n, 100, stored.modified + 1'000'000'000};
        return std::nullopt;
    };
    EXPECT_TRUE(model::InBackup(taken, L"P1.JPG", stored));
    EXPECT_FALSE(model::InBackup(taken, L"P1.JPG", fs::FileEntry{L"", 101, stored.modified}));
}

TEST(Backup, QueueSurvivesARestartAndKeepsToTheBackupFolder) {
    testutil::TempDir dir;
    model::BackupQueue q, again;
    EXPECT_EQ(q.Open(dir / L"Backup.txt"), std::nullopt);
    EXPECT_TRUE(q.Add({L"C:\\P\\HiRes\\\x141\xF3" L"d\x17A.CR2", L"HiRes\\\x141\xF3" L"d\x17A.CR2"}));
    EXPECT_TRUE(q.Add({L"C:\\P\\LoRes\\B.JPG", L"LoRes\\B.JPG"}));
    EXPECT_FALSE(q.Add({L"C:\\P\\LoRes\\b.jpg", L"LoRes\\b.jpg"}));  // waits already
    ASSERT_TRUE(q.Save());
    EXPECT_EQ(again.Open(dir / L"Backup.txt"), std::nullopt);
    EXPECT_EQ(again.Serialize(), q.Serialize());
    // A place that would leave the backup folder is no entry.
    EXPECT_TRUE(q.Parse("Wemlox backup queue 1\r\nwait\tC:\\a\t..\\x\r\nwait\tC:\\b\tC:\\x\r\nwait\tC:\\c\tLoRes\\c\r\n"));
    EXPECT_EQ(q.Size(), 1u);
    dir.Write(L"Backup.txt", std::string(model::BackupQueue::kReadLimit + 1, 'x'));
    EXPECT_NE(q.Open(dir / L"Backup.txt"), std::nullopt);
}
