#include "model/settings/settings_form.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <tuple>

#include "base/str.h"
#include "model/settings/folders.h"
#include "test_util.h"

namespace {

std::string Utf8(const std::wstring& s) { return str::ToUtf8(s); }

model::IniDocument DefaultIni() { return model::IniDocument(str::ToUtf8(model::DefaultSettingsText())); }

const model::FormField& Field(const std::vector<model::FormField>& form, const wchar_t* group, const wchar_t* key) {
    for (const model::FormField& f : form)
        if (f.group == group && f.key == key) return f;
    ADD_FAILURE() << Utf8(group) << " " << Utf8(key) << " is not in the form";
    return form.front();
}

// A disk of folders and files, and folders that may not be written.
std::set<std::wstring> g_folders, g_files, g_locked;
bool FakeFolder(const std::wstring& p) { return g_folders.count(p) > 0; }
bool FakeFile(const std::wstring& p) { return g_files.count(p) > 0; }
std::optional<bool> FakeMayCreate(const std::wstring& p) { return g_locked.count(p) == 0; }
const model::FileSystemView kFakeDisk{FakeFolder, FakeFile, FakeMayCreate};

}  // namespace

TEST(SettingsForm, EveryKeyOnceOnItsTabWithAnAccessKeyOfItsOwn) {
    std::vector<model::FormField> form = model::BuildSettingsForm(DefaultIni());
    std::set<std::wstring> keys;
    std::map<model::SettingsTab, std::set<wchar_t>> accessKeys;
    for (const model::FormField& f : form) {
        EXPECT_TRUE(keys.insert(f.group + L"/" + f.key).second) << Utf8(f.key);
        size_t amp = f.label.find(L'&');
        ASSERT_NE(amp, std::wstring::npos) << Utf8(f.label);
        EXPECT_TRUE(accessKeys[f.tab].insert(str::LowerChar(f.label[amp + 1])).second)
            << Utf8(f.label) << " shares its access key on tab " << Utf8(model::TabTitle(f.tab));
    }
    // The optional card keys are there with the rest; the folders wait for the next start.
    for (auto [group, key, tab, takes] : {std::tuple{L"TFA", L"QuickPollMs", model::SettingsTab::Card, model::Takes::NextStart},
                                          {L"TFA", L"LoResFirst", model::SettingsTab::Card, model::Takes::AtOnce},
                                          {L"Menu", L"Position", model::SettingsTab::Bar, model::Takes::AtOnce},
                                          {L"Copy", L"SourcePath", model::SettingsTab::Folders, model::Takes::NextStart},
                                          {L"TFA", L"Url", model::SettingsTab::Sources, model::Takes::AtOnce},
                                          {L"Inbox", L"Folders", model::SettingsTab::Sources, model::Takes::NextStart}}) {
        EXPECT_EQ(Field(form, group, key).tab, tab) << Utf8(key);
        EXPECT_EQ(Field(form, group, key).takes, takes) << Utf8(key);
    }
}

TEST(SettingsForm, StartsFromTheFileItsChoicesAndWhatTheProgramHolds) {
    std::vector<model::FormField> form =
        model::BuildSettingsForm(DefaultIni(), {{L"Menu", L"PositionX", L"640"}, {L"TFA", L"Path", L"DCIM/102_PANA"}});
    struct Case { const wchar_t* group; const wchar_t* key; const wchar_t* shown; bool inFile; };
    const Case cases[] = {
        {L"Menu", L"Position", L"Right", true},
        {L"Menu", L"PositionX", L"640", true},        // the bar was moved meanwhile
        {L"TFA", L"Path", L"DCIM/102_PANA", true},    // the camera's next folder was followed
        {L"TFA", L"QuickPollMs", L"300", false},       // missing: the value used
        {L"TFA", L"FollowNewFolders", L"Yes", false},
        {L"TFA", L"LoResFirst", L"No", false},
        {L"Menu", L"Titled", L"No", true},
        {L"Copy", L"SourcePath", L"", true},
    };
    for (const Case& c : cases) {
        const model::FormField& f = Field(form, c.group, c.key);
        EXPECT_EQ(f.Shown(), c.shown) << Utf8(c.key);
        EXPECT_EQ(f.current.has_value(), c.inFile) << Utf8(c.key);
    }
    EXPECT_EQ(Field(form, L"Menu", L"Position").choices,
              (std::vector<std::wstring>{L"Left", L"Top", L"Bottom", L"UserVerticalRight", L"UserVerticalLeft",
                                         L"UserHorizontalTop", L"UserHorizontalBottom", L"Right"}));
    EXPECT_EQ(Field(form, L"TFA", L"TransferModeAuto").choices,
              (std::vector<std::wstring>{L"HiRes", L"Both", L"LoRes"}));
    EXPECT_EQ(Field(form, L"TFA", L"Url").lastConnects, L"192.168.0.1");
    EXPECT_EQ(Field(form, L"Graphics", L"Location").mustHold.size(), 21u);
    // An empty folder shows the one it stands for.
    EXPECT_TRUE(str::EndsWith(Field(form, L"Copy", L"ThumbnailPath").hint, L"\\Wemlox\\Storage\\Thumbnails"));
    EXPECT_TRUE(str::EndsWith(Field(form, L"Graphics", L"Location").hint, L"Graphics\\"));
    EXPECT_EQ(Field(form, L"TFA", L"Url").hint, L"");
    // Without the card its keys were never read: only the bar's place is held.
    model::Settings noCard;
    noCard.PositionX = 640;
    EXPECT_EQ(model::HeldValues(noCard), (std::vector<model::SettingChange>{{L"Menu", L"PositionX", L"640"},
                                                                          {L"Menu", L"PositionY", L"0"}}));
    // A value the file has outside the known ones stays choosable.
    model::IniDocument odd("[Menu]\r\nPosition = VerticalLeft\r\n");
    EXPECT_EQ(Field(model::BuildSettingsForm(odd), L"Menu", L"Position").choices.back(), L"VerticalLeft");
}

TEST(SettingsForm, ValuesThatCannotWorkAreRefusedWithTheirReason) {
    std::vector<model::FormField> form = model::BuildSettingsForm(DefaultIni());
    g_files = {L"C:\\Programs\\IrfanView\\i_view64.exe"};
    struct Case { const wchar_t* group; const wchar_t* key; const wchar_t* value; const wchar_t* refusal; };
    const Case cases[] = {
        {L"Menu", L"ButtonSize", L"48", nullptr},
        {L"Menu", L"ButtonSize", L"81", L"from 24 to 80"},
        {L"Menu", L"ButtonSize", L"4x", L"whole number"},
        {L"Menu", L"InfoSize", L"-1", nullptr},
        {L"Menu", L"InfoSize", L"-2", L"-1 or a whole number from 60 to 2400"},
        {L"Menu", L"ThumbCols", L"12", nullptr},
        {L"Menu", L"ThumbCols", L"9", L"from 1 to 8"},  // would load as 12
        {L"TFA", L"QuickPollMs", L"0", nullptr},
        {L"TFA", L"QuickPollMs", L"100", L"from 200"},
        {L"Menu", L"PositionX", L"99999999999", L"whole number"},
        {L"Menu", L"Position", L"userverticalleft", nullptr},
        {L"Menu", L"Position", L"Middle", L"Choose one"},
        {L"TFA", L"Url", L"192.168.0.1", nullptr},
        {L"TFA", L"Url", L"192.168.0.201-209; 192.168.1.* ;flashair.local", nullptr},
        {L"TFA", L"Url", L"192.168.0.5;192.168.0.6-9;192.168.1.5", nullptr},
        {L"TFA", L"Url", L"192.168.0.1;192.168.0.256", L"192.168.0.256: Not an address or range: 192.168.0.1"},
        {L"TFA", L"Url", L"192.168.0", L"address"},
        {L"TFA", L"Url", L"192.168.0.0-9", L"address"},
        {L"TFA", L"Url", L"my card", L"address"},
        {L"TFA", L"Url", L" ; ", L"at least one"},
        {L"TFA", L"Url", L"http://192.168.0.1", L"without http://"},
        {L"TFA", L"Url", L"Card;card", L"in the list already"},
        {L"TFA", L"Url", L"192.168.0.*;192.168.0.254", L"entry 192.168.0.* too"},
        {L"TFA", L"Url", L"192.168.0.9-5;192.168.0.3-5", L"looked for twice"},
        {L"TFA", L"TransferHiRes", L".ARW", nullptr},
        {L"TFA", L"TransferHiRes", L"", nullptr},  // raw files are not fetched
        {L"TFA", L"TransferHiRes", L"*.arw", L"letters and digits"},
        {L"TFA", L"Path", L"DCIM/100EOS5D", nullptr},
        {L"TFA", L"Path", L"DCIM\r\n[Main]", L"one line"},
        {L"TFA", L"Path", L"DCIM/100\x01", L"control characters"},  // the file would drop them
        {L"Viewer", L"Location", L"AutoSearch", nullptr},
        {L"Viewer", L"Location", L"C:\\Programs\\IrfanView\\i_view64.exe", nullptr},
        {L"Viewer", L"Location", L"C:\\Programs\\IrfanView\\i_view32.exe", L"no such program"},
    };
    for (const Case& c : cases) {
        std::optional<std::wstring> problem = model::CheckFieldValue(Field(form, c.group, c.key), c.value, kFakeDisk);
        if (!c.refusal) {
            EXPECT_FALSE(problem) << Utf8(c.key) << " = " << Utf8(c.value) << ": " << Utf8(problem.value_or(L""));
            continue;
        }
        ASSERT_TRUE(problem) << Utf8(c.key) << " = " << Utf8(c.value);
        EXPECT_NE(problem->find(c.refusal), std::wstring::npos) << Utf8(*problem);
    }
}

TEST(SettingsForm, AFolderIsJudgedByWhatCanBeMadeWithoutMakingAnything) {
    g_folders = {L"D:\\", L"D:\\Shoots", L"D:\\Locked", L"\\\\nas\\photos\\"};
    g_files = {L"D:\\Shoots\\notes.txt"};
    g_locked = {L"D:\\Locked"};
    struct Case { const wchar_t* path; bool remote; const wchar_t* refusal; };
    const Case cases[] = {
        {L"", false, nullptr},                         // the default folder
        {L"D:\\Shoots", false, nullptr},
        {L"D:\\Shoots\\2026\\Studio", false, nullptr},  // its missing parents are made
        {L"D:/Shoots/2026", false, nullptr},
        {L"\\\\nas\\photos\\2026", false, nullptr},
        {L"ftp://host/dir", true, nullptr},
        {L"ftp://host/dir", false, L"FTP"},
        {L"Shoots", false, L"whole path"},
        {L"D:Shoots", false, L"whole path"},
        {L"D:\\Shoots\\notes.txt", false, L"is a file"},
        {L"D:\\Shoots\\notes.txt\\2026", false, L"No folder can be made in D:\\Shoots\\notes.txt"},
        {L"D:\\Locked", false, L"may not write"},
        {L"D:\\Locked\\New", false, L"may not create folders in D:\\Locked"},
        {L"Q:\\Shoots", false, L"There is no Q:\\"},
        {L"\\\\other\\share\\x", false, L"There is no \\\\other\\share\\"},
        {L"D:\\Shoots\\a?b", false, L"cannot hold"},
        {L"D:\\Shoots\\dot.", false, L"end in a blank or a dot"},
        {L"D:\\Shoots\\CON", false, L"device"},
        {L"D:\\Shoots\\..\\x", false, L"without"},
        {L"/:", false, L"cannot hold"},  // no drive: its root is shorter than a drive's
    };
    for (const Case& c : cases) {
        std::optional<std::wstring> problem = model::FolderProblem(c.path, c.remote, kFakeDisk);
        if (!c.refusal) {
            EXPECT_FALSE(problem) << Utf8(c.path) << ": " << Utf8(problem.value_or(L""));
            continue;
        }
        ASSERT_TRUE(problem) << Utf8(c.path);
        EXPECT_NE(problem->find(c.refusal), std::wstring::npos) << Utf8(c.path) << ": " << Utf8(*problem);
    }
    // The button pictures' folder must hold every picture [Graphics] names.
    std::vector<model::FormField> form = model::BuildSettingsForm(DefaultIni());
    const model::FormField& pictures = Field(form, L"Graphics", L"Location");
    g_folders.insert(L"D:\\Art");
    EXPECT_NE(model::CheckFieldValue(pictures, L"D:\\Art", kFakeDisk).value_or(L"").find(L"Copy.jpg"),
              std::wstring::npos);
    for (const std::wstring& name : pictures.mustHold) g_files.insert(L"D:\\Art\\" + name);
    EXPECT_FALSE(model::CheckFieldValue(pictures, L"D:\\Art\\", kFakeDisk));
    EXPECT_TRUE(model::CheckFieldValue(pictures, L"D:\\Nowhere", kFakeDisk));

    // An inbox must be there to be read, and clear of the store, the backup and the other inboxes.
    g_folders.insert({L"D:\\In", L"D:\\Ftp", L"D:\\Ftp\\up", L"E:\\Backup\\cam", L"\\\\nas\\photos"});
    g_files.insert(L"D:\\list.txt");
    const model::InboxNeighbours around{L"D:\\Shoots", L"E:\\Backup", {L"D:\\Ftp"}};
    const Case inboxes[] = {
        {L"D:\\In", false, nullptr},
        {L"D:/In/", false, nullptr},
        {L"\\\\nas\\photos", false, nullptr},
        {L"D:\\Shoots", false, L"picture folder D:\\Shoots"},
        {L"d:\\shoots\\cam", false, L"picture folder"},
        {L"D:\\", false, L"picture folder"},
        {L"E:\\Backup\\cam", false, L"backup folder"},
        {L"D:\\FTP\\up", false, L"inbox D:\\Ftp"},
        {L"D:\\Ftp", false, L"taken twice"},
        {L"D:\\Nowhere", false, L"cannot reach"},
        {L"D:\\list.txt", false, L"is a file"},
        {L"In", false, L"whole path"},
        {L"ftp://host/in", false, L"whole path"},
        {L"D:\\In;E:\\x", false, L"\";\""},
    };
    for (const Case& c : inboxes) {
        std::optional<std::wstring> problem = model::InboxFolderProblem(c.path, around, kFakeDisk);
        EXPECT_EQ(problem.has_value(), c.refusal != nullptr) << Utf8(c.path) << ": " << Utf8(problem.value_or(L""));
        if (problem && c.refusal) EXPECT_NE(problem->find(c.refusal), std::wstring::npos) << Utf8(*problem);
    }
    // The window's values: an empty picture folder is its default; the list is
    // judged against the store as it stands now, but not asked to be there.
    std::vector<std::wstring> values;
    for (const model::FormField& f : form)
        values.push_back(f.id == model::KeyId::InboxFolders ? L"D:\\In ;Q:\\Away" : f.id == model::KeyId::BackupFolder ? L"E:\\Backup" : L"");
    model::InboxNeighbours window = model::InboxNeighboursOf(form, values);
    EXPECT_EQ(window.pictures, model::DefaultFolder(L"SourcePath"));
    EXPECT_EQ(window.inboxes, (std::vector<std::wstring>{L"D:\\In", L"Q:\\Away"}));
    EXPECT_FALSE(model::InboxListProblem(window));
    window.pictures = L"D:\\In\\Store";
    EXPECT_EQ(model::InboxListProblem(window).value_or(L"").rfind(L"D:\\In: ", 0), 0u);
    const model::FormField& list = Field(form, L"Inbox", L"Folders");
    EXPECT_TRUE(model::CheckFieldValue(list, L"D:\\In;d:\\in\\sub", kFakeDisk));
    const model::FormField asWritten{.kind = model::FieldKind::InboxList, .current = L" D:\\In ;; E:\\x "};
    EXPECT_EQ(asWritten.Shown(), L"D:\\In;E:\\x");
}

TEST(SettingsForm, ChangesAreWhatDiffersFromWhatWasShown) {
    std::vector<model::FormField> form = model::BuildSettingsForm(DefaultIni());
    std::vector<std::wstring> values;
    for (const model::FormField& f : form) values.push_back(f.Shown());
    EXPECT_TRUE(model::FormChanges(form, values).empty());
    auto set = [&](const wchar_t* group, const wchar_t* key, const wchar_t* value) {
        for (size_t i = 0; i < form.size(); i++)
            if (form[i].group == group && form[i].key == key) values[i] = value;
    };
    set(L"TFA", L"Url", L" 192.168.0.1; 192.168.1.*");
    set(L"Menu", L"Titled", L"Yes");
    set(L"Copy", L"SourcePath", L"D:\\Shoots");
    set(L"TFA", L"FollowNewFolders", L"yes");  // shown as Yes: no change
    set(L"TFA", L"QuickPollMs", L" 300 ");      // the value used when missing: no change
    std::vector<model::SettingChange> changes = model::FormChanges(form, values);
    EXPECT_EQ(changes, (std::vector<model::SettingChange>{{L"Menu", L"Titled", L"Yes"},
                                                          {L"TFA", L"Url", L"192.168.0.1;192.168.1.*"},
                                                          {L"TFA", L"UrlLastConnect", L"192.168.0.1;"},
                                                          {L"Copy", L"SourcePath", L"D:\\Shoots"}}));
    std::vector<std::wstring> waiting = model::WaitingForNextStart(form, changes);
    EXPECT_EQ(waiting, (std::vector<std::wstring>{L"Title bar", L"Pictures (HiRes, LoRes)"}));
    EXPECT_EQ(model::NextStartNote(waiting), L"At the next start of Wemlox: Title bar, Pictures (HiRes, LoRes).");
    EXPECT_EQ(model::NextStartNote({}), L"");
}

TEST(SettingsForm, LastConnectsFollowTheirEntries) {
    struct Case { const wchar_t* oldUrl; const wchar_t* oldLast; const wchar_t* newUrl; const wchar_t* newLast; };
    const Case cases[] = {
        {L"192.168.0.1-254", L"192.168.0.7", L"192.168.0.1-254;10.0.0.1", L"192.168.0.7;"},  // an old file's one entry
        {L"a;b;c", L"1;2;3", L"c;a", L"3;1"},                                                  // kept, reordered, one gone
        {L"a;b", L"1", L"b;a", L";1"},                                                         // too few: none for b
        {L"a", L"1;2;3", L"A", L"1"},                                                          // too many; case ignored
        {L"a;b", L"1;2", L"", L""},
        {L"", L"", L"a;b", L";"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(model::KeepLastConnects(c.oldUrl, c.oldLast, c.newUrl), c.newLast) << Utf8(c.newUrl);
}

TEST(SettingsForm, SavedChangesTakeEffectAtOnceOrWait) {
    testutil::TempDir dir;
    dir.MakeDir(L"Graphics");
    model::IniDocument ini = DefaultIni();
    const std::vector<model::FormField> form = model::BuildSettingsForm(ini);
    for (const std::wstring& name : form.back().mustHold) dir.Write(L"Graphics\\" + name, "jpg");
    const std::wstring graphics = dir / L"Graphics\\";
    model::Settings live;
    ASSERT_FALSE(model::LoadSettings(ini, graphics, L"", L"", live));
    live.PositionY = 500;           // the user moved the bar
    live.Path = L"DCIM/102_PANA";  // the camera's next folder was followed
    const std::vector<model::SettingChange> changes = {
        {L"TFA", L"Url", L"192.168.0.*"},     {L"TFA", L"UrlLastConnect", L""}, {L"Menu", L"PositionX", L"40"},
        {L"Menu", L"Position", L"UserVerticalLeft"}, {L"Menu", L"Titled", L"Yes"},
        {L"TFA", L"LoResFirst", L"Yes"},      {L"Copy", L"SourcePath", L"D:\\Shoots"},
        {L"Main", L"Mode", L"TransferOnly"},
    };
    ASSERT_TRUE(ini.SetValues(changes, true));
    model::ViewerFacts viewer;
    model::ChangeEffects effects = model::ApplySavedChanges(ini, changes, graphics, viewer, live);
    EXPECT_TRUE(effects.barLayout);
    EXPECT_TRUE(effects.card);
    EXPECT_TRUE(effects.viewer);
    EXPECT_EQ(effects.nextStart, (std::vector<std::wstring>{L"Title bar", L"Pictures (HiRes, LoRes)"}));
    EXPECT_EQ(live.Url, L"192.168.0.*");
    EXPECT_EQ(live.UrlLastConnect, L"");  // follows Url, unnamed in the note
    EXPECT_TRUE(live.LoResFirst);
    EXPECT_EQ(live.Position, L"verticalleft");
    EXPECT_EQ(live.PositionX, 40);
    EXPECT_EQ(live.PositionY, 500);            // kept: not in the window's changes
    EXPECT_EQ(live.Path, L"DCIM/102_PANA");    // kept
    EXPECT_EQ(live.Mode, L"transferonly");
    EXPECT_FALSE(live.Titled);                 // at the next start
    EXPECT_EQ(live.SourcePath, L"");
}

TEST(SettingsForm, AKeyTheFileLacksShowsWhatTheProgramUses) {
    testutil::TempDir dir;
    dir.MakeDir(L"Graphics");
    dir.Write(L"Graphics\\Copy.jpg", "jpg");
    std::string text = "[Main]\r\n[Menu]\r\n[Viewer]\r\n[Graphics]\r\n";
    std::set<std::wstring> keys;
    for (const model::SettingKey& row : model::SettingKeys()) {
        EXPECT_TRUE(keys.insert(str::ToLower(std::wstring(row.group) + L"/" + row.key)).second) << Utf8(row.key);
        if (row.picture) text += Utf8(row.key) + " = Copy.jpg\r\n";
    }
    text += "[Copy]\r\n[TFA]\r\nActive = Yes\r\n[System]\r\n";
    const model::IniDocument ini(text);
    model::Settings s;
    ASSERT_FALSE(model::LoadSettings(ini, dir / L"Graphics\\", L"", L"", s));
    for (const model::FormField& f : model::BuildSettingsForm(ini)) {
        const model::SettingKey* row = model::FindSettingKey(f.group, f.key);
        ASSERT_TRUE(row) << Utf8(f.key);
        // Extensions gain their dot, choices their case, and the mode is derived.
        if (f.kind == model::FieldKind::Number || f.kind == model::FieldKind::YesNo || f.kind == model::FieldKind::Text)
            EXPECT_EQ(model::SettingText(*row, s), f.Shown()) << Utf8(f.key);
        if (f.kind == model::FieldKind::Number) EXPECT_FALSE(model::CheckFieldValue(f, f.Shown())) << Utf8(f.key);
    }
    for (model::KeyId id : {model::KeyId::Mode, model::KeyId::ViewerLocation, model::KeyId::GraphicsLocation,
                            model::KeyId::CardActive, model::KeyId::CardUrl, model::KeyId::HiResExtension,
                            model::KeyId::LoResExtension, model::KeyId::PictureFolder})
        EXPECT_EQ(model::SettingKeyOf(id).id, id);
}
