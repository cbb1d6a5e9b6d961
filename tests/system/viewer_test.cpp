// The viewer buttons against stand-in viewers: the keys each viewer receives,
// whether the bar comes back on top, and which window a search finds.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "standins.h"

using namespace driver;
using namespace standins;

namespace {

constexpr int kCtrl = 0x11, kShift = 0x10, kAlt = 0x12;

std::wstring Held(const std::vector<int>& held) {
    std::wstring text;
    for (int m : {kCtrl, kShift, kAlt})
        for (int h : held)
            if (h == m) text += m == kCtrl ? L" ctrl" : m == kShift ? L" shift" : L" alt";
    return text;
}

// The log lines a chord (modifiers, then the key) leaves at the viewer: the
// modifiers pressed in order, the key pressed and released, the modifiers
// released in the order they were pressed; each with the modifiers held then.
std::vector<std::wstring> ChordLines(const std::vector<int>& chord) {
    std::vector<std::wstring> lines;
    if (chord.empty()) return lines;
    std::vector<int> held;
    for (size_t i = 0; i + 1 < chord.size(); i++) {
        held.push_back(chord[i]);
        lines.push_back(L"down " + std::to_wstring(chord[i]) + Held(held));
    }
    lines.push_back(L"down " + std::to_wstring(chord.back()) + Held(held));
    lines.push_back(L"up " + std::to_wstring(chord.back()) + Held(held));
    for (size_t i = 0; i + 1 < chord.size(); i++) {
        held.erase(held.begin());
        lines.push_back(L"up " + std::to_wstring(chord[i]) + Held(held));
    }
    return lines;
}

std::string Utf8(const std::vector<std::wstring>& lines) {
    std::string s;
    for (auto& l : lines) s += "[" + str::ToUtf8(l) + "] ";
    return s;
}

struct Press {
    int button;
    std::vector<int> chord;  // modifiers then key; empty when nothing is sent
    bool raised;             // the bar is back in front afterwards
};

struct ViewerCase {
    const wchar_t* mode;
    const wchar_t* subPath;  // below the program-files folder
    const wchar_t* windowClass;
    std::vector<Press> presses;  // buttons 1 to 5; then button 9 ends the program
    std::vector<int> endChord;
};

// The viewer installed where the auto-search finds it, its window open.
struct InstalledViewer {
    StandIn standIn;
    explicit InstalledViewer(const Sandbox& box, const std::wstring& subPath, const std::wstring& windowClass,
                             const std::wstring& title = L"IMG_0001.JPG") {
        standIn = Install(box.programFiles + L"\\" + subPath, windowClass + L"|" + title);
        Launch(box, standIn, windowClass);
    }
    ~InstalledViewer() { Stop(standIn); }
};

// Waits for n more key lines after the first `seen` ones and returns them.
std::vector<std::wstring> NewKeyLines(const StandIn& viewer, size_t seen, size_t n) {
    std::vector<std::wstring> keys;
    WaitFor([&] { return (keys = KeyLines(viewer)).size() >= seen + n; }, 5000);
    return std::vector<std::wstring>(keys.begin() + static_cast<std::ptrdiff_t>(std::min(seen, keys.size())), keys.end());
}

// After keys went to the viewer (which made it the foreground window), the
// bar raised with BringWindowToTop takes the activation away from it. (Wine
// may then pass the activation on to the desktop, so the test asks only
// whether the viewer lost it.)
bool BarRaisedOver(const StandIn& viewer) { return GetForegroundWindow() != viewer.window; }

}  // namespace

TEST(Viewer, ButtonsSendEachViewersKeysAndRaiseTheBarAsItsTableSays) {
    const ViewerCase cases[] = {
        {L"irfan", L"IrfanView\\i_view64.exe", L"FullScreenClass",
         {{1, {0x77}, true}, {2, {0x31}, true}, {3, {0x32}, true}, {4, {0x25}, true}, {5, {0x27}, true}},
         {0x1B}},
        {L"fast", L"FastStone Image Viewer\\FSViewer.exe", L"TFullScreenWindow",
         {{1, {0x43}, true}, {2, {0x31}, true}, {3, {0x30}, true}, {4, {0x25}, true}, {5, {0x27}, true}},
         {0x1B}},
        {L"xnview", L"XnView\\XnView.exe", L"XmainClass",
         {{1, {kAlt, 0x43}, true}, {2, {0x6A}, true}, {3, {0x6F}, true}, {4, {0x25}, true}, {5, {0x27}, true}},
         {0x1B}},
        {L"nomacs", L"nomacs\\nomacs-x64\\nomacs.exe", L"Qt5QWindowIcon",
         {{1, {}, false}, {2, {kCtrl, 0x31}, true}, {3, {kCtrl, 0x30}, true}, {4, {0x25}, false},
          {5, {0x27}, false}},
         {kAlt, 0x73}},
        {L"ps", L"Adobe\\Adobe Photoshop CS6 (64 Bit)\\Photoshop.exe", L"Photoshop",
         {{1, {}, false}, {2, {kCtrl, 0x61}, true}, {3, {kCtrl, 0x60}, true}, {4, {kCtrl, kShift, 0x09}, true},
          {5, {kCtrl, 0x09}, true}},
         {kCtrl, 0x51}},
    };
    for (const ViewerCase& c : cases) {
        SCOPED_TRACE(str::ToUtf8(c.mode));
        Sandbox box;
        InstalledViewer viewer(box, c.subPath, c.windowClass);
        RunningBar run(box, Quiet({}));
        ASSERT_TRUE(run.bar);
        ASSERT_TRUE(WaitFor([&] { return run.Journal().find(L" (" + std::wstring(c.mode) + L")") != std::wstring::npos; }))
            << str::ToUtf8(run.Journal());

        size_t seen = 0;
        for (const Press& p : c.presses) {
            SCOPED_TRACE("button " + std::to_string(p.button));
            ClickAndSettle(run, p.button);
            std::vector<std::wstring> expected = ChordLines(p.chord);
            std::vector<std::wstring> got = NewKeyLines(viewer.standIn, seen, expected.size());
            EXPECT_EQ(got, expected) << Utf8(got);
            seen += got.size();
            if (!p.chord.empty()) {
                EXPECT_EQ(BarRaisedOver(viewer.standIn), p.raised);
            }
        }
        ClickButton(run.Control(9));
        EXPECT_EQ(WaitExit(run.process), 0);
        std::vector<std::wstring> expected = ChordLines(c.endChord);
        std::vector<std::wstring> got = NewKeyLines(viewer.standIn, seen, expected.size());
        EXPECT_EQ(got, expected) << Utf8(got);
    }
}

TEST(Viewer, ModesWithoutViewerSendNothingAndEndStillEnds) {
    struct Case { const wchar_t* setting; const wchar_t* mode; } cases[] = {
        {L"SystemOnly", L"systemonly"}, {L"TransferOnly", L"transferonly"}, {L"UserDefined", L"userdefined"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(str::ToUtf8(c.mode));
        Sandbox box;
        InstalledViewer viewer(box, L"IrfanView\\i_view64.exe", L"FullScreenClass");
        RunningBar run(box, Quiet({{L"Main.Mode", c.setting}}));
        ASSERT_TRUE(run.bar);
        ASSERT_TRUE(WaitFor([&] { return run.Journal().find(L" (" + std::wstring(c.mode) + L")") != std::wstring::npos; }));
        for (int button = 1; button <= 5; button++) ClickAndSettle(run, button);
        ClickButton(run.Control(9));
        EXPECT_EQ(WaitExit(run.process), 0);
        EXPECT_EQ(KeyLines(viewer.standIn), std::vector<std::wstring>{});
    }
}

TEST(Viewer, EndButtonEndsTheProgramWhenNoViewerRuns) {
    for (bool installed : {false, true}) {
        SCOPED_TRACE(installed ? "viewer installed, not running" : "no viewer");
        Sandbox box;
        if (installed) Install(box.programFiles + L"\\IrfanView\\i_view64.exe", L"FullScreenClass|x");
        RunningBar run(box, Quiet({}));
        ASSERT_TRUE(run.bar);
        for (int button = 1; button <= 5; button++) ClickAndSettle(run, button);
        ClickButton(run.Control(9));
        EXPECT_EQ(WaitExit(run.process), 0);
    }
}

// nomacs shares its window class with every Qt 5 program, and opens a window
// per picture. Keys go to the topmost window that a nomacs program opened,
// wherever another Qt program's window lies.
TEST(Viewer, KeysAndAltF4GoToTheTopmostWindowOfTheViewersOwnProgram) {
    Sandbox box;
    const std::wstring qt = L"Qt5QWindowIcon";
    InstalledViewer nomacs(box, L"nomacs\\nomacs-x64\\nomacs.exe", qt, L"older");
    StandIn newer = Install(box.root + L"\\Second\\nomacs.exe", qt + L"|newer");
    StandIn other = Install(box.root + L"\\Qt\\designer.exe", qt + L"|Qt Designer");
    Launch(box, newer, qt);
    Launch(box, other, qt);
    RunningBar run(box, Quiet({}));
    ASSERT_TRUE(run.bar);
    ASSERT_TRUE(WaitFor([&] { return run.Journal().find(L" (nomacs)") != std::wstring::npos; }));

    StandIn* const windows[] = {&nomacs.standIn, &newer, &other};
    auto keyCounts = [&] {
        std::vector<size_t> n;
        for (StandIn* w : windows) n.push_back(KeyLines(*w).size());
        return n;
    };
    auto arrange = [&](const std::vector<int>& topToBottom) {
        std::vector<HWND> order;
        for (int i : topToBottom) {
            SetWindowPos(windows[i]->window, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            order.push_back(windows[i]->window);
        }
        return WaitFor([&] { return WindowsOfClass(qt) == order; });
    };
    struct Order { const char* what; std::vector<int> topToBottom; int receiver; } orders[] = {
        {"other program on top", {2, 0, 1}, 0},
        {"the newer nomacs on top, the other program between", {1, 2, 0}, 1},
        {"other program at the bottom", {0, 1, 2}, 0},
    };
    for (const Order& o : orders) {
        SCOPED_TRACE(o.what);
        ASSERT_TRUE(arrange(o.topToBottom));
        std::vector<size_t> expected = keyCounts(), got;
        expected[static_cast<size_t>(o.receiver)] += 2;
        ClickAndSettle(run, 4);
        WaitFor([&] { return (got = keyCounts()) == expected; }, 5000);
        EXPECT_EQ(got, expected);
        EXPECT_EQ(KeyLines(*windows[o.receiver]).back(), L"up 37");
    }
    // Button 9 closes the topmost nomacs with Alt+F4, and nothing else.
    ASSERT_TRUE(arrange({2, 0, 1}));
    std::vector<size_t> before = keyCounts();
    ClickButton(run.Control(9));
    EXPECT_EQ(WaitExit(run.process), 0);
    EXPECT_EQ(NewKeyLines(nomacs.standIn, before[0], 4), ChordLines({kAlt, 0x73}));
    EXPECT_EQ(KeyLines(newer).size(), before[1]);
    EXPECT_EQ(KeyLines(other).size(), before[2]);
    Stop(newer);
    Stop(other);
}

TEST(Viewer, ClassNamesAreComparedOnTheirFirst127Characters) {
    struct Case { size_t padding; bool found; } cases[] = {{112, true}, {113, false}};  // + 15 for the class
    for (const Case& c : cases) {
        SCOPED_TRACE("class name of " + std::to_string(c.padding + 15) + " characters");
        Sandbox box;
        InstalledViewer viewer(box, L"IrfanView\\i_view64.exe", std::wstring(c.padding, L'x') + L"FullScreenClass");
        RunningBar run(box, Quiet({}));
        ASSERT_TRUE(run.bar);
        ClickAndSettle(run, 2);
        std::vector<std::wstring> expected;
        if (c.found) expected = {L"down 49", L"up 49"};
        EXPECT_EQ(NewKeyLines(viewer.standIn, 0, expected.size()), expected);
    }
}

// The user works in another program that Windows keeps in front. No click
// hands it a key or a close, and End closes nomacs's picture all the same.
// A viewer that cannot come forward gets nothing, and each click says so.
TEST(Viewer, AProgramThatKeepsTheForegroundReceivesNothing) {
    const std::wstring qt = L"Qt5QWindowIcon";
    // Under Wine nomacs comes forward all the same and the writer pulls the
    // foreground straight back; refused, nomacs stays behind as on Windows.
    for (bool refused : {false, true}) {
        SCOPED_TRACE(refused ? "nomacs refused the foreground" : "nomacs let come forward");
        Sandbox box;
        InstalledViewer nomacs(box, L"nomacs\\nomacs-x64\\nomacs.exe", qt,
                               refused ? L"IMG_0001.JPG|refused" : L"IMG_0001.JPG");
        StandIn writer = Install(box.root + L"\\Office\\writer.exe", L"WriterWindow|Letter|thief");
        Launch(box, writer, L"WriterWindow");
        ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == writer.window; }));
        RunningBar run(box, Quiet({}));
        ASSERT_TRUE(run.bar);
        ASSERT_TRUE(WaitFor([&] { return run.Journal().find(L" (nomacs)") != std::wstring::npos; }));
        for (int button : {2, 4, 3, 5}) {
            SCOPED_TRACE("button " + std::to_string(button));
            ClickAndSettle(run, button);
            if (!refused) continue;
            EXPECT_TRUE(LampShows(run.Control(button), false, 'r'));
            EXPECT_EQ(JournalMessages(run)[0], L"Keys not sent, the viewer (nomacs) could not be brought to the front");
        }
        ClickButton(run.Control(9));
        EXPECT_EQ(WaitExit(run.process), 0);
        EXPECT_TRUE(WaitFor([&] {
            auto lines = Lines(nomacs.standIn.Log());
            return std::find(lines.begin(), lines.end(), L"close") != lines.end();
        })) << Utf8(Lines(nomacs.standIn.Log()));
        if (refused) {
            EXPECT_EQ(KeyLines(nomacs.standIn), std::vector<std::wstring>{});
        }
        EXPECT_EQ(KeyLines(writer), std::vector<std::wstring>{});
        const std::vector<std::wstring> letter = Lines(writer.Log());
        EXPECT_EQ(std::count(letter.begin(), letter.end(), L"close"), 0);
        Stop(writer);
    }
}

// A nomacs that hangs never holds the bar: button 1 (which asks for its
// title) and End answer within a second, and the journal says why.
TEST(Viewer, AViewerThatHangsNeverHoldsTheBar) {
    Sandbox box;
    InstalledViewer nomacs(box, L"nomacs\\nomacs-x64\\nomacs.exe", L"Qt5QWindowIcon", L"IMG_0001.JPG|hang");
    ASSERT_TRUE(WaitFor([&] {
        auto lines = Lines(nomacs.standIn.Log());
        return !lines.empty() && lines.back() == L"hang";
    }));
    RunningBar run(box, Quiet({}));
    ASSERT_TRUE(run.bar);
    ASSERT_TRUE(WaitFor([&] { return run.Journal().find(L" (nomacs)") != std::wstring::npos; }));
    // The busy face reaches the screen once the wait for the viewer is over.
    HWND copy = run.Control(1);
    ASSERT_TRUE(ClickUntil(copy, [&] { return ShowsBusyFace(copy); }, 5000, ClickButton));
    EXPECT_TRUE(WaitFor([&] { return !ShowsBusyFace(copy); }, 1000)) << "button 1 stayed busy";
    EXPECT_TRUE(LampShows(copy, false, 'r'));
    EXPECT_EQ(JournalMessages(run)[0], L"Nothing sent, the viewer (nomacs) does not answer");
    // A second, and the busy face's pause (DelayChg) before the bar closes.
    ClickButton(run.Control(9));
    EXPECT_EQ(WaitExit(run.process, 1000 + 300), 0);
}
