// The table of every settings key and the built-in default settings text:
// the one place that spells a key's name.
#include "model/settings/setting_keys.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "base/str.h"
#include "model/settings/catalogue.h"
#include "model/settings/folders.h"
#include "model/settings/settings.h"

namespace model {

// ---------------------------------------------------------------------------
// Built-in text blocks

namespace {

constexpr const wchar_t* kBlockEnd = L">###<";

// The default Wemlox.ini, one entry per line. Several values differ from
// the fallbacks of the table below (what a missing key reads as); both are
// meant: the file is a first start's choice, a fallback what a file without
// the key has always meant.
constexpr const wchar_t* kBuiltInData[] = {
    L"[Main]",
    L"Mode = ViewerDefined",
    L"; Mode = TransferOnly",
    L"; Mode = SystemOnly",
    L"[Menu]",
    L"Position = Right",
    L"; Position = Left",
    L"; Position = Top",
    L"; Position = Bottom",
    L"; Position = UserVerticalRight",
    L"; Position = UserVerticalLeft",
    L"; Position = UserHorizontalTop",
    L"; Position = UserHorizontalBottom",
    L"PositionX = 112",
    L"PositionY = 112",
    L"ButtonSize = 48",
    L"ThumbSelSize = 36",
    L"ThumbSize = 160",
    L"ThumbCols = 3",
    L"ButtonSpace = 2",
    L"BorderSpace = 2",
    L"Titled = No",
    L"Center = Yes",
    L"InfoSize = -1",
    L"InfoTouchSpace = 0",
    L"; InfoSize = 340",
    L"ShowInfoText = Yes",
    L"ShowInfoTree = Yes",
    L"ShowInfoThumbs = Yes",
    L"[Viewer]",
    L"Location = AutoSearch",
    L"[Graphics]",
    L"Location = ",
    L"Button_1 = Copy.jpg",
    L"Button_2 = 1to1.jpg",
    L"Button_3 = Fit.jpg",
    L"Button_4 = Left.jpg",
    L"Button_5 = Right.jpg",
    L"Button_6 = TFA.jpg",
    L"Button_7 = Misc.jpg",
    L"Button_8 = Info.jpg",
    L"Button_9 = End.jpg",
    L"Button_10 = Keyb.jpg",
    L"Button_11 = WLX.jpg",
    L"Button_21 = Progress.jpg",
    L"Tree_3 = Red-16px.jpg",
    L"Tree_1 = Yellow-16px.jpg",
    L"Tree_2 = Green-16px.jpg",
    L"Tree_4 = Blue-16px.jpg",
    L"Thumb = Thumb.jpg",
    L"NotLoadedUnchecked = NotLoadedUnchecked.jpg",
    L"NotLoadedChecked = NotLoadedChecked.jpg",
    L"LoadedUnchecked = LoadedUnchecked.jpg",
    L"LoadedChecked = LoadedChecked.jpg",
    L"DelayChg = 240",
    L"[Copy]",
    L"; SourcePath = C:\\Aufnahmen",
    L"; TargetPath = C:\\Aufnahmen\\Selected",
    L"; StoragePath = C:\\Aufnahmen\\Storage",
    L"; ThumbnailPath = C:\\Aufnahmen\\Storage\\Thumbnails",
    L"; TmpPath = C:\\Aufnahmen\\Storage\\tmp",
    L"SourcePath = ",
    L"TargetPath = ",
    L"StoragePath = ",
    L"ThumbnailPath = ",
    L"TmpPath = ",
    L"[TFA]",
    L"Active = Yes",
    L"OccurenceName = TFA",
    L"CheckNewFilesSec = 2",
    L"TransferHiRes = cr2",
    L"; TransferHiRes = rw2",
    L"; TransferHiRes = crw",
    L"; TransferHiRes = arw",
    L"; TransferHiRes = orf",
    L"TransferLoRes = jpg",
    L"TransferModeAuto = LoRes",
    L"; TransferModeAuto = HiRes",
    L"; TransferModeAuto = Both",
    L"TransferModeMan = HiRes",
    L"; TransferModeMan = LoRes",
    L"; TransferModeMan = Both",
    L"Url = 192.168.0.1",
    L"; Url = 192.168.0.201-209",
    L"; Url=192.168.0.21-29",
    L"; Url=192.168.0.*",
    L"UrlLastConnect = 192.168.0.1",
    L"Path = DCIM/101_PANA",
    L"; Path = DCIM/102_PANA",
    L"; Path = DCIM/100EOS5D",
    L"; Path = DCIM/999OLYMP",
    L"; Path = DCIM/102OLYMP",
    L"; Path = DCIM/101_PANA",
    L"; Path = DCIM/100MSDCF",
    L"DoNotLoad = FA000001.JPG",
    L"PingTimeoutMs = 100",
    L"TransferOnlyAddedFiles = Yes",
    L"UseUpdateFlag = No",
    L"[System]",
    L"HideTaskBar = No",
    L"Delay = 100",
    L"SaveChangesOnExit = Yes",
    kBlockEnd,
};
constexpr size_t kBuiltInCount = std::size(kBuiltInData);

// Lines from `pos` up to the block marker, each followed by CR LF; `pos` ends
// behind the marker. Past the last block nothing is read.
std::wstring ReadBlock(size_t& pos) {
    std::wstring text;
    while (pos < kBuiltInCount) {
        std::wstring_view line = kBuiltInData[pos++];
        if (line == kBlockEnd) break;
        text.append(line);
        text += L"\r\n";
    }
    return text;
}

}  // namespace

std::wstring BuiltInBlock(size_t& position) { return ReadBlock(position); }

std::wstring DefaultSettingsText() {
    size_t pos = 0;
    return ReadBlock(pos);
}

// ---------------------------------------------------------------------------
// Keys read otherwise than by their kind

namespace {

int Limit(int v, int lo, int hi) { return std::clamp(v, lo, hi); }

// A number taken as the file has it; limits apply later, if at all.
std::optional<SettingsProblem> AsWritten(const SettingKey& row, const std::wstring& text, const LoadFacts&,
                                         Settings& s) {
    row.slot.number(s) = str::LeadingInt32(text);
    return std::nullopt;
}

// Above the limit means the widest grid, not the limit.
std::optional<SettingsProblem> ThumbColumns(const SettingKey& row, const std::wstring& text, const LoadFacts&,
                                            Settings& s) {
    const int v = str::LeadingInt32(text);
    row.slot.number(s) = v < row.min ? row.min : (v > row.max ? *row.alsoAllowed : v);
    return std::nullopt;
}

// Off (the one value outside the limits), or at least the shortest interval.
std::optional<SettingsProblem> QuickPoll(const SettingKey& row, const std::wstring& text, const LoadFacts&,
                                         Settings& s) {
    const int v = Limit(str::LeadingInt32(text), *row.alsoAllowed, row.max);
    row.slot.number(s) = v > *row.alsoAllowed ? std::max(v, row.min) : *row.alsoAllowed;
    return std::nullopt;
}

// Held in a signed byte: only the low 8 bits count, then the limits apply.
std::optional<SettingsProblem> LowByte(const SettingKey& row, const std::wstring& text, const LoadFacts&,
                                       Settings& s) {
    auto v = static_cast<int8_t>(static_cast<uint8_t>(static_cast<uint64_t>(str::LeadingInt(text)) & 0xFF));
    row.slot.number(s) = Limit(v, row.min, row.max);
    return std::nullopt;
}

std::optional<SettingsProblem> Lowered(const SettingKey& row, const std::wstring& text, const LoadFacts&,
                                       Settings& s) {
    row.slot.text(s) = str::ToLower(text);
    return std::nullopt;
}

std::optional<SettingsProblem> WorkingMode(const SettingKey& row, const std::wstring& text, const LoadFacts& facts,
                                           Settings& s) {
    row.slot.text(s) = DeriveMode(text, true, facts.foundViewerId, facts.viewerPath);
    return std::nullopt;
}

// A picture of the bar must be a non-empty file in the graphics folder.
std::optional<SettingsProblem> BarPicture(const SettingKey& row, const std::wstring& text, const LoadFacts& facts,
                                          Settings& s) {
    const std::wstring path = facts.graphicsPath + text;
    std::wstring found = own_CheckPathFile(path, true, PathPart::PathFile);
    if (found.empty())
        return SettingsProblem{SettingsProblemKind::PictureMissing, row.group, row.key, str::Trim(path), {}};
    row.slot.text(s) = std::move(found);
    return std::nullopt;
}

// The user-placed forms count only with a usable stored place.
void BarPosition(const SettingKey&, Settings& s) { s.Position = DeriveBarPosition(s.Position, s.PositionX, s.PositionY); }

// The one value outside the limits asks for the size that fits the thumbnails.
void InfoSize(const SettingKey& row, Settings& s) {
    if (s.InfoSize == *row.alsoAllowed) s.InfoSize = ComputedInfoSize(s);
    s.InfoSize = Limit(s.InfoSize, row.min, row.max);
}

template <std::wstring Settings::*member>
constexpr SettingSlot TextSlot() {
    return {.text = [](Settings& s) -> std::wstring& { return s.*member; }};
}
template <int Settings::*member>
constexpr SettingSlot NumberSlot() {
    return {.number = [](Settings& s) -> int& { return s.*member; }};
}
template <bool Settings::*member>
constexpr SettingSlot FlagSlot() {
    return {.flag = [](Settings& s) -> bool& { return s.*member; }};
}
template <int n>
std::wstring& ButtonFace(Settings& s) { return s.Graphics.Button[n]; }
template <int n>
std::wstring& TreeIcon(Settings& s) { return s.Graphics.Tree[n]; }

SettingKey Picture(const wchar_t* key, std::wstring& (*at)(Settings&)) {
    return {.group = L"Graphics", .key = key, .slot = {.text = at}, .load = BarPicture, .picture = true};
}

using K = FieldKind;
using T = SettingsTab;
using S = Settings;
constexpr Takes kAtOnce = Takes::AtOnce, kNextStart = Takes::NextStart;
constexpr Effect kLayout = Effect::Layout;

// In the window's order. When a change takes effect:
//   at once     the bar's place and sizes, what the info panel shows, the
//               busy face's time, the viewer and the working mode, the card's
//               address and camera folder, the transfer choices, writing back
//               at exit;
//   next start  what is set up once at start-up: the caption, the taskbar,
//               whether the card is used and how often it is asked, which
//               pictures count as taken before the start, and the folders
//               (they are created at start-up, and the card's work uses them).
// Fallbacks are what a file without the key has always meant; the loader
// and the window both use them.
const std::vector<SettingKey>& Table() {
    static const std::vector<SettingKey> rows = {
        // The bar
        {.group = L"Menu", .key = L"Position", .kind = K::Choice, .fallback = L"Right",
         .slot = TextSlot<&S::Position>(), .settle = BarPosition, .takes = kAtOnce, .effect = kLayout,
         .tab = T::Bar, .label = L"&Position",
         .known = {L"Right", L"Left", L"Top", L"Bottom", L"UserVerticalRight", L"UserVerticalLeft",
                   L"UserHorizontalTop", L"UserHorizontalBottom"}},
        {.group = L"Menu", .key = L"PositionX", .kind = K::Number, .fallback = L"-1",
         .slot = NumberSlot<&S::PositionX>(), .load = AsWritten, .min = -1, .max = 30000, .takes = kAtOnce,
         .effect = kLayout, .writtenBack = 7, .tab = T::Bar, .label = L"User position &X"},
        {.group = L"Menu", .key = L"PositionY", .kind = K::Number, .fallback = L"-1",
         .slot = NumberSlot<&S::PositionY>(), .load = AsWritten, .min = -1, .max = 30000, .takes = kAtOnce,
         .effect = kLayout, .writtenBack = 8, .tab = T::Bar, .label = L"User position &Y"},
        {.group = L"Menu", .key = L"ButtonSize", .kind = K::Number, .fallback = L"80",
         .slot = NumberSlot<&S::ButtonSize>(), .min = 24, .max = 80, .takes = kAtOnce, .effect = kLayout,
         .tab = T::Bar, .label = L"Button si&ze"},
        {.group = L"Menu", .key = L"ButtonSpace", .kind = K::Number, .fallback = L"2",
         .slot = NumberSlot<&S::ButtonSpace>(), .min = 0, .max = 20, .takes = kAtOnce, .effect = kLayout,
         .tab = T::Bar, .label = L"Space between &buttons"},
        {.group = L"Menu", .key = L"BorderSpace", .kind = K::Number, .fallback = L"10",
         .slot = NumberSlot<&S::BorderSpace>(), .min = 0, .max = 200, .takes = kAtOnce, .effect = kLayout,
         .tab = T::Bar, .label = L"Space to the scr&een edge"},
        {.group = L"Menu", .key = L"InfoSize", .kind = K::Number, .fallback = L"280",
         .slot = NumberSlot<&S::InfoSize>(), .load = AsWritten, .settle = InfoSize, .min = 60, .max = 2400,
         .alsoAllowed = -1, .takes = kAtOnce, .effect = kLayout, .tab = T::Bar,
         .label = L"&Info panel (-1: to fit)"},
        {.group = L"Menu", .key = L"InfoTouchSpace", .kind = K::Number, .fallback = L"0",
         .slot = NumberSlot<&S::InfoTouchSpace>(), .min = 0, .max = 200, .takes = kAtOnce, .effect = kLayout,
         .tab = T::Bar, .label = L"Extra &touch space"},
        {.group = L"Menu", .key = L"ThumbCols", .kind = K::Number, .fallback = L"12",
         .slot = NumberSlot<&S::ThumbCols>(), .load = ThumbColumns, .min = 1, .max = 8, .alsoAllowed = 12,
         .takes = kAtOnce, .effect = kLayout, .tab = T::Bar, .label = L"Thumbnail c&olumns"},
        {.group = L"Menu", .key = L"ThumbSelSize", .kind = K::Number, .fallback = L"36",
         .slot = NumberSlot<&S::ThumbSelSize>(), .min = 36, .max = 36},
        {.group = L"Menu", .key = L"ThumbSize", .kind = K::Number, .fallback = L"160",
         .slot = NumberSlot<&S::ThumbSize>(), .min = 160, .max = 160},
        {.group = L"Graphics", .key = L"DelayChg", .kind = K::Number, .fallback = L"300",
         .slot = {.number = [](S& s) -> int& { return s.Graphics.DelayChg; }}, .min = 10, .max = 1000,
         .takes = kAtOnce, .tab = T::Bar, .label = L"Busy face after a &click (ms)"},
        {.group = L"Menu", .key = L"Center", .kind = K::YesNo, .fallback = L"Yes", .slot = FlagSlot<&S::Center>(),
         .takes = kAtOnce, .effect = kLayout, .tab = T::Bar, .label = L"Centre alon&g the edge"},
        {.group = L"Menu", .key = L"ShowInfoText", .kind = K::YesNo, .fallback = L"Yes",
         .slot = FlagSlot<&S::ShowInfoText>(), .takes = kAtOnce, .tab = T::Bar, .label = L"Show the &journal"},
        {.group = L"Menu", .key = L"ShowInfoTree", .kind = K::YesNo, .fallback = L"Yes",
         .slot = FlagSlot<&S::ShowInfoTree>(), .takes = kAtOnce, .tab = T::Bar, .label = L"Show the card t&ree"},
        {.group = L"Menu", .key = L"ShowInfoThumbs", .kind = K::YesNo, .fallback = L"Yes",
         .slot = FlagSlot<&S::ShowInfoThumbs>(), .takes = kAtOnce, .tab = T::Bar,
         .label = L"Show the thumb&nails"},
        {.group = L"Menu", .key = L"Titled", .kind = K::YesNo, .fallback = L"No", .slot = FlagSlot<&S::Titled>(),
         .takes = kNextStart, .tab = T::Bar, .label = L"Title b&ar"},
        {.group = L"System", .key = L"HideTaskBar", .kind = K::YesNo, .fallback = L"No",
         .slot = FlagSlot<&S::HideTaskBar>(), .takes = kNextStart, .tab = T::Bar,
         .label = L"&Hide the Windows taskbar"},
        {.group = L"System", .key = L"SaveChangesOnExit", .kind = K::YesNo, .fallback = L"Yes",
         .slot = FlagSlot<&S::SaveChangesOnExit>(), .takes = kAtOnce, .tab = T::Bar,
         .label = L"Re&member the place at exit"},
        // The viewer
        {.group = L"Main", .key = L"Mode", .kind = K::Choice, .fallback = L"SystemOnly",
         .slot = TextSlot<&S::Mode>(), .load = WorkingMode, .takes = kAtOnce, .effect = Effect::Viewer,
         .id = KeyId::Mode, .tab = T::Viewer, .label = L"Working &mode",
         .known = {L"ViewerDefined", L"TransferOnly", L"SystemOnly"}},
        {.group = L"Viewer", .key = L"Location", .kind = K::Program, .takes = kAtOnce, .effect = Effect::Viewer,
         .id = KeyId::ViewerLocation, .tab = T::Viewer, .label = L"&Viewer program", .known = {L"AutoSearch"}},
        {.group = L"System", .key = L"Delay", .kind = K::Number, .fallback = L"50", .slot = NumberSlot<&S::Delay>(),
         .min = 8, .max = 8000, .takes = kAtOnce, .tab = T::Viewer, .label = L"&Wait for the viewer (ms)"},
        // The card
        // The cards' entries are listed with the other sources.
        {.group = L"TFA", .key = L"Url", .kind = K::CardList, .slot = TextSlot<&S::Url>(), .takes = kAtOnce,
         .withCard = true, .id = KeyId::CardUrl, .tab = T::Sources, .label = L"Card addre&sses"},
        // One per entry of Url; saved with it when the window changes the entries.
        {.group = L"TFA", .key = L"UrlLastConnect", .slot = TextSlot<&S::UrlLastConnect>(), .takes = kAtOnce,
         .withCard = true, .writtenBack = 1, .id = KeyId::CardLastConnects},
        {.group = L"TFA", .key = L"Path", .slot = TextSlot<&S::Path>(), .takes = kAtOnce, .withCard = true,
         .writtenBack = 3, .tab = T::Card, .label = L"&Camera folder"},
        {.group = L"TFA", .key = L"OccurenceName", .fallback = L"FlashAir", .slot = TextSlot<&S::OccurenceName>(),
         .takes = kAtOnce, .withCard = true, .writtenBack = 4, .tab = T::Card, .label = L"Card &name"},
        {.group = L"TFA", .key = L"DoNotLoad", .slot = TextSlot<&S::DoNotLoad>(), .takes = kAtOnce,
         .withCard = true, .writtenBack = 2, .tab = T::Card, .label = L"Ne&ver load"},
        {.group = L"TFA", .key = L"TransferModeAuto", .kind = K::Choice, .fallback = L"LoRes",
         .slot = TextSlot<&S::TransferModeAuto>(), .load = Lowered, .takes = kAtOnce, .withCard = true,
         .tab = T::Card, .label = L"Au&tomatic transfer", .known = {L"LoRes", L"HiRes", L"Both"}},
        {.group = L"TFA", .key = L"TransferModeMan", .kind = K::Choice, .fallback = L"HiRes",
         .slot = TextSlot<&S::TransferModeMan>(), .load = Lowered, .takes = kAtOnce, .withCard = true,
         .tab = T::Card, .label = L"Card &button transfer", .known = {L"LoRes", L"HiRes", L"Both"}},
        {.group = L"TFA", .key = L"TransferLoRes", .kind = K::Extension, .fallback = L"jpg",
         .slot = TextSlot<&S::TransferLoRes>(), .savedAs = TextSlot<&S::TransferLoResToSave>(), .takes = kAtOnce,
         .withCard = true, .writtenBack = 6, .id = KeyId::LoResExtension, .tab = T::Card,
         .label = L"&LoRes extension", .known = {L"jpg"}},
        {.group = L"TFA", .key = L"TransferHiRes", .kind = K::Extension, .fallback = L"cr2",
         .slot = TextSlot<&S::TransferHiRes>(), .savedAs = TextSlot<&S::TransferHiResToSave>(), .takes = kAtOnce,
         .withCard = true, .writtenBack = 5, .id = KeyId::HiResExtension, .tab = T::Card,
         .label = L"&HiRes extension", .known = {L"cr2", L"cr3", L"nef", L"arw", L"orf", L"rw2", L"raf", L"dng"}},
        {.group = L"TFA", .key = L"PingTimeoutMs", .kind = K::Number, .fallback = L"100",
         .slot = NumberSlot<&S::PingTimeoutMs>(), .min = 10, .max = 1000, .takes = kAtOnce, .withCard = true,
         .tab = T::Card, .label = L"&Ping wait (ms)"},
        {.group = L"TFA", .key = L"CheckNewFilesSec", .kind = K::Number, .fallback = L"4",
         .slot = NumberSlot<&S::CheckNewFilesSec>(), .load = LowByte, .min = 1, .max = 60, .takes = kNextStart,
         .withCard = true, .tab = T::Card, .label = L"Check &every (s)"},
        {.group = L"TFA", .key = L"QuickPollMs", .kind = K::Number, .fallback = L"300",
         .slot = NumberSlot<&S::QuickPollMs>(), .load = QuickPoll, .min = kQuickPollMinMs, .max = 60000,
         .alsoAllowed = 0, .takes = kNextStart, .withCard = true, .tab = T::Card,
         .label = L"&Quick check (ms, 0: off)"},
        {.group = L"TFA", .key = L"Active", .kind = K::YesNo, .fallback = L"No", .slot = FlagSlot<&S::Active>(),
         .takes = kNextStart, .id = KeyId::CardActive, .tab = T::Card, .label = L"&Use the FlashAir card"},
        {.group = L"TFA", .key = L"TransferOnlyAddedFiles", .kind = K::YesNo, .fallback = L"Yes",
         .slot = FlagSlot<&S::TransferOnlyAddedFiles>(), .takes = kNextStart, .withCard = true, .tab = T::Card,
         .label = L"&Only pictures taken after the start"},
        {.group = L"TFA", .key = L"UseUpdateFlag", .kind = K::YesNo, .fallback = L"No",
         .slot = FlagSlot<&S::UseUpdateFlag>(), .takes = kAtOnce, .withCard = true, .tab = T::Card,
         .label = L"List when the card &reports a change"},
        // A file without it (older than the key) follows the camera too: its
        // next folder is where its pictures go.
        {.group = L"TFA", .key = L"FollowNewFolders", .kind = K::YesNo, .fallback = L"Yes",
         .slot = FlagSlot<&S::FollowNewFolders>(), .takes = kAtOnce, .withCard = true, .tab = T::Card,
         .label = L"&Follow the camera's new folders"},
        {.group = L"TFA", .key = L"LoResFirst", .kind = K::YesNo, .fallback = L"No",
         .slot = FlagSlot<&S::LoResFirst>(), .takes = kAtOnce, .withCard = true, .tab = T::Card,
         .label = L"&JPEGs before raw files"},
        {.group = L"TFA", .key = L"ExtendedDirectory", .kind = K::YesNo, .fallback = L"No",
         .slot = FlagSlot<&S::ExtendedDirectory>(), .withCard = true},
        // Folders whose new pictures are taken like a card's; read at the start.
        {.group = L"Inbox", .key = L"Folders", .kind = K::InboxList, .slot = TextSlot<&S::InboxFolders>(),
         .takes = kNextStart, .id = KeyId::InboxFolders, .tab = T::Sources, .label = L"&Inbox folders"},
        // The folders
        {.group = L"Copy", .key = L"SourcePath", .kind = K::Folder, .slot = TextSlot<&S::SourcePath>(),
         .takes = kNextStart, .id = KeyId::PictureFolder, .tab = T::Folders, .label = L"&Pictures (HiRes, LoRes)",
         .belowProfile = L"\\Wemlox"},
        {.group = L"Copy", .key = L"TargetPath", .kind = K::Folder, .slot = TextSlot<&S::TargetPath>(),
         .takes = kNextStart, .tab = T::Folders, .label = L"&Target of the card tree", .remoteAllowed = true,
         .belowProfile = L"\\Wemlox\\Selected"},
        {.group = L"Copy", .key = L"StoragePath", .kind = K::Folder, .slot = TextSlot<&S::StoragePath>(),
         .takes = kNextStart, .tab = T::Folders, .label = L"&Storage", .remoteAllowed = true,
         .belowProfile = L"\\Wemlox\\Storage"},
        {.group = L"Copy", .key = L"ThumbnailPath", .kind = K::Folder, .slot = TextSlot<&S::ThumbnailPath>(),
         .takes = kNextStart, .tab = T::Folders, .label = L"T&humbnails", .remoteAllowed = true,
         .belowProfile = L"\\Wemlox\\Storage\\Thumbnails"},
        {.group = L"Copy", .key = L"TmpPath", .kind = K::Folder, .slot = TextSlot<&S::TmpPath>(),
         .takes = kNextStart, .tab = T::Folders, .label = L"Temporary &downloads",
         .belowProfile = L"\\Wemlox\\Storage\\tmp"},
        {.group = L"Copy", .key = L"BackupPath", .kind = K::Folder, .slot = TextSlot<&S::BackupPath>(),
         .takes = kNextStart, .id = KeyId::BackupFolder, .tab = T::Folders, .label = L"Bac&kup (another drive)"},
        // The bar's pictures, in the order they are checked, then their folder.
        Picture(L"Button_1", ButtonFace<1>), Picture(L"Button_2", ButtonFace<2>),
        Picture(L"Button_3", ButtonFace<3>), Picture(L"Button_4", ButtonFace<4>),
        Picture(L"Button_5", ButtonFace<5>), Picture(L"Button_6", ButtonFace<6>),
        Picture(L"Button_7", ButtonFace<7>), Picture(L"Button_8", ButtonFace<8>),
        Picture(L"Button_9", ButtonFace<9>), Picture(L"Button_10", ButtonFace<10>),
        Picture(L"Button_11", ButtonFace<11>),
        Picture(L"Button_21", [](S& s) -> std::wstring& { return s.Graphics.Busy; }),
        Picture(L"Tree_1", TreeIcon<1>), Picture(L"Tree_2", TreeIcon<2>),
        Picture(L"Tree_3", TreeIcon<3>), Picture(L"Tree_4", TreeIcon<4>),
        Picture(L"Thumb", [](S& s) -> std::wstring& { return s.Graphics.Thumb; }),
        Picture(L"NotLoadedUnchecked", [](S& s) -> std::wstring& { return s.Graphics.NotLoadedUnchecked; }),
        Picture(L"NotLoadedChecked", [](S& s) -> std::wstring& { return s.Graphics.NotLoadedChecked; }),
        Picture(L"LoadedUnchecked", [](S& s) -> std::wstring& { return s.Graphics.LoadedUnchecked; }),
        Picture(L"LoadedChecked", [](S& s) -> std::wstring& { return s.Graphics.LoadedChecked; }),
        {.group = L"Graphics", .key = L"Location", .kind = K::Folder, .takes = kNextStart,
         .id = KeyId::GraphicsLocation, .tab = T::Folders, .label = L"&Button pictures"},
    };
    return rows;
}

}  // namespace

const std::vector<SettingKey>& SettingKeys() { return Table(); }

bool SettingKey::Is(std::wstring_view g, std::wstring_view k) const {
    return str::EqualsI(group, g) && str::EqualsI(key, k);
}

const SettingKey* FindSettingKey(std::wstring_view group, std::wstring_view key) {
    for (const SettingKey& row : Table())
        if (row.Is(group, key)) return &row;
    return nullptr;
}

const SettingKey& SettingKeyOf(KeyId id) {
    const std::vector<SettingKey>& rows = Table();
    return *std::find_if(rows.begin(), rows.end(), [id](const SettingKey& row) { return row.id == id; });
}

// The accessors only point into the settings: reading through them changes nothing.
std::wstring SettingText(const SettingKey& row, const Settings& s) {
    Settings& at = const_cast<Settings&>(s);
    const SettingSlot& slot = row.savedAs.Empty() ? row.slot : row.savedAs;
    if (slot.text) return slot.text(at);
    if (slot.number) return str::FromInt(slot.number(at));
    if (slot.flag) return slot.flag(at) ? L"Yes" : L"No";
    return L"";
}

void CopySetting(const SettingKey& row, const Settings& from, Settings& to) {
    Settings& source = const_cast<Settings&>(from);
    for (const SettingSlot* slot : {&row.slot, &row.savedAs}) {
        if (slot->text) slot->text(to) = slot->text(source);
        if (slot->number) slot->number(to) = slot->number(source);
        if (slot->flag) slot->flag(to) = slot->flag(source);
    }
}

}  // namespace model
