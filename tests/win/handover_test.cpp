// Showing a stored file on the real bar, with stand-in viewers: what the journal
// says, what is started, and whether the bar comes back on top.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "app/viewer_actions.h"
#include "base/fs.h"
#include "base/str.h"
#include "driver.h"
#include "shell_fixture.h"

namespace {

using driver::MakeDirs;
using driver::TestFileType;
using driver::WaitFor;

const std::string kJpeg = "\xFF\xD8\xFF\xE0 a picture \xFF\xD9", kTiff("II*\0\x08\0\0\0 a raw file", 19);

std::wstring Folder(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

std::vector<std::wstring> LogLines(const std::wstring& exe) {
    std::wstring text = driver::ReadTextFile(exe + L".log");
    std::vector<std::wstring> lines;
    for (size_t from = 0, end; from < text.size(); from = end + 2) {
        end = text.find(L"\r\n", from);
        if (end == std::wstring::npos) end = text.size();
        lines.push_back(text.substr(from, end - from));
    }
    return lines;
}

size_t CountStarts(const std::wstring& exe) {
    size_t n = 0;
    for (auto& line : LogLines(exe)) n += str::StartsWith(line, L"start: ");
    return n;
}

// The newest journal message, without its time stamp.
std::wstring NewestJournalMessage() {
    std::wstring j = Shell().bar.JournalText();
    size_t end = j.find(L'\r');
    return end == std::wstring::npos || end < 20 ? std::wstring() : j.substr(20, end - 20);
}

// Counts the requests that bring the bar to the top of the Z order. Wine
// keeps a top-most window below other top-most ones on such a request, so
// the Z order itself cannot show it; the request reaching the bar can.
int g_raises = 0;
WNDPROC g_barProc = nullptr;

LRESULT CALLBACK CountingBarProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_WINDOWPOSCHANGING) {
        auto* pos = reinterpret_cast<const WINDOWPOS*>(lp);
        if (!(pos->flags & SWP_NOZORDER) && pos->hwndInsertAfter == HWND_TOP) g_raises++;
    }
    return CallWindowProcW(g_barProc, h, msg, wp, lp);
}

class ShowFile : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(OpenTestBar());
        savedSettings_ = Shell().settings;
        Shell().settings.TransferHiRes = L".cr2";
        Shell().settings.TransferLoRes = L".jpg";
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        root_ = std::wstring(temp) + L"wemlox-show-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(GetTickCount64());
        MakeDirs(root_);
        ShowWindow(Shell().bar.Window(), SW_SHOWNOACTIVATE);
        g_barProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(Shell().bar.Window(), GWLP_WNDPROC,
                                                                reinterpret_cast<LONG_PTR>(CountingBarProc)));
        g_raises = 0;
    }
    void TearDown() override {
        SetWindowLongPtrW(Shell().bar.Window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_barProc));
        ShowWindow(Shell().bar.Window(), SW_HIDE);
        Shell().settings = savedSettings_;
    }

    // A stand-in viewer below the scratch folder; with a window line
    // ("class|title") it opens that window when started.
    std::wstring InstallViewer(const std::wstring& subPath, const std::string& windowLine = "") {
        std::wstring exe = root_ + L"\\" + subPath;
        MakeDirs(Folder(exe));
        EXPECT_TRUE(CopyFileW((driver::TestBinDir() + L"standin_viewer.exe").c_str(), exe.c_str(), FALSE));
        if (!windowLine.empty()) {
            EXPECT_TRUE(fs::WriteFile(exe + L".window", windowLine));
        }
        return exe;
    }
    // A file below the scratch folder.
    std::wstring Put(const std::wstring& name, std::string_view bytes) {
        EXPECT_TRUE(fs::WriteFile(root_ + L"\\" + name, bytes));
        return root_ + L"\\" + name;
    }
    // Whether the bar was raised since the last call.
    bool BarRaised() { return std::exchange(g_raises, 0) > 0; }

    std::wstring root_;
    std::wstring viewerPath_;
    app::ViewerActions viewer_{Shell().bar, Shell().settings, viewerPath_};

private:
    model::Settings savedSettings_;
};

}  // namespace

TEST_F(ShowFile, PicturesGoToTheViewerOtherFilesAreOnlyReported) {
    const std::wstring viewer = InstallViewer(L"IrfanView\\i_view64.exe");
    viewerPath_ = viewer;
    MakeDirs(root_ + L"\\x");
    const std::wstring jpeg = Put(L"x\\IMG_0003.jpeg", kJpeg), raw = Put(L"x\\IMG_0001.CR2", kTiff);
    // A program served as a picture (the viewer's own copy would show if it ran).
    const std::wstring program = Put(L"x\\P1010002.JPG", fs::ReadFile(viewer).value_or("") + "\xFF\xD9");
    struct Case {
        const wchar_t* mode;
        std::wstring path;
        std::wstring journal;  // "" when no line is added
        bool result;
        bool opened;  // and the bar raised
    } cases[] = {
        {L"irfan", root_ + L"\\x\\clip.mov", L"TransferOnlyByExtension: ", false, false},
        {L"irfan", program, L"Not shown, the file is not the picture its name says: ", false, false},
        {L"transferonly", jpeg, L"TransferOnly: ", true, false},
        {L"irfan", L"", L"", false, false},
        {L"irfan", raw, L"View: ", true, true},
        {L"userdefined", jpeg, L"View: ", true, true},
    };
    size_t opened = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(str::ToUtf8(std::wstring(c.mode) + L" " + c.path));
        Shell().settings.Mode = c.mode;
        BarRaised();
        std::wstring before = NewestJournalMessage();
        EXPECT_EQ(viewer_.ShowFile(c.path), c.result);
        EXPECT_EQ(NewestJournalMessage(), c.journal.empty() ? before : c.journal + c.path);
        EXPECT_EQ(BarRaised(), c.opened);
        if (!c.opened) continue;
        opened++;
        std::wstring expected = L"start: \"" + viewer + L"\" \"" + c.path + L"\"";
        EXPECT_TRUE(WaitFor([&] {
            auto lines = LogLines(viewer);
            return std::find(lines.begin(), lines.end(), expected) != lines.end();
        })) << str::ToUtf8(expected);
    }
    // Anything started for the earlier files would have logged by now.
    EXPECT_EQ(CountStarts(viewer), opened);
    EXPECT_FALSE(fs::FileSize(program + L".log")) << "the program served as a picture ran";
}

// Without a viewer the program associated with the picture's own extension
// opens it; a picture whose extension has none is only reported.
TEST_F(ShowFile, SystemOnlyOpensTheFileWithItsAssociatedProgram) {
    const std::wstring opener = InstallViewer(L"Opener\\opener.exe");
    TestFileType type(L".iiq", opener);
    ASSERT_TRUE(type.Registered());
    Shell().settings.Mode = L"systemonly";
    viewerPath_ = InstallViewer(L"IrfanView\\i_view64.exe");
    MakeDirs(root_ + L"\\set.jpg");
    for (const wchar_t* raw : {L".iiq", L".orf"}) {
        SCOPED_TRACE(str::ToUtf8(raw));
        Shell().settings.TransferHiRes = raw;
        const std::wstring picture = Put(L"set.jpg\\pic" + std::wstring(raw), kTiff);
        EXPECT_TRUE(viewer_.ShowFile(picture));
        EXPECT_FALSE(BarRaised());
        if (std::wstring(raw) == L".orf") {
            EXPECT_EQ(NewestJournalMessage(), L"No program is set to open .orf files: " + picture);
            continue;
        }
        EXPECT_EQ(NewestJournalMessage(), L"View: " + picture);
        EXPECT_TRUE(WaitFor([&] { return CountStarts(opener) == 1; }));
        auto lines = LogLines(opener);
        ASSERT_FALSE(lines.empty());
        EXPECT_NE(lines[0].find(picture), std::wstring::npos) << str::ToUtf8(lines[0]);
    }
    EXPECT_EQ(CountStarts(opener), 1u);
    EXPECT_EQ(CountStarts(viewerPath_), 0u);
}

// The user types in another program that Windows keeps in front (nomacs is
// refused the foreground): the close reaches nomacs all the same, and the
// other program gets no key and no close.
TEST_F(ShowFile, NomacsIsClosedWithoutTheKeyboardAndStartedAgainWithTheFile) {
    const std::wstring nomacs =
        InstallViewer(L"nomacs\\nomacs-x64\\nomacs.exe", "Qt5QWindowIcon|IMG_0001.JPG - nomacs|refused");
    const std::wstring writer = InstallViewer(L"Office\\writer.exe", "WriterWindow|Letter|thief");
    PROCESS_INFORMATION pi{};
    for (const std::wstring* exe : {&writer, &nomacs}) {
        std::wstring line = L"\"" + *exe + L"\"";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
        CloseHandle(pi.hThread);
        if (exe == &writer) CloseHandle(pi.hProcess);
    }
    ASSERT_TRUE(WaitFor([] { return FindWindowW(L"Qt5QWindowIcon", nullptr) != nullptr; }));
    ASSERT_TRUE(WaitFor([] { return GetForegroundWindow() == FindWindowW(L"WriterWindow", nullptr); }));

    Shell().settings.Mode = L"nomacs";
    viewerPath_ = nomacs;
    MakeDirs(root_ + L"\\x");
    const std::wstring picture = Put(L"x\\IMG_0002.JPG", kJpeg);
    EXPECT_TRUE(viewer_.ShowFile(picture));
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 10000), WAIT_OBJECT_0) << "the first nomacs still runs";
    CloseHandle(pi.hProcess);
    const std::wstring restarted = L"start: \"" + nomacs + L"\" \"" + picture + L"\"";
    EXPECT_TRUE(WaitFor([&] {
        auto lines = LogLines(nomacs);
        return std::find(lines.begin(), lines.end(), restarted) != lines.end();
    }));
    auto keysAndClose = [](const std::wstring& exe) {
        std::vector<std::wstring> seen;
        for (auto& l : LogLines(exe))
            if (str::StartsWith(l, L"down ") || str::StartsWith(l, L"up ") || l == L"close") seen.push_back(l);
        return seen;
    };
    EXPECT_EQ(keysAndClose(nomacs), std::vector<std::wstring>{L"close"});
    EXPECT_EQ(keysAndClose(writer), std::vector<std::wstring>{});
    EXPECT_TRUE(BarRaised());

    // The new nomacs opened a window of its own.
    HWND again = nullptr;
    EXPECT_TRUE(WaitFor([&] { return (again = FindWindowW(L"Qt5QWindowIcon", nullptr)) != nullptr; }));
    if (again) PostMessageW(again, WM_CLOSE, 0, 0);
    if (HWND w = FindWindowW(L"WriterWindow", nullptr)) PostMessageW(w, WM_CLOSE, 0, 0);
}
