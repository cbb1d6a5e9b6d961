// The button bar: the program's one window with its eleven image buttons, the
// three info views beside them and the tree's popup menu.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "win/images.h"
#include "model/placement.h"

namespace bar {

// Builds the bar once at start-up (hidden); always returns 0.
int OpenMainWindowImpl();

HWND Window();
HWND Control(int id);            // buttons 1..11, 101, 111, 801
HMENU TreeMenu();
HTREEITEM TreeRoot();
void SetTreeRoot(HTREEITEM root);
HFONT ProgramFont();

ui::BarGeometry& Geometry();
// Image slots 1..11, 21..31, 53..56; nullptr outside them.
images::Picture* Image(int number);
images::Picture& ThumbPicture();
images::Picture& ToggleFace(int which);  // 0 NotLoadedUnchecked .. 3 LoadedChecked

// Shows image `image` on button `button` and repaints it at once.
void ShowButtonImage(int button, int image);

// Moves and sizes a control or the bar (client rectangle) to a placement.
void PlaceWindow(const ui::PlacementRecord& r, bool open);
void PlaceButton(int button, const ui::PlacementRecord& r, bool open);
// True while the program itself moves the bar (not a user drag).
bool PlacingWindow();

// A modal loop of the bar's thread runs (a dialog, a message box, a drag of
// the window): the card timer waits until it ends.
bool InModalLoop();
void EnterModalLoop();
void LeaveModalLoop();
class ModalScope {
public:
    ModalScope() { EnterModalLoop(); }
    ~ModalScope() { LeaveModalLoop(); }
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;
};

}  // namespace bar

int OpenMainWindow();
