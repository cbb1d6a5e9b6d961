// Start-up, single instance and shutdown of the real program.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "base/fs.h"
#include "base/str.h"
#include "driver.h"
#include "model/settings/settings.h"
#include "standins.h"

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

TEST(Startup, AnEmptySettingsFileIsReplacedAnExistingOneKeptAndAStorageDriveAwayWaits) {
    Sandbox box;
    MakeDirs(box.SettingsFolder());
    ASSERT_TRUE(WriteTextFile(box.SettingsFile(), ""));
    Started p = Start(box, WemloxExe());
    HWND bar = WaitForBar(p);
    ASSERT_TRUE(bar);
    CloseBar(p, bar);
    // Written back at exit: compare the untouched part only.
    EXPECT_NE(fs::ReadFile(box.SettingsFile()).value_or("").find("Mode = ViewerDefined"), std::string::npos);

    // The storage folder is on a drive that is not plugged in: the start
    // goes on, says so, and the info button's lamp points to the journal.
    Sandbox kept;
    ASSERT_FALSE(fs::IsDirectory(L"Q:\\"));
    kept.WriteSettings({{L"TFA.Active", L"No"}, {L"Menu.ButtonSize", L"80"}, {L"Copy.StoragePath", L"Q:\\Storage"}});
    std::string before = fs::ReadFile(kept.SettingsFile()).value_or("");
    Started q = Start(kept, WemloxExe());
    HWND bar2 = WaitForBar(q);
    ASSERT_TRUE(bar2);
    EXPECT_NE(WindowText(GetDlgItem(bar2, 101)).find(L"[Copy] StoragePath is on a drive that is not there"),
              std::wstring::npos);
    EXPECT_TRUE(standins::LampShows(GetDlgItem(bar2, 8), false, 'r'));
    EXPECT_EQ(CloseBar(q, bar2), 0);
    EXPECT_EQ(fs::ReadFile(kept.SettingsFile()).value_or(""), before);  // Active off: nothing written
}

// The text of a message box of the process: its static texts, joined.
std::wstring MessageBoxText(HWND box) {
    std::wstring text;
    EnumChildWindows(
        box,
        [](HWND child, LPARAM lp) -> BOOL {
            wchar_t cls[32] = {};
            GetClassNameW(child, cls, 32);
            if (_wcsicmp(cls, L"Static") == 0) *reinterpret_cast<std::wstring*>(lp) += WindowText(child) + L"\n";
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&text));
    return text;
}

TEST(Startup, AStartThatCannotGoOnSaysWhyInOneMessageBoxAndEnds) {
    struct Case {
        const char* what;
        std::function<void(Sandbox&)> prepare;
        std::vector<std::wstring> named;  // what the message must name
    } cases[] = {
        {"settings folder below a file",
         [](Sandbox& b) {
             WriteTextFile(b.root + L"\\NotAFolder", "x");
             b.appdata = b.root + L"\\NotAFolder\\AppData";
         },
         {L"settings folder", L"NotAFolder\\AppData"}},
        {"an image file is missing",
         [](Sandbox& b) { b.WriteSettings({{L"Graphics.Button_5", L"NoSuchFace.jpg"}}); },
         {L"Button_5", L"NoSuchFace.jpg"}},
        {"no [Main] group",
         [](Sandbox& b) {
             std::string text = str::ToUtf8(model::DefaultSettingsText());
             text.replace(text.find("[Main]"), 6, "[Mainx]");
             MakeDirs(b.SettingsFolder());
             WriteTextFile(b.SettingsFile(), text);
         },
         {L"[Main]", L"Wemlox.ini"}},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        Sandbox box;
        c.prepare(box);
        Started p = Start(box, WemloxExe());
        ASSERT_TRUE(p.process);
        HWND message = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (message = FindOwnWindow(p.pid, L"#32770", L"Wemlox")) != nullptr; }, 20000));
        std::wstring text = MessageBoxText(message);
        for (const std::wstring& n : c.named) EXPECT_NE(text.find(n), std::wstring::npos) << str::ToUtf8(text);
        EXPECT_FALSE(FindBar(p.pid));
        PostMessageW(message, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(WaitExit(p, 20000), 0);
    }
}

// Notepad's "Unicode" (UTF-16 with its mark) and "ANSI" (the system's code
// page): the folders they name are made with every missing parent.
TEST(Startup, SettingsSavedAsUnicodeOrAnsiAreRead) {
    struct Case {
        model::TextEncoding as;
        const wchar_t* folder;
    } cases[] = {{model::TextEncoding::Utf16Le, L"\\Shoots\\2026\\\u0141\u00f3d\u017a"},
                 {model::TextEncoding::Ansi, L"\\Shoots\\Z\u00fcrich"}};
    for (const Case& c : cases) {
        Sandbox box;
        const std::wstring pictures = box.root + c.folder;
        box.WriteSettings({{L"Copy.SourcePath", pictures}, {L"TFA.Active", L"No"}});
        const std::wstring text = str::FromUtf8(fs::ReadFile(box.SettingsFile()).value_or(""));
        std::string bytes;
        if (c.as == model::TextEncoding::Ansi) {
            int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
            bytes.resize(static_cast<size_t>(n));
            WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
        } else {
            bytes = model::EncodeSettingsText(text, c.as);
        }
        ASSERT_TRUE(WriteTextFile(box.SettingsFile(), bytes));
        Started p = Start(box, WemloxExe());
        HWND bar = WaitForBar(p);
        ASSERT_TRUE(bar) << str::ToUtf8(c.folder);
        EXPECT_TRUE(fs::IsDirectory(pictures)) << str::ToUtf8(pictures);
        EXPECT_EQ(CloseBar(p, bar), 0);
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
    ASSERT_TRUE(CopyFileW((TestBinDir() + L"Graphics\\Copy.jpg").c_str(), picture.c_str(), FALSE));

    Started first = Start(box, WemloxExe());
    HWND bar = WaitForBar(first);
    ASSERT_TRUE(bar);
    // The bar lies off every screen (its monitor went): the second start
    // brings it back onto one.
    SetWindowPos(bar, nullptr, 5000, 3000, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    Started second = Start(box, WemloxExe(), L"\"" + picture + L"\"");
    EXPECT_EQ(WaitExit(second), 0);
    EXPECT_FALSE(FindBar(second.pid));
    EXPECT_TRUE(WaitFor([&] {
        RECT rc{};
        GetWindowRect(bar, &rc);
        return rc.left >= 0 && rc.top >= 0 && rc.right <= GetSystemMetrics(SM_CXSCREEN) &&
               rc.bottom <= GetSystemMetrics(SM_CYSCREEN);
    }, 5000));
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
