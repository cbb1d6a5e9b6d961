// Start-up, single instance and shutdown of the real program.
#include <gtest/gtest.h>

#include "base/fs.h"
#include "base/str.h"
#include "model/settings.h"
#include "driver.h"

using namespace driver;

namespace {

std::string BuiltInBytes() { return str::ToUtf8(model::DefaultSettingsText()); }

}  // namespace

TEST(Startup, FirstStartWritesTheBuiltInSettingsByteForByte) {
    Sandbox box;  // no settings folder at all
    Started p = Start(box, WemloxExe());
    HWND bar = WaitForBar(p);
    ASSERT_TRUE(bar) << "no bar window";
    EXPECT_EQ(fs::ReadFile(box.SettingsFile()).value_or(""), BuiltInBytes());
    // The default working folders exist below the profile.
    for (const wchar_t* sub : {L"\\Wemlox\\Selected", L"\\Wemlox\\Storage\\Thumbnails", L"\\Wemlox\\Storage\\tmp",
                               L"\\Wemlox\\HiRes", L"\\Wemlox\\LoRes"})
        EXPECT_TRUE(fs::IsDirectory(box.profile + sub)) << str::ToUtf8(sub);
    EXPECT_EQ(CloseBar(p, bar), 0);
}

TEST(Startup, EmptySettingsFileIsReplacedAndAnExistingOneKept) {
    Sandbox box;
    MakeDirs(box.SettingsFolder());
    ASSERT_TRUE(WriteTextFile(box.SettingsFile(), ""));
    Started p = Start(box, WemloxExe());
    HWND bar = WaitForBar(p);
    ASSERT_TRUE(bar);
    CloseBar(p, bar);
    // Written back at exit: compare the untouched part only.
    EXPECT_NE(fs::ReadFile(box.SettingsFile()).value_or("").find("Mode = ViewerDefined"), std::string::npos);

    Sandbox kept;
    kept.WriteSettings({{L"TFA.Active", L"No"}, {L"Menu.ButtonSize", L"40"}});
    std::string before = fs::ReadFile(kept.SettingsFile()).value_or("");
    Started q = Start(kept, WemloxExe());
    HWND bar2 = WaitForBar(q);
    ASSERT_TRUE(bar2);
    EXPECT_EQ(CloseBar(q, bar2), 0);
    EXPECT_EQ(fs::ReadFile(kept.SettingsFile()).value_or(""), before);  // Active off: nothing written
}

TEST(Startup, StopsSilentlyBeforeAnyWindow) {
    struct Case {
        const char* what;
        std::function<void(Sandbox&)> prepare;
    } cases[] = {
        {"settings folder cannot be created",
         [](Sandbox& b) { b.appdata = b.root + L"\\missing\\deeper"; }},
        {"an image file is missing",
         [](Sandbox& b) {
             b.WriteSettings({{L"Graphics.Button_5", L"NoSuchFace.jpg"}});
         }},
        {"no [Main] group",
         [](Sandbox& b) {
             std::string text = str::ToUtf8(model::DefaultSettingsText());
             text.replace(text.find("[Main]"), 6, "[Mainx]");
             MakeDirs(b.SettingsFolder());
             WriteTextFile(b.SettingsFile(), text);
         }},
    };
    for (auto& c : cases) {
        Sandbox box;
        c.prepare(box);
        Started p = Start(box, WemloxExe());
        ASSERT_TRUE(p.process) << c.what;
        EXPECT_NE(WaitExit(p, 20000), -1) << c.what << ": still running";
        EXPECT_FALSE(FindBar(p.pid)) << c.what;
    }
}

TEST(Startup, SecondInstanceHandsThePictureToTheViewerAndGivesWay) {
    Sandbox box;
    std::wstring viewerDir = box.root + L"\\Viewer";
    MakeDirs(viewerDir);
    std::wstring viewer = viewerDir + L"\\standin_viewer.exe";
    ASSERT_TRUE(CopyFileW((TestBinDir() + L"standin_viewer.exe").c_str(), viewer.c_str(), FALSE));
    box.WriteSettings({{L"Viewer.Location", viewer}});
    std::wstring picture = box.root + L"\\IMG_0001.JPG";
    WriteTextFile(picture, "not really a picture");

    Started first = Start(box, WemloxExe());
    HWND bar = WaitForBar(first);
    ASSERT_TRUE(bar);
    Started second = Start(box, WemloxExe(), L"\"" + picture + L"\"");
    EXPECT_EQ(WaitExit(second), 0);
    EXPECT_FALSE(FindBar(second.pid));
    std::wstring log;
    EXPECT_TRUE(WaitFor([&] { return (log = ReadTextFile(viewer + L".log")).find(L"IMG_0001.JPG") != std::wstring::npos; }));
    EXPECT_NE(log.find(L"\"" + picture + L"\""), std::wstring::npos) << str::ToUtf8(log);
    EXPECT_EQ(CloseBar(first, bar), 0);
}

TEST(Startup, ClosingWritesBackTheCardSettingsAndKeepsTheRest) {
    Sandbox box;
    box.WriteSettings({{L"TFA.TransferHiRes", L"arw"}, {L"TFA.TransferLoRes", L"JPG"}, {L"TFA.Path", L"DCIM/100CANON"}});
    std::string before = fs::ReadFile(box.SettingsFile()).value_or("");
    Started p = Start(box, WemloxExe());
    HWND bar = WaitForBar(p);
    ASSERT_TRUE(bar);
    // The user drags the bar elsewhere: that place is saved, also after the
    // bar was minimised with button 11 (it then lies where the system put it).
    SetWindowPos(bar, nullptr, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    DWORD_PTR ignored = 0;
    ASSERT_TRUE(SendMessageTimeoutW(bar, WM_COMMAND, MAKEWPARAM(11, BN_CLICKED),
                                    reinterpret_cast<LPARAM>(GetDlgItem(bar, 11)), SMTO_NORMAL, 10000, &ignored));
    EXPECT_TRUE(WaitFor([&] { return IsIconic(bar) != 0; }));
    EXPECT_EQ(CloseBar(p, bar), 0);

    std::string after = fs::ReadFile(box.SettingsFile()).value_or("");
    model::IniDocument ini(after);
    EXPECT_EQ(ini.Value(L"TFA", L"TransferHiRes").value_or(L""), L".arw");
    EXPECT_EQ(ini.Value(L"TFA", L"TransferLoRes").value_or(L""), L".JPG");
    EXPECT_EQ(ini.Value(L"TFA", L"Path").value_or(L""), L"DCIM/100CANON");
    EXPECT_EQ(ini.Value(L"Menu", L"PositionX").value_or(L""), L"300");
    EXPECT_EQ(ini.Value(L"Menu", L"PositionY").value_or(L""), L"200");
    // Every comment line survives in its place.
    for (const char* comment : {"; Mode = TransferOnly", "; Position = UserHorizontalBottom",
                                "; Url=192.168.0.*", "; Path = DCIM/100MSDCF"})
        EXPECT_NE(after.find(comment), std::string::npos) << comment;
    EXPECT_EQ(after.find("\nTransferHiRes = arw"), std::string::npos);
    EXPECT_NE(before, after);
}
