// The settings window in-process, as a keyboard and mouse user meets it: its
// tabs and layout at 96 and 192 DPI, a value that cannot work refused with its
// message, OK with the changes, Esc, Enter and the access keys, and a second
// opening that brings the open window forward.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <thread>

#include "model/common/ids.h"
#include "model/settings/settings_form.h"
#include "ui_fixture.h"

namespace {

using uitest::UiTest;

std::wstring Text(HWND h) {
    wchar_t buf[512] = {};
    GetWindowTextW(h, buf, 512);
    return buf;
}

RECT Rect(HWND h) {
    RECT rc{};
    GetWindowRect(h, &rc);
    return rc;
}

class SettingsWindowTest : public UiTest {
protected:
    bool OpenAt(int dpi) {
        model::IniDocument ini(str::ToUtf8(model::DefaultSettingsText()));
        return window.Open(bar.Window(), model::BuildSettingsForm(ini), dpi);
    }
    HWND Field(const wchar_t* group, const wchar_t* key) const { return window.FieldControl(group, key); }
    // Types into a field as the user would: the control reports the change.
    void Type(const wchar_t* group, const wchar_t* key, const wchar_t* text) { TypeInto(Field(group, key), text); }
    void TypeInto(HWND field, const wchar_t* text) {
        if (HWND edit = FindWindowExW(field, nullptr, L"Edit", nullptr)) {
            // A combo box reports only what is typed into its edit part.
            SendMessageW(edit, EM_SETSEL, 0, -1);
            SendMessageW(edit, WM_CHAR, VK_BACK, 0);
            for (const wchar_t* c = text; *c; c++) SendMessageW(edit, WM_CHAR, *c, 0);
        } else {
            SetWindowTextW(field, text);
        }
        Pump([] { return false; }, 50);
    }
    // The page of a tab: the parent of one of its fields.
    HWND Page(model::SettingsTab tab) const {
        switch (tab) {
        case model::SettingsTab::Bar: return GetParent(Field(L"Menu", L"Position"));
        case model::SettingsTab::Viewer: return GetParent(Field(L"Main", L"Mode"));
        case model::SettingsTab::Card: return GetParent(Field(L"TFA", L"Path"));
        case model::SettingsTab::Sources: return GetParent(Field(L"Inbox", L"Folders"));
        case model::SettingsTab::Folders: return GetParent(Field(L"Copy", L"SourcePath"));
        }
        return nullptr;
    }
    // A key pressed in the control with the focus, through the program's loop.
    void Press(UINT msg, WPARAM key) {
        PostMessageW(GetFocus(), msg, key, 0);
        Pump([] { return false; }, 100);
    }
};

}  // namespace

TEST_F(SettingsWindowTest, EveryTabLaidOutWithoutOverlapAtBothDpis) {
    int okHeight96 = 0;
    for (int dpi : {96, 192}) {
        SCOPED_TRACE(dpi);
        ASSERT_TRUE(OpenAt(dpi));
        HWND tabs = GetDlgItem(window.Window(), model::ids::kSettingsTabControl);
        ASSERT_EQ(TabCtrl_GetItemCount(tabs), static_cast<int>(std::size(model::kSettingsTabs)));
        const int okHeight = Rect(GetDlgItem(window.Window(), IDOK)).bottom - Rect(GetDlgItem(window.Window(), IDOK)).top;
        if (dpi == 96) okHeight96 = okHeight;
        else EXPECT_EQ(okHeight, 2 * okHeight96);
        for (model::SettingsTab tab : model::kSettingsTabs) {
            window.ShowTab(tab);
            HWND page = Page(tab);
            ASSERT_TRUE(IsWindowVisible(page));
            const RECT pageRect = Rect(page);
            std::vector<RECT> shown;
            for (HWND c = GetWindow(page, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
                RECT rc = Rect(c);
                EXPECT_TRUE(rc.left >= pageRect.left && rc.top >= pageRect.top && rc.right <= pageRect.right &&
                            rc.bottom <= pageRect.bottom)
                    << str::ToUtf8(Text(c)) << " lies outside its page on tab " << str::ToUtf8(model::TabTitle(tab));
                for (const RECT& other : shown) {
                    RECT both;
                    EXPECT_FALSE(IntersectRect(&both, &rc, &other)) << str::ToUtf8(Text(c)) << " overlaps another";
                }
                shown.push_back(rc);
            }
        }
        window.Close();
    }
}

TEST_F(SettingsWindowTest, AValueThatCannotWorkIsRefusedWithItsMessageUntilMended) {
    ASSERT_TRUE(OpenAt(96));
    HWND message = window.MessageControl(L"Menu", L"ButtonSize");
    EXPECT_EQ(Text(message), L"");
    Type(L"Menu", L"ButtonSize", L"200");
    EXPECT_EQ(Text(message), L"Give a whole number from 24 to 80.");
    // OK while a value cannot work: nothing is reported, the field has the focus.
    window.ShowTab(model::SettingsTab::Card);
    SendMessageW(window.Window(), WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(events.saved.empty());
    EXPECT_TRUE(window.IsOpen());
    EXPECT_EQ(window.Tab(), model::SettingsTab::Bar);
    EXPECT_EQ(GetFocus(), Field(L"Menu", L"ButtonSize"));

    Type(L"Menu", L"ButtonSize", L"64");
    EXPECT_EQ(Text(message), L"");

    // A card's address is checked as typed: no address, then one the file's
    // entry names already; a range added with Enter joins it.
    window.ShowTab(model::SettingsTab::Sources);
    HWND cards = Field(L"TFA", L"Url"), cardEntry = window.EntryControl(L"TFA", L"Url");
    HWND cardMessage = window.MessageControl(L"TFA", L"Url");
    TypeInto(cardEntry, L"192.168.0.300");
    EXPECT_NE(Text(cardMessage).find(L"Not an address or range"), std::wstring::npos);
    EXPECT_FALSE(IsWindowEnabled(window.AddButton(L"TFA", L"Url")));
    TypeInto(cardEntry, L"192.168.0.*");
    EXPECT_NE(Text(cardMessage).find(L"192.168.0.1 too"), std::wstring::npos) << str::ToUtf8(Text(cardMessage));
    TypeInto(cardEntry, L"192.168.1.*");
    EXPECT_EQ(Text(cardMessage), L"");
    SetFocus(cardEntry);
    Press(WM_KEYDOWN, VK_RETURN);
    EXPECT_EQ(SendMessageW(cards, LB_GETCOUNT, 0, 0), 2);

    // An inbox in the picture folder (as the Folders tab has it now) is
    // refused as it is typed; one that can be read is added with Enter,
    // removed, and added again with Add.
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring root = temp + std::wstring(L"wemlox_sources_") + std::to_wstring(GetCurrentProcessId());
    const std::wstring store = root + L"\\store", inbox = root + L"\\in";
    for (const std::wstring& folder : {root, store, inbox}) CreateDirectoryW(folder.c_str(), nullptr);
    Type(L"Copy", L"SourcePath", store.c_str());
    HWND list = Field(L"Inbox", L"Folders"), entry = window.EntryControl(L"Inbox", L"Folders");
    HWND inboxMessage = window.MessageControl(L"Inbox", L"Folders");
    EXPECT_FALSE(IsWindowEnabled(window.RemoveButton(L"Inbox", L"Folders")));
    TypeInto(entry, (store + L"\\cam").c_str());
    EXPECT_NE(Text(inboxMessage).find(L"picture folder " + store), std::wstring::npos) << str::ToUtf8(Text(inboxMessage));
    EXPECT_FALSE(IsWindowEnabled(window.AddButton(L"Inbox", L"Folders")));
    TypeInto(entry, (root + L"\\nowhere").c_str());
    EXPECT_NE(Text(inboxMessage).find(L"cannot reach"), std::wstring::npos);
    TypeInto(entry, inbox.c_str());
    EXPECT_EQ(Text(inboxMessage), L"");
    SetFocus(entry);
    Press(WM_KEYDOWN, VK_RETURN);
    EXPECT_TRUE(window.IsOpen());
    ASSERT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 1);
    EXPECT_EQ(Text(entry), L"");
    SendMessageW(window.RemoveButton(L"Inbox", L"Folders"), BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 0);
    EXPECT_FALSE(IsWindowEnabled(window.RemoveButton(L"Inbox", L"Folders")));
    TypeInto(entry, inbox.c_str());
    SendMessageW(window.AddButton(L"Inbox", L"Folders"), BM_CLICK, 0, 0);
    TypeInto(entry, (inbox + L"\\").c_str());
    EXPECT_NE(Text(inboxMessage).find(L"taken twice"), std::wstring::npos);
    TypeInto(entry, L"");
    for (const std::wstring& folder : {inbox, store, root}) RemoveDirectoryW(folder.c_str());

    SendMessageW(Field(L"Menu", L"Titled"), BM_CLICK, 0, 0);
    Pump([] { return false; }, 50);
    EXPECT_EQ(Text(window.Note()), L"At the next start of Wemlox: Title bar, Inbox folders, Pictures (HiRes, LoRes).");
    // Enter is OK.
    window.ShowTab(model::SettingsTab::Bar);
    SetFocus(Field(L"Menu", L"ButtonSize"));
    Press(WM_KEYDOWN, VK_RETURN);
    ASSERT_EQ(events.saved.size(), 1u);
    EXPECT_EQ(events.saved[0], (std::vector<model::SettingChange>{{L"Menu", L"ButtonSize", L"64"},
                                                                  {L"Menu", L"Titled", L"Yes"},
                                                                  {L"TFA", L"Url", L"192.168.0.1;192.168.1.*"},
                                                                  {L"TFA", L"UrlLastConnect", L"192.168.0.1;"},
                                                                  {L"Inbox", L"Folders", inbox},
                                                                  {L"Copy", L"SourcePath", store}}));
    EXPECT_FALSE(window.IsOpen());
}

TEST_F(SettingsWindowTest, EscCancelsAFailedSaveKeepsTheWindowAndAccessKeysStayOnTheirTab) {
    ASSERT_TRUE(OpenAt(96));
    // Alt+Z: "Button si&ze" on this tab; Alt+V: the viewer, on another tab, is not reached.
    SetFocus(Field(L"Menu", L"Position"));
    Press(WM_SYSCHAR, 'z');
    EXPECT_EQ(GetFocus(), Field(L"Menu", L"ButtonSize"));
    Press(WM_SYSCHAR, 'v');
    EXPECT_EQ(GetFocus(), Field(L"Menu", L"ButtonSize"));
    // Ctrl+Tab moves to the next tab.
    GetKeyState(VK_CONTROL);
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    Press(WM_KEYDOWN, VK_TAB);
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    EXPECT_EQ(window.Tab(), model::SettingsTab::Viewer);

    // The program could not save: the window stays and says why.
    events.refuseSave = L"The settings file cannot be written: Access is denied.";
    Type(L"System", L"Delay", L"120");
    SendMessageW(window.Window(), WM_COMMAND, IDOK, 0);
    EXPECT_EQ(events.saved.size(), 1u);
    EXPECT_TRUE(window.IsOpen());
    EXPECT_EQ(Text(window.Note()), *events.refuseSave);
    // A second opening brings the open window forward as it is.
    HWND open = window.Window();
    SetForegroundWindow(bar.Window());
    EXPECT_TRUE(OpenAt(96));
    EXPECT_EQ(window.Window(), open);
    EXPECT_EQ(Text(Field(L"System", L"Delay")), L"120");
    EXPECT_TRUE(Pump([&] { return GetForegroundWindow() == open; }, 2000));
    // Esc closes it without a word.
    SetFocus(Field(L"System", L"Delay"));
    Press(WM_KEYDOWN, VK_ESCAPE);
    EXPECT_FALSE(window.IsOpen());
    EXPECT_EQ(events.saved.size(), 1u);
}

TEST_F(SettingsWindowTest, BrowseOpensTheStandardPickersAndCancelKeepsTheValue) {
    ASSERT_TRUE(OpenAt(96));
    struct Case { model::SettingsTab tab; const wchar_t* group; const wchar_t* key; };
    const Case cases[] = {
        {model::SettingsTab::Folders, L"Copy", L"SourcePath"},
        {model::SettingsTab::Viewer, L"Viewer", L"Location"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(str::ToUtf8(c.key));
        window.ShowTab(c.tab);
        const std::wstring before = Text(Field(c.group, c.key));
        bool pickerSeen = false;
        // On another thread: the picker (a dialog of this process) shows, and is cancelled.
        std::thread user([&] {
            HWND picker = nullptr;
            driver::WaitFor([&] {
                picker = driver::FindOwnWindow(GetCurrentProcessId(), L"#32770");
                return picker != nullptr;
            }, 10000);
            pickerSeen = picker != nullptr;
            if (picker) PostMessageW(picker, WM_COMMAND, IDCANCEL, 0);
        });
        HWND browse = GetNextWindow(Field(c.group, c.key), GW_HWNDNEXT);
        ASSERT_EQ(GetDlgCtrlID(browse) % model::ids::kSettingsControlsPerField,
                  (model::ids::kSettingsFirstField + 2) % model::ids::kSettingsControlsPerField);
        PostMessageW(browse, BM_CLICK, 0, 0);
        const int loops = events.modalLoops;
        EXPECT_TRUE(Pump([&] { return events.modalLoops > loops && !driver::FindOwnWindow(GetCurrentProcessId(), L"#32770"); }, 15000));
        user.join();
        EXPECT_TRUE(pickerSeen);
        EXPECT_EQ(Text(Field(c.group, c.key)), before);
    }
    EXPECT_TRUE(window.IsOpen());
}
