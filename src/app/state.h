// The program's process-wide state in a few named structures: the settings as
// loaded from Wemlox.ini, and the values of the running session. Every
// subsystem reads these; start-up and the settings loader write them.
#pragma once

#include <cstdint>
#include <string>

// Image files named in [Graphics], as full paths (graphics folder + file name).
struct GraphicsSettings {
    std::wstring Button[12];  // Button_1 .. Button_11 (index 0 unused)
    std::wstring Busy;        // Button_21, the busy face
    std::wstring Tree[5];     // Tree_1 .. Tree_4 (index 0 unused)
    std::wstring Thumb;
    std::wstring NotLoadedUnchecked, NotLoadedChecked, LoadedUnchecked, LoadedChecked;
    int DelayChg = 0;  // ms the busy face stays after an action
};

// Every setting of Wemlox.ini after loading and normalising. Values a group
// does not set keep these start values (empty, 0, off).
struct Settings {
    // [Main]
    std::wstring Mode;  // working mode derived from [Main] Mode and the viewer
    // [Menu]
    std::wstring Position;  // "left", "right", "top", "bottom", "verticalleft", ...
    int PositionX = 0, PositionY = 0;
    bool Titled = false;
    int ButtonSize = 0, ThumbSelSize = 0, ThumbSize = 0, ThumbCols = 0;
    int ButtonSpace = 0, BorderSpace = 0, InfoSize = 0, InfoTouchSpace = 0;
    bool ShowInfoText = false, ShowInfoTree = false, ShowInfoThumbs = false, Center = false;
    // [Graphics]
    GraphicsSettings Graphics;
    // [Copy]
    std::wstring SourcePath, TargetPath, StoragePath, ThumbnailPath, TmpPath;
    // [TFA]
    bool Active = false;
    std::wstring TransferHiRes, TransferLoRes;  // with a leading "."
    // The same as written back at exit: as loaded, with the "."; taken over
    // from a file name in the card tree, as the name spells it ("JPG").
    std::wstring TransferHiResToSave, TransferLoResToSave;
    std::wstring Url, UrlLastConnect, OccurenceName;
    int PingTimeoutMs = 0;
    bool TransferOnlyAddedFiles = false;
    std::wstring DoNotLoad, Path;
    std::wstring TransferModeAuto, TransferModeMan;  // "lores", "hires", "both"
    bool ExtendedDirectory = false, UseUpdateFlag = false;
    bool FollowNewFolders = false;  // move on to the camera's next folder
    int CheckNewFilesSec = 0;
    // [System]
    int Delay = 0;
    bool SaveChangesOnExit = false, HideTaskBar = false;
};

// Values the running session owns (set by start-up, read everywhere).
struct RunState {
    std::wstring SettingsFolder;  // appdata folder + "\Wemlox\"
    std::wstring SettingsFile;    // SettingsFolder + "Wemlox.ini"
    std::wstring GraphicsPath;    // always ends in "\"
    std::wstring ViewerPath;      // empty when no viewer was found
    std::wstring FoundViewerId;   // id of the auto-search hit, else empty
    bool TfaActive = false;
    int32_t QuitRequested = 0;
    uint16_t ClickModifiers = 0;  // MK_* flags of the last left press in the bar
    int32_t CurrentThumb = 0, PreviousThumb = 0;
    // The card's own state (update flag, candidates, connection) belongs to
    // the card thread: see CardSession.
};

extern Settings g_settings;
extern RunState g_run;

constexpr const wchar_t* kProgramName = L"Wemlox";
constexpr const wchar_t* kProgramLongName = L"Wemlox Glimmerdeck";
constexpr const wchar_t* kProgramVersion = L"2017.11.14.4268";
