#include "model/settings/settings.h"

#include <gtest/gtest.h>

#include "base/fs.h"
#include "base/str.h"
#include "test_util.h"

namespace {

using testutil::TempDir;

std::string Utf8(const std::wstring& s) { return str::ToUtf8(s); }

const wchar_t* const kImageFiles[] = {
    L"Copy.jpg",      L"1to1.jpg",         L"Fit.jpg",           L"Left.jpg",
    L"Right.jpg",     L"TFA.jpg",          L"Misc.jpg",          L"Info.jpg",
    L"End.jpg",       L"Keyb.jpg",         L"WLX.jpg",           L"Progress.jpg",
    L"Red-16px.jpg",  L"Yellow-16px.jpg",  L"Green-16px.jpg",    L"Blue-16px.jpg",
    L"Thumb.jpg",     L"NotLoadedUnchecked.jpg", L"NotLoadedChecked.jpg",
    L"LoadedUnchecked.jpg", L"LoadedChecked.jpg",
};

// A graphics folder holding every image the default settings name.
class GraphicsFolder {
public:
    GraphicsFolder() {
        dir_.MakeDir(L"Graphics");
        for (const wchar_t* f : kImageFiles) dir_.Write(L"Graphics\\" + std::wstring(f), "jpg");
    }
    std::wstring path() const { return dir_ / L"Graphics\\"; }

private:
    TempDir dir_;
};

// The default file with one key's value replaced (or added).
std::string DefaultsWith(const wchar_t* group, const wchar_t* key, const wchar_t* value) {
    model::IniDocument ini(Utf8(model::DefaultSettingsText()));
    EXPECT_TRUE(ini.SetValue(group, key, value));
    return ini.Serialize();
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

struct Loaded {
    std::optional<model::SettingsProblem> problem;
    model::Settings settings;
};

Loaded Load(const std::string& ini, const std::wstring& graphicsPath,
            const std::wstring& foundViewerId = L"", const std::wstring& viewerPath = L"") {
    Loaded r;
    r.problem = model::LoadSettings(model::IniDocument(ini), graphicsPath, foundViewerId, viewerPath, r.settings);
    return r;
}

}  // namespace

// --- built-in text ---------------------------------------------------------

TEST(Settings, BuiltInTextIsTheDefaultFileByteForByte) {
    std::wstring text = model::DefaultSettingsText();
    EXPECT_TRUE(str::StartsWith(text, L"[Main]\r\nMode = ViewerDefined\r\n"));  // no BOM
    EXPECT_TRUE(str::EndsWith(text, L"\r\nDelay = 100\r\nSaveChangesOnExit = Yes\r\n"));
    const wchar_t* exactRuns[] = {
        L"\r\n[Menu]\r\nPosition = Right\r\n; Position = Left\r\n",
        L"\r\nInfoSize = -1\r\nInfoTouchSpace = 0\r\n; InfoSize = 340\r\n",
        L"\r\n[Viewer]\r\nLocation = AutoSearch\r\n[Graphics]\r\nLocation = \r\nButton_1 = Copy.jpg\r\n",
        L"\r\nButton_21 = Progress.jpg\r\nTree_3 = Red-16px.jpg\r\nTree_1 = Yellow-16px.jpg\r\n",
        (L"\r\n; TmpPath = C:\\Aufnahmen\\Storage\\tmp\r\nSourcePath = \r\nTargetPath = \r\n"
         L"StoragePath = \r\nThumbnailPath = \r\nTmpPath = \r\n[TFA]\r\nActive = Yes\r\n"),
        L"\r\n; Url = 192.168.0.201-209\r\n; Url=192.168.0.21-29\r\n; Url=192.168.0.*\r\n",
        L"\r\nUseUpdateFlag = No\r\n[System]\r\nHideTaskBar = No\r\n",
    };
    for (const wchar_t* run : exactRuns)
        EXPECT_NE(text.find(run), std::wstring::npos) << Utf8(run);
    // Every line ends in CR LF and there are no others.
    size_t lines = 0;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == L'\r') {
            ASSERT_EQ(text[i + 1], L'\n') << i;
            lines++;
        } else if (text[i] == L'\n') {
            ASSERT_EQ(text[i - 1], L'\r') << i;
        }
    }
    EXPECT_EQ(lines, 102u);
    EXPECT_EQ(text.find(L">###<"), std::wstring::npos);
}

TEST(Settings, ReadDataReturnsTheBlockOnceThenNothing) {
    size_t position = 0;
    EXPECT_EQ(model::BuiltInBlock(position), model::DefaultSettingsText());
    EXPECT_EQ(model::BuiltInBlock(position), L"");
    EXPECT_EQ(model::BuiltInBlock(position), L"");
    position = 0;
    EXPECT_EQ(model::BuiltInBlock(position), model::DefaultSettingsText());
}

// --- INI document ------------------------------------------------------------

TEST(IniDocument, FindsGroupsAndKeysIgnoringCaseAndBlanks) {
    model::IniDocument ini(
        "\xEF\xBB\xBF"
        "orphan = before any group\r\n"
        "[Main]\r\n"
        "  Mode   =   ViewerDefined  \r\n"
        "; Hidden = comment\r\n"
        "= no key\r\n"
        "Empty =\r\n"
        "Dup = first\r\n"
        "dup = second\r\n"
        "no equals sign\r\n"
        "Eq = a=b\r\n"
        "[ Menu ]\n"
        "Position=Left\r"
        "[main]\r\n"
        "Late = in a second [Main]\r\n"
        "Last = no line end");
    struct Case { const wchar_t* group; const wchar_t* key; std::optional<std::wstring> value; };
    const Case cases[] = {
        {L"MAIN", L"mode", L"ViewerDefined"},
        {L"Main", L"Hidden", std::nullopt},
        {L"Main", L"", std::nullopt},
        {L"Main", L"Empty", L""},
        {L"Main", L"DUP", L"first"},
        {L"Main", L"Eq", L"a=b"},
        {L"Main", L"orphan", std::nullopt},
        {L"Menu", L"Position", L"Left"},
        {L"Menu", L"Mode", std::nullopt},
        {L"Main", L"Late", std::nullopt},  // the first [Main] is the group
        {L"main", L"Last", std::nullopt},
        {L"Viewer", L"Location", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ini.Value(c.group, c.key), c.value) << Utf8(c.group) << "/" << Utf8(c.key);
    EXPECT_TRUE(ini.HasGroup(L"menu"));
    EXPECT_FALSE(ini.HasGroup(L"Viewer"));
}

TEST(IniDocument, RewritesUnchangedTextIdentically) {
    const std::string texts[] = {
        Utf8(model::DefaultSettingsText()),
        "\xEF\xBB\xBF[A]\r\nx = 1\r\n\r\n; \xC3\xA4 comment\r\n[B]\r\n",
        "",
    };
    for (const std::string& t : texts) EXPECT_EQ(model::IniDocument(t).Serialize(), t);
    // Other line ends come back as CR LF; a missing last line end is added.
    EXPECT_EQ(model::IniDocument("[A]\nx=1\ry=2").Serialize(), "[A]\r\nx=1\r\ny=2\r\n");
}

TEST(IniDocument, SurvivesGarbage) {
    std::string garbage;
    for (int i = 0; i < 5000; i++) garbage.push_back(static_cast<char>((i * 7919) % 256));
    std::string longLine = "[G]\r\nk = " + std::string(200000, 'v') + "\r\n=\r\n[\r\n]\r\n[]\r\n";
    for (const std::string& t : {garbage, longLine}) {
        model::IniDocument ini(t);
        (void)ini.Value(L"G", L"k");
        (void)ini.Serialize();
        (void)ini.SetValue(L"G", L"k", L"x");
    }
    model::IniDocument ini(longLine);
    EXPECT_EQ(ini.Value(L"G", L"k")->size(), 200000u);
    EXPECT_TRUE(ini.HasGroup(L""));  // "[]" is a group without a name
}

TEST(IniDocument, SetValueRewritesOnlyThatLine) {
    model::IniDocument ini("[Main]\r\n; Mode = x\r\nMODE=Old\r\nMode = shadowed\r\n\r\n[TFA]\r\nPath = p\r\n");
    ASSERT_TRUE(ini.SetValue(L"main", L"mode", L"New"));
    EXPECT_EQ(ini.Serialize(),
              "[Main]\r\n; Mode = x\r\nMODE = New\r\nMode = shadowed\r\n\r\n[TFA]\r\nPath = p\r\n");
    EXPECT_EQ(ini.Value(L"Main", L"Mode"), L"New");
}

TEST(IniDocument, SetValueAddsMissingKeyAfterGroupsLastLine) {
    model::IniDocument ini("[Main]\r\nMode = a\r\n; note\r\n\r\n\r\n[TFA]\r\n[Last]");
    ASSERT_TRUE(ini.SetValue(L"Main", L"Extra", L"1"));
    ASSERT_TRUE(ini.SetValue(L"TFA", L"Path", L"DCIM"));
    ASSERT_TRUE(ini.SetValue(L"Last", L"K", L""));
    EXPECT_EQ(ini.Serialize(),
              "[Main]\r\nMode = a\r\n; note\r\nExtra = 1\r\n\r\n\r\n[TFA]\r\nPath = DCIM\r\n"
              "[Last]\r\nK = \r\n");
}

TEST(IniDocument, SetValueRefusesWhatWouldBreakTheFile) {
    const std::string text = "[Main]\r\nMode = a\r\n";
    struct Case { const wchar_t* group; const wchar_t* key; std::wstring value; };
    const Case refused[] = {
        {L"Missing", L"Mode", L"x"}, {L"Main", L"", L"x"},       {L"Main", L"  ", L"x"},
        {L"Main", L"a=b", L"x"},     {L"Main", L"; c", L"x"},    {L"Main", L"[G]", L"x"},
        {L"Main", L"Mode", L"x\r\n[Evil]"}, {L"Main", L"K\nX", L"x"},
        {L"Main", L"Mode", std::wstring(L"a\0b", 3)},  // read back without it
    };
    for (const Case& c : refused) {
        model::IniDocument ini(text);
        EXPECT_FALSE(ini.SetValue(c.group, c.key, c.value)) << Utf8(c.key) << "=" << Utf8(c.value);
        EXPECT_EQ(ini.Serialize(), text);
    }
}

// --- loading all settings ------------------------------------------------------

TEST(SettingsLoad, DefaultFile) {
    GraphicsFolder gfx;
    Loaded r = Load(Utf8(model::DefaultSettingsText()), gfx.path(), L"irfan", L"C:\\x\\i_view64.exe");
    ASSERT_FALSE(r.problem);
    const model::Settings& s = r.settings;
    EXPECT_EQ(s.Mode, L"irfan");
    EXPECT_EQ(s.Position, L"right");
    EXPECT_EQ(s.PositionX, 112);
    EXPECT_EQ(s.ButtonSize, 48);
    EXPECT_EQ(s.ThumbCols, 3);
    EXPECT_EQ(s.BorderSpace, 2);
    EXPECT_EQ(s.InfoSize, 511);  // 3 * 160 + 2 * 5 + 0 + 21
    EXPECT_EQ(s.Graphics.Button[1], gfx.path() + L"Copy.jpg");
    EXPECT_EQ(s.Graphics.Busy, gfx.path() + L"Progress.jpg");
    EXPECT_EQ(s.Graphics.Tree[3], gfx.path() + L"Red-16px.jpg");
    EXPECT_EQ(s.Graphics.DelayChg, 240);
    EXPECT_TRUE(s.Active);
    EXPECT_EQ(s.TransferHiRes, L".cr2");
    EXPECT_EQ(s.OccurenceName, L"TFA");
    EXPECT_EQ(s.TransferModeAuto, L"lores");
    EXPECT_EQ(s.CheckNewFilesSec, 2);
    EXPECT_EQ(s.Delay, 100);
    EXPECT_TRUE(s.SaveChangesOnExit);
}

TEST(SettingsLoad, DefaultsForMissingKeysDifferFromTheDefaultFile) {
    GraphicsFolder gfx;
    std::string ini = "[Main]\r\n[Menu]\r\n[Graphics]\r\n";
    const char* imageKeys[] = {"Button_1", "Button_2", "Button_3", "Button_4", "Button_5",
                               "Button_6", "Button_7", "Button_8", "Button_9", "Button_10",
                               "Button_11", "Button_21", "Tree_1", "Tree_2", "Tree_3", "Tree_4",
                               "Thumb", "NotLoadedUnchecked", "NotLoadedChecked",
                               "LoadedUnchecked", "LoadedChecked"};
    for (const char* k : imageKeys) ini += std::string(k) + " = Copy.jpg\r\n";
    ini += "[Copy]\r\n[TFA]\r\nActive = yes\r\n[System]\r\n";
    Loaded r = Load(ini, gfx.path(), L"irfan", L"C:\\i_view32.exe");
    ASSERT_FALSE(r.problem);
    const model::Settings& s = r.settings;
    EXPECT_EQ(s.Mode, L"systemonly");  // a missing Mode key reads as SystemOnly
    EXPECT_EQ(s.Position, L"right");
    EXPECT_EQ(s.PositionX, -1);
    EXPECT_EQ(s.ButtonSize, 80);
    EXPECT_EQ(s.ThumbCols, 12);  // "36", above 8
    EXPECT_EQ(s.BorderSpace, 10);
    EXPECT_EQ(s.InfoSize, 280);
    EXPECT_EQ(s.Graphics.DelayChg, 300);
    EXPECT_EQ(s.OccurenceName, L"FlashAir");
    EXPECT_EQ(s.CheckNewFilesSec, 4);
    EXPECT_EQ(s.TransferModeMan, L"hires");
    EXPECT_TRUE(s.TransferOnlyAddedFiles);
    EXPECT_EQ(s.Delay, 50);
    EXPECT_TRUE(s.SaveChangesOnExit);
}

TEST(SettingsLoad, NumbersAreLimited) {
    GraphicsFolder gfx;
    struct Case {
        const wchar_t* group; const wchar_t* key; const wchar_t* value;
        int model::Settings::*field; int expected;
    };
    const Case cases[] = {
        {L"Menu", L"ThumbCols", L"9", &model::Settings::ThumbCols, 12},
        {L"Menu", L"ThumbCols", L"8", &model::Settings::ThumbCols, 8},
        {L"Menu", L"ThumbCols", L"0", &model::Settings::ThumbCols, 1},
        {L"Menu", L"ThumbCols", L"-4", &model::Settings::ThumbCols, 1},
        {L"TFA", L"CheckNewFilesSec", L"300", &model::Settings::CheckNewFilesSec, 44},
        {L"TFA", L"CheckNewFilesSec", L"200", &model::Settings::CheckNewFilesSec, 1},
        {L"TFA", L"CheckNewFilesSec", L"90", &model::Settings::CheckNewFilesSec, 60},
        {L"TFA", L"CheckNewFilesSec", L"256", &model::Settings::CheckNewFilesSec, 1},
        {L"TFA", L"CheckNewFilesSec", L"-250", &model::Settings::CheckNewFilesSec, 6},
        {L"TFA", L"CheckNewFilesSec", L"99999999999999999999", &model::Settings::CheckNewFilesSec, 1},
        {L"System", L"Delay", L"5", &model::Settings::Delay, 8},
        {L"System", L"Delay", L"9000", &model::Settings::Delay, 8000},
        {L"System", L"Delay", L"fast", &model::Settings::Delay, 8},
        {L"System", L"Delay", L"", &model::Settings::Delay, 8},
        {L"Menu", L"ButtonSize", L"200", &model::Settings::ButtonSize, 80},
        {L"Menu", L"ButtonSize", L"10", &model::Settings::ButtonSize, 24},
        {L"Menu", L"ThumbSize", L"50", &model::Settings::ThumbSize, 160},
        {L"Menu", L"ThumbSelSize", L"99", &model::Settings::ThumbSelSize, 36},
        {L"Menu", L"ButtonSpace", L"30", &model::Settings::ButtonSpace, 20},
        {L"Menu", L"BorderSpace", L"-3", &model::Settings::BorderSpace, 0},
        {L"Menu", L"BorderSpace", L"250", &model::Settings::BorderSpace, 200},
        {L"Menu", L"InfoTouchSpace", L"-4", &model::Settings::InfoTouchSpace, 0},
        {L"Menu", L"InfoSize", L"30", &model::Settings::InfoSize, 60},
        {L"Menu", L"InfoSize", L"5000", &model::Settings::InfoSize, 2400},
        {L"Menu", L"InfoSize", L"340px", &model::Settings::InfoSize, 340},
        {L"Menu", L"PositionX", L"-7", &model::Settings::PositionX, -7},
        {L"TFA", L"PingTimeoutMs", L"1", &model::Settings::PingTimeoutMs, 10},
        {L"TFA", L"PingTimeoutMs", L"5000", &model::Settings::PingTimeoutMs, 1000},
        {L"TFA", L"QuickPollMs", L"0", &model::Settings::QuickPollMs, 0},
        {L"TFA", L"QuickPollMs", L"50", &model::Settings::QuickPollMs, 200},
        {L"TFA", L"QuickPollMs", L"300", &model::Settings::QuickPollMs, 300},
        {L"TFA", L"QuickPollMs", L"-5", &model::Settings::QuickPollMs, 0},
    };
    for (const Case& c : cases) {
        Loaded r = Load(DefaultsWith(c.group, c.key, c.value), gfx.path());
        ASSERT_FALSE(r.problem);
        EXPECT_EQ(r.settings.*c.field, c.expected) << Utf8(c.key) << " = " << Utf8(c.value);
    }
    Loaded delayChg = Load(DefaultsWith(L"Graphics", L"DelayChg", L"5"), gfx.path());
    EXPECT_EQ(delayChg.settings.Graphics.DelayChg, 10);
}

TEST(SettingsLoad, ComputedInfoSizeUsesLimitedValues) {
    GraphicsFolder gfx;
    struct Case { const wchar_t* key; const wchar_t* value; int expected; };
    const Case cases[] = {
        {L"Position", L"Top", (160 + 36 + 2 + 1) * 3 + 20},
        {L"Position", L"UserVerticalLeft", 511},
        {L"ThumbCols", L"9", 12 * 160 + 2 * 14 + 21},
        {L"InfoTouchSpace", L"300", 3 * 160 + 2 * 5 + 200 + 21},
        {L"ThumbSize", L"10", 511},
    };
    for (const Case& c : cases) {
        Loaded r = Load(DefaultsWith(L"Menu", c.key, c.value), gfx.path());
        ASSERT_FALSE(r.problem);
        EXPECT_EQ(r.settings.InfoSize, c.expected) << Utf8(c.key) << " = " << Utf8(c.value);
    }
}

TEST(SettingsLoad, BarPosition) {
    struct Case { const wchar_t* raw; int x, y; const wchar_t* expected; };
    const Case cases[] = {
        {L"UserVerticalRight", 112, 112, L"verticalright"},
        {L"UserVerticalRight", -1, 112, L"right"},
        {L"UserVerticalRight", 112, -1, L"right"},
        {L"UserHorizontalBottom", -1, -1, L"bottom"},
        {L"UserHorizontalBottom", 0, 0, L"horizontalbottom"},
        {L"userhorizontaltop", 5, 5, L"horizontaltop"},
        {L"VerticalLeft", 1, 1, L"verticalleft"},
        {L"LEFT", 1, 1, L"left"},
        {L"TopLeft", -1, -1, L"left"},  // "left" is tested first
        {L"Middle", 5, 5, L"Middle"},   // unknown: kept as written
        {L"", 5, 5, L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(model::DeriveBarPosition(c.raw, c.x, c.y), c.expected) << Utf8(c.raw);

    GraphicsFolder gfx;
    std::string ini = DefaultsWith(L"Menu", L"Position", L"  UserVerticalRight ");
    EXPECT_EQ(Load(ini, gfx.path()).settings.Position, L"verticalright");
    ini = Replace(ini, "PositionX = 112", "PositionX = -1");
    EXPECT_EQ(Load(ini, gfx.path()).settings.Position, L"right");
}

TEST(SettingsLoad, TextNormalisation) {
    GraphicsFolder gfx;
    struct Case {
        const wchar_t* key; const wchar_t* value;
        std::wstring model::Settings::*field; const wchar_t* expected;
    };
    const Case cases[] = {
        {L"TransferHiRes", L"arw", &model::Settings::TransferHiRes, L".arw"},
        {L"TransferHiRes", L".ARW", &model::Settings::TransferHiRes, L".ARW"},
        {L"TransferLoRes", L" JPG ", &model::Settings::TransferLoRes, L".JPG"},
        {L"TransferHiRes", L"", &model::Settings::TransferHiRes, L""},  // raw files are not transferred
        {L"TransferLoRes", L" ", &model::Settings::TransferLoRes, L""},
        {L"TransferModeAuto", L"Both", &model::Settings::TransferModeAuto, L"both"},
        {L"TransferModeMan", L"LoRes", &model::Settings::TransferModeMan, L"lores"},
        {L"Path", L" DCIM/100EOS5D ", &model::Settings::Path, L"DCIM/100EOS5D"},
    };
    for (const Case& c : cases) {
        Loaded r = Load(DefaultsWith(L"TFA", c.key, c.value), gfx.path());
        ASSERT_FALSE(r.problem);
        EXPECT_EQ(r.settings.*c.field, c.expected) << Utf8(c.key) << " = " << Utf8(c.value);
    }
    // The camera's next folder is followed unless the file says No.
    EXPECT_TRUE(Load(Utf8(model::DefaultSettingsText()), gfx.path()).settings.FollowNewFolders);
    EXPECT_FALSE(Load(DefaultsWith(L"TFA", L"FollowNewFolders", L"No"), gfx.path()).settings.FollowNewFolders);
}

TEST(SettingsLoad, TfaOffLeavesCardKeysUnread) {
    GraphicsFolder gfx;
    for (const wchar_t* active : {L"No", L"", L"true"}) {
        Loaded r = Load(DefaultsWith(L"TFA", L"Active", active), gfx.path());
        ASSERT_FALSE(r.problem);
        const model::Settings& s = r.settings;
        EXPECT_FALSE(s.Active);
        EXPECT_EQ(s.Path, L"");
        EXPECT_EQ(s.Url, L"");
        EXPECT_EQ(s.TransferHiRes, L"");
        EXPECT_EQ(s.OccurenceName, L"");
        EXPECT_EQ(s.CheckNewFilesSec, 0);
        EXPECT_FALSE(s.TransferOnlyAddedFiles);
        EXPECT_EQ(s.Delay, 100);  // the groups after [TFA] are still read
    }
}

TEST(SettingsLoad, WithoutSystemGroupKeepsStartValues) {
    GraphicsFolder gfx;
    std::string ini = Replace(Utf8(model::DefaultSettingsText()), "[System]", "[Sys]");
    Loaded r = Load(ini, gfx.path());
    ASSERT_FALSE(r.problem);
    EXPECT_EQ(r.settings.Delay, 0);
    EXPECT_FALSE(r.settings.SaveChangesOnExit);
    EXPECT_FALSE(r.settings.HideTaskBar);
}

TEST(SettingsLoad, MissingGroupsAreErrors) {
    GraphicsFolder gfx;
    for (const wchar_t* group : {L"Main", L"Menu", L"Graphics", L"Copy", L"TFA"}) {
        std::string ini = Replace(Utf8(model::DefaultSettingsText()), "[" + Utf8(group) + "]", "[Renamed]");
        model::Settings s;
        s.Delay = 77;
        EXPECT_EQ(model::LoadSettings(model::IniDocument(ini), gfx.path(), L"", L"", s),
                  (model::SettingsProblem{model::SettingsProblemKind::GroupMissing, group, L"", L"", L""}));
        EXPECT_EQ(s.Delay, 77);  // nothing applied on failure
        EXPECT_EQ(s.Mode, L"");
    }
}

TEST(SettingsLoad, EveryImageMustBeANonEmptyFile) {
    // The key of the picture that is missing.
    auto missing = [](const Loaded& r) {
        return r.problem && r.problem->kind == model::SettingsProblemKind::PictureMissing ? r.problem->key : L"";
    };
    GraphicsFolder gfx;
    ASSERT_TRUE(fs::WriteFile(gfx.path() + L"Empty.jpg", ""));
    for (const wchar_t* key : {L"Button_1", L"Button_10", L"Button_11", L"Button_21", L"Tree_1", L"Tree_4", L"Thumb",
                               L"NotLoadedUnchecked", L"NotLoadedChecked", L"LoadedUnchecked", L"LoadedChecked"}) {
        for (const wchar_t* bad : {L"Missing.jpg", L"Empty.jpg", L""})
            EXPECT_EQ(missing(Load(DefaultsWith(L"Graphics", key, bad), gfx.path())), key) << Utf8(key) << " = " << Utf8(bad);
    }
    // The first missing image in checking order is the one reported.
    std::string ini = DefaultsWith(L"Graphics", L"Tree_1", L"Missing.jpg");
    model::IniDocument both(ini);
    ASSERT_TRUE(both.SetValue(L"Graphics", L"Button_21", L"Missing.jpg"));
    EXPECT_EQ(missing(Load(both.Serialize(), gfx.path())), L"Button_21");
    // A graphics folder that does not exist fails on the first button.
    EXPECT_EQ(missing(Load(ini, gfx.path() + L"nowhere\\")), L"Button_1");
}

TEST(SettingsLoad, ModeIsDerived) {
    GraphicsFolder gfx;
    Loaded r = Load(DefaultsWith(L"Main", L"Mode", L"fast"), gfx.path(), L"", L"C:\\XnView\\XnView.exe");
    EXPECT_EQ(r.settings.Mode, L"xnview");
    r = Load(DefaultsWith(L"Main", L"Mode", L""), gfx.path(), L"nomacs", L"C:\\nomacs.exe");
    EXPECT_EQ(r.settings.Mode, L"nomacs");  // present but empty: from the path
}

TEST(SettingsLoad, GraphicsPathResolution) {
    struct Case { const wchar_t* location; const wchar_t* expected; };
    const Case cases[] = {
        {L"", L"C:\\Prog\\Graphics\\"},
        {L"   ", L"C:\\Prog\\Graphics\\"},
        {L"D:\\Art", L"D:\\Art\\"},
        {L" D:\\Art\\ ", L"D:\\Art\\"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(model::ResolveGraphicsPath(c.location, L"C:\\Prog\\"), c.expected) << Utf8(c.location);
}

// --- the settings file ----------------------------------------------------------

// The settings file as the program reads it: one key, or everything with the
// program's facts (graphics folder, viewer found).
class SettingsFile : public ::testing::Test {
protected:
    void WriteIni(const std::string& text) { ASSERT_TRUE(fs::WriteFile(settingsFile_, text)); }
    std::string IniBytes() const { return testutil::ReadAll(settingsFile_); }
    std::optional<std::wstring> Read(const std::wstring& group, const std::wstring& key) const {
        return model::ReadPreference(settingsFile_, group, key);
    }
    std::optional<model::SettingsProblem> LoadAll() {
        return model::LoadSettingsFile(settingsFile_, graphicsPath_, foundViewerId_, viewerPath_, settings_);
    }
    model::SaveResult Save(const std::wstring& group, const std::wstring& key, const std::wstring& value) const {
        return model::SavePreferences(settingsFile_, {{group, key, value}});
    }

    TempDir dir_;
    std::wstring settingsFile_ = dir_ / L"Wemlox.ini";
    std::wstring graphicsPath_, foundViewerId_, viewerPath_;
    model::Settings settings_;
};

TEST_F(SettingsFile, SingleReads) {
    WriteIni("[Graphics]\r\nLocation = \r\n[Viewer]\r\nlocation =  AutoSearch \r\n");
    EXPECT_EQ(Read(L"Viewer", L"Location"), L"AutoSearch");
    EXPECT_EQ(Read(L"GRAPHICS", L"LOCATION"), L"");
    EXPECT_EQ(Read(L"Viewer", L"Other"), L"");
    EXPECT_EQ(Read(L"TFA", L"Active"), std::nullopt);
    settingsFile_ = dir_ / L"missing.ini";
    EXPECT_EQ(Read(L"Viewer", L"Location"), std::nullopt);
    ASSERT_TRUE(LoadAll());
    EXPECT_EQ(LoadAll()->kind, model::SettingsProblemKind::CannotOpen);
}

TEST_F(SettingsFile, FullLoadFillsGlobalSettings) {
    GraphicsFolder gfx;
    WriteIni(Utf8(model::DefaultSettingsText()));
    graphicsPath_ = gfx.path();
    foundViewerId_ = L"nomacs";
    viewerPath_ = L"C:\\Program Files\\nomacs\\nomacs-x64\\nomacs.exe";
    EXPECT_FALSE(LoadAll());
    EXPECT_EQ(settings_.Mode, L"nomacs");
    EXPECT_EQ(settings_.InfoSize, 511);
    EXPECT_EQ(settings_.Graphics.Thumb, gfx.path() + L"Thumb.jpg");
}

TEST_F(SettingsFile, SaveKeepsEveryOtherLine) {
    const std::string before =
        "; my settings\r\n[Main]\r\nMode = ViewerDefined\r\n\r\n[tfa]\r\n; Path = DCIM/102_PANA\r\n"
        "  path=DCIM/101_PANA  \r\nDoNotLoad = A.JPG\r\n\r\n[System]\r\nDelay = 100\r\n";
    WriteIni(before);
    EXPECT_EQ(Save(L"TFA", L"PATH", L"DCIM/100EOS5D"), model::SaveResult::Saved);
    EXPECT_EQ(Save(L"TFA", L"TransferHiRes", L".arw"), model::SaveResult::Saved);
    EXPECT_EQ(IniBytes(),
              "; my settings\r\n[Main]\r\nMode = ViewerDefined\r\n\r\n[tfa]\r\n; Path = DCIM/102_PANA\r\n"
              "path = DCIM/100EOS5D\r\nDoNotLoad = A.JPG\r\nTransferHiRes = .arw\r\n\r\n"
              "[System]\r\nDelay = 100\r\n");
    EXPECT_EQ(Read(L"TFA", L"TransferHiRes"), L".arw");
    EXPECT_FALSE(fs::FileSize(settingsFile_ + L".new"));  // no temporary file left
}

TEST_F(SettingsFile, FailedSaveLeavesFileUntouched) {
    const std::string before = "[Main]\r\nMode = a\r\n";
    WriteIni(before);
    EXPECT_EQ(Save(L"", L"Mode", L"b"), model::SaveResult::Refused);
    EXPECT_EQ(Save(L"Main", L"", L"b"), model::SaveResult::Refused);
    EXPECT_EQ(IniBytes(), before);
    settingsFile_ = dir_ / L"missing.ini";
    EXPECT_EQ(Save(L"Main", L"Mode", L"b"), model::SaveResult::CannotRead);
    EXPECT_FALSE(fs::FileSize(settingsFile_));  // not created
}

TEST_F(SettingsFile, SaveToleratesByteOrderMark) {
    WriteIni("\xEF\xBB\xBF[Menu]\r\nPositionX = 112\r\n");
    EXPECT_EQ(Read(L"Menu", L"PositionX"), L"112");
    EXPECT_EQ(Save(L"menu", L"positionx", L"-20"), model::SaveResult::Saved);
    EXPECT_EQ(IniBytes(), "\xEF\xBB\xBF[Menu]\r\nPositionX = -20\r\n");
    EXPECT_EQ(Read(L"Menu", L"PositionX"), L"-20");
}

TEST_F(SettingsFile, SaveKeepsNonAsciiText) {
    WriteIni("[Copy]\r\nSourcePath = C:\\Bl\xC3\xBCten\r\n[TFA]\r\nPath = x\r\n");
    EXPECT_EQ(Save(L"TFA", L"Path", L"\x20AC"), model::SaveResult::Saved);
    EXPECT_EQ(IniBytes(), "[Copy]\r\nSourcePath = C:\\Bl\xC3\xBCten\r\n[TFA]\r\nPath = \xE2\x82\xAC\r\n");
}

// --- encodings, several keys at once, start-up problems -------------------------

namespace {

// A Polish system's ANSI code page (Windows-1250) for the letters used here.
std::wstring Cp1250(std::string_view bytes) {
    std::wstring text;
    for (unsigned char c : bytes) {
        switch (c) {
        case 0xA3: text += L'\x0141'; break;  // Ł
        case 0xF3: text += L'\x00F3'; break;  // ó
        case 0x9F: text += L'\x017A'; break;  // ź
        default: text += static_cast<wchar_t>(c);
        }
    }
    return text;
}

const std::wstring kLodz = L"D:\\\x0141\x00F3" L"d\x017A";

}  // namespace

TEST(IniDocument, ReadsEveryEncodingAndWritesBackWhatStaysReadable) {
    const std::string ansi = "[Copy]\r\nSourcePath = D:\\\xA3\xF3" "d\x9F\r\n";
    const std::string utf8 = str::ToUtf8(L"[Copy]\r\nSourcePath = " + kLodz + L"\r\n");
    struct Case {
        const char* what;
        std::string bytes;
        model::TextEncoding read;
        std::string rewrittenStart;  // the byte-order mark (and first bytes) after a save
    } cases[] = {
        {"UTF-8", utf8, model::TextEncoding::Utf8, "[Copy]"},
        {"UTF-8 with BOM", "\xEF\xBB\xBF" + utf8, model::TextEncoding::Utf8Bom, "\xEF\xBB\xBF[Copy]"},
        {"UTF-16 LE (Notepad's Unicode)", "\xFF\xFE" + str::ToUtf16(str::FromUtf8(utf8), false),
         model::TextEncoding::Utf16Le, std::string("\xFF\xFE[\0C\0", 6)},
        {"UTF-16 BE", "\xFE\xFF" + str::ToUtf16(str::FromUtf8(utf8), true), model::TextEncoding::Utf16Be,
         std::string("\xFE\xFF\0[\0C", 6)},
        // Without a mark, as some programs write it: the mark is added.
        {"UTF-16 LE without mark", str::ToUtf16(str::FromUtf8(utf8), false), model::TextEncoding::Utf16Le,
         std::string("\xFF\xFE[\0C\0", 6)},
        {"UTF-16 BE without mark", str::ToUtf16(str::FromUtf8(utf8), true), model::TextEncoding::Utf16Be,
         std::string("\xFE\xFF\0[\0C", 6)},
        {"UTF-8 padded with zeros (a cut write)", utf8 + std::string(7, '\0'), model::TextEncoding::Utf8, "[Copy]"},
        {"ANSI", ansi, model::TextEncoding::Ansi, "\xEF\xBB\xBF[Copy]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        model::IniDocument ini(c.bytes, Cp1250);
        EXPECT_EQ(ini.ReadAs(), c.read);
        EXPECT_EQ(ini.Value(L"Copy", L"SourcePath"), kLodz);
        ASSERT_TRUE(ini.SetValue(L"Copy", L"TmpPath", L"\x20AC"));
        const std::string saved = ini.Serialize();
        EXPECT_EQ(saved.substr(0, c.rewrittenStart.size()), c.rewrittenStart);
        model::IniDocument again(saved, Cp1250);
        EXPECT_EQ(again.Value(L"Copy", L"SourcePath"), kLodz);
        EXPECT_EQ(again.Value(L"Copy", L"TmpPath"), L"\x20AC");
    }
    // Unchanged UTF-16 text comes back byte for byte.
    const std::string utf16 = cases[2].bytes;
    EXPECT_EQ(model::IniDocument(utf16).Serialize(), utf16);
}

TEST_F(SettingsFile, SeveralKeysInOneWriteKeepEveryOtherLine) {
    const std::string before = "; mine\r\n[Menu]\r\nPositionX = 112\r\n; PositionY = 5\r\nPositionY = 112\r\n\r\n"
                               "[TFA]\r\nUrl = 192.168.0.1\r\n";
    WriteIni(before);
    EXPECT_EQ(model::SavePreferences(settingsFile_, {{L"TFA", L"Url", L"192.168.0.*"},
                                                     {L"Menu", L"PositionY", L"40"},
                                                     {L"TFA", L"QuickPollMs", L"0"},
                                                     {L"System", L"Delay", L"60"}}),
              model::SaveResult::Saved);
    EXPECT_EQ(IniBytes(), "; mine\r\n[Menu]\r\nPositionX = 112\r\n; PositionY = 5\r\nPositionY = 40\r\n\r\n"
                          "[TFA]\r\nUrl = 192.168.0.*\r\nQuickPollMs = 0\r\n[System]\r\nDelay = 60\r\n");
    EXPECT_FALSE(fs::FileSize(settingsFile_ + L".new"));
    // One value that cannot be written and none is.
    const std::string now = IniBytes();
    EXPECT_EQ(model::SavePreferences(settingsFile_, {{L"TFA", L"Url", L"x"}, {L"TFA", L"Bad=Key", L"1"}}),
              model::SaveResult::Refused);
    EXPECT_EQ(IniBytes(), now);
    settingsFile_ = dir_ / L"missing.ini";
    EXPECT_EQ(model::SavePreferences(settingsFile_, {{L"TFA", L"Url", L"x"}}), model::SaveResult::CannotRead);
}

TEST_F(SettingsFile, EveryReaderTakesAUtf16File) {
    GraphicsFolder gfx;
    graphicsPath_ = gfx.path();
    WriteIni("\xFF\xFE" + str::ToUtf16(model::DefaultSettingsText(), false));
    EXPECT_EQ(Read(L"Viewer", L"Location"), L"AutoSearch");
    EXPECT_FALSE(LoadAll());
    EXPECT_EQ(Save(L"TFA", L"Path", L"DCIM/100EOS5D"), model::SaveResult::Saved);
    EXPECT_EQ(IniBytes().substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(Read(L"TFA", L"Path"), L"DCIM/100EOS5D");
}

TEST(SettingsLoad, QuickPollRunsAtThreeHundredMillisecondsUnlessTheFileSaysOtherwise) {
    GraphicsFolder gfx;
    EXPECT_EQ(Load(Utf8(model::DefaultSettingsText()), gfx.path()).settings.QuickPollMs, model::kQuickPollDefaultMs);
    EXPECT_EQ(Load(DefaultsWith(L"TFA", L"QuickPollMs", L"0"), gfx.path()).settings.QuickPollMs, 0);
    EXPECT_EQ(Load(DefaultsWith(L"TFA", L"QuickPollMs", L"1000"), gfx.path()).settings.QuickPollMs, 1000);
}

TEST_F(SettingsFile, StartUpProblemsNameWhatIsWrongAndWhatToDo) {
    GraphicsFolder gfx;
    graphicsPath_ = gfx.path();
    struct Case {
        const char* what;
        std::string ini;  // empty: no file
        model::SettingsProblemKind kind;
        std::wstring group, key, path;
        std::vector<std::wstring> said;  // in the message besides the file
    } cases[] = {
        {"no file", "", model::SettingsProblemKind::CannotOpen, L"", L"", settingsFile_, {L"rename the file"}},
        {"group missing", Replace(Utf8(model::DefaultSettingsText()), "[Copy]", "[Kopie]"),
         model::SettingsProblemKind::GroupMissing, L"Copy", L"", L"", {L"[Copy]", L"Add the line"}},
        {"picture missing", DefaultsWith(L"Graphics", L"Button_6", L"Gone.jpg"),
         model::SettingsProblemKind::PictureMissing, L"Graphics", L"Button_6", gfx.path() + L"Gone.jpg",
         {L"[Graphics] Button_6", gfx.path() + L"Gone.jpg", L"Put the picture there"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        (void)fs::DeleteFileAt(settingsFile_);
        if (!c.ini.empty()) WriteIni(c.ini);
        std::optional<model::SettingsProblem> p =
            model::LoadSettingsFile(settingsFile_, graphicsPath_, L"", L"", settings_);
        ASSERT_TRUE(p);
        EXPECT_EQ(p->kind, c.kind);
        EXPECT_EQ(p->group, c.group);
        EXPECT_EQ(p->key, c.key);
        EXPECT_EQ(p->path, c.path);
        std::wstring message = model::ProblemMessage(*p, settingsFile_);
        EXPECT_NE(message.find(settingsFile_), std::wstring::npos);
        for (const std::wstring& s : c.said) EXPECT_NE(message.find(s), std::wstring::npos) << Utf8(s);
    }
    // The [Viewer] group is needed before anything else is loaded.
    WriteIni(Replace(Utf8(model::DefaultSettingsText()), "[Viewer]", "[Viewers]"));
    EXPECT_EQ(model::CheckSettingsFile(settingsFile_),
              (model::SettingsProblem{model::SettingsProblemKind::GroupMissing, L"Viewer", L"", L"", L""}));
    model::SettingsProblem folder{model::SettingsProblemKind::FolderCannotBeMade, L"Copy", L"SourcePath",
                                  L"Q:\\Shoots", L"The system cannot find the path specified."};
    std::wstring message = model::ProblemMessage(folder, settingsFile_);
    for (const wchar_t* s : {L"Q:\\Shoots", L"[Copy] SourcePath", L"cannot find the path", L"leave it empty"})
        EXPECT_NE(message.find(s), std::wstring::npos) << Utf8(s);
}

TEST_F(SettingsFile, AFirstStartMakesTheFolderAndTheDefaultFileAndKeepsAnExistingOne) {
    const std::wstring folder = dir_ / L"Roaming\\Wemlox";
    const std::wstring file = folder + L"\\Wemlox.ini";
    EXPECT_FALSE(model::PrepareSettingsFile(folder, file));
    EXPECT_EQ(testutil::ReadAll(file), Utf8(model::DefaultSettingsText()));
    // A file with nothing but a byte-order mark (and blanks) is as empty.
    for (const std::string& blank : {std::string(), std::string("\xEF\xBB\xBF"), std::string("\xFF\xFE"),
                                    std::string("\xFE\xFF"), std::string("\xEF\xBB\xBF \r\n\t\r\n"),
                                    "\xFF\xFE" + str::ToUtf16(L" \r\n", false)}) {
        ASSERT_TRUE(fs::WriteFile(file, blank));
        EXPECT_FALSE(model::PrepareSettingsFile(folder, file)) << testing::PrintToString(blank);
        EXPECT_EQ(testutil::ReadAll(file), Utf8(model::DefaultSettingsText())) << testing::PrintToString(blank);
    }
    ASSERT_TRUE(fs::WriteFile(file, "[Main]\r\n"));
    EXPECT_EQ(model::PrepareSettingsFile(folder, file)->group, L"Menu");  // kept, and named
    EXPECT_EQ(testutil::ReadAll(file), "[Main]\r\n");
    const std::wstring blocked = dir_.Write(L"a-file", "x") + L"\\Wemlox";
    std::optional<model::SettingsProblem> p = model::PrepareSettingsFile(blocked, blocked + L"\\Wemlox.ini");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->kind, model::SettingsProblemKind::FolderCannotBeMade);
    EXPECT_EQ(p->path, blocked);
    EXPECT_NE(model::ProblemMessage(*p, blocked + L"\\Wemlox.ini").find(L"settings folder"), std::wstring::npos);
}

// A write-back at exit that fails is said again at the next start, once.
TEST_F(SettingsFile, AFailedWriteBackIsSaidAtTheNextStartOnce) {
    const std::wstring folder = dir_.path() + L"\\";
    EXPECT_EQ(model::TakeWriteBackNote(folder), std::nullopt);
    settingsFile_ = dir_ / L"\x0141\x00F3d\x017A.ini";  // gone meanwhile
    const model::SaveResult result = Save(L"TFA", L"Path", L"DCIM/100EOS5D");
    EXPECT_EQ(result, model::SaveResult::CannotRead);
    const std::wstring line = model::SaveProblemText(result, settingsFile_, L"");
    EXPECT_NE(line.find(settingsFile_), std::wstring::npos);
    ASSERT_TRUE(model::LeaveWriteBackNote(folder, line));
    EXPECT_EQ(model::TakeWriteBackNote(folder), L"When Wemlox last ended: " + line);
    EXPECT_EQ(model::TakeWriteBackNote(folder), std::nullopt);
}
