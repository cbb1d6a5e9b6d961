// Every control, image, menu, timer and private message number of the
// program, in one place. The event loop dispatches on these.
#pragma once

namespace model::ids {

constexpr int kButtonCount = 11;
constexpr int kFirstButton = 1;            // buttons 1..11 have control ids 1..11
constexpr int kBusyImageOffset = 20;       // button n shows image 20 + n while busy
// The buttons the program names by what they do (the others drive the viewer).
constexpr int kCopyButton = 1;      // copy to the selection; its lamps follow the downloads
constexpr int kCardButton = 6;      // the FlashAir button: transfers, and carries the card's lamps
constexpr int kLogButton = 7;
constexpr int kInfoButton = 8;
constexpr int kEndButton = 9;
constexpr int kKeyboardButton = 10;
constexpr int kMinimiseButton = 11;
constexpr int kLastViewerButton = 5;  // buttons 1..5 act on the viewer
constexpr int kJournal = 101;              // rich-edit journal text
constexpr int kTree = 111;                 // card tree
constexpr int kThumbArea = 801;            // scrolling thumbnail container
// Thumbnail tiles: picture 1000, toggle 2000, caption 3000 + record index;
// see model::TileIdsFor.

constexpr int kTreeMenu = 160;
constexpr int kMenuTransfer = 161;
constexpr int kMenuFileInfo = 162;
constexpr int kMenuSourcePath = 165;
constexpr int kMenuNeverLoad = 166;
constexpr int kMenuOccurenceName = 167;
constexpr int kMenuRefresh = 168;
constexpr int kMenuClose = 169;
constexpr int kMenuLoRes = 170;
constexpr int kMenuHiRes = 171;

// The bar's own popup menu (model/bar_menu.h).
constexpr int kBarMenuSettings = 181;
constexpr int kBarMenuPictureFolder = 182;
constexpr int kBarMenuStartWithWindows = 183;
constexpr int kBarMenuAbout = 184;
constexpr int kBarMenuEnd = 185;

// The settings window: the tab control, the message on the changes that
// wait for the next start, and per field eight controls from kSettingsFirstField
// on (label, field, Browse button, message; for a list of folders also the
// folder to add, its label, Add and Remove). OK and Cancel are IDOK and IDCANCEL.
constexpr int kSettingsTabControl = 4001;
constexpr int kSettingsNote = 4002;
constexpr int kSettingsFirstField = 4100;
constexpr int kSettingsControlsPerField = 8;

// Image numbers: 1..11 faces, 21..31 busy faces, 53..56 tree icons.
constexpr int kFirstTreeImage = 53;
constexpr int kImageSlots = 57;

constexpr unsigned kCardTimer = 2805;
constexpr unsigned kHousekeepingTimer = 2906;
constexpr unsigned kBusyFaceTimer = 2907;  // ends button 6's busy face after card work
constexpr unsigned kCardMailTimer = 2908;  // goes on with the card thread's actions after input
constexpr unsigned kQuickPollTimer = 2909;  // [TFA] QuickPollMs: op=102 between card ticks

// Private window messages of the bar (WM_APP and up).
constexpr unsigned kCardMail = 0x8000 + 1;  // the card thread has actions for the interface
constexpr unsigned kComeForward = 0x8000 + 2;  // another start of the program: show the bar, on a screen

}  // namespace model::ids
