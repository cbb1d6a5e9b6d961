// What the bar reports to the program above it. The bar draws, lays out and
// keeps its views; every decision about what a click means is the program's.
#pragma once

#include <windows.h>

#include <string>

#include "model/bar/bar_menu.h"
#include "model/bar/thumb_layout.h"

namespace ui {

class BarEvents {
public:
    virtual ~BarEvents() = default;
    // A click on one of the eleven buttons (1..11).
    virtual void OnButton(int button) = 0;
    // A choice of the card tree's popup menu (its item id).
    virtual void OnMenu(int id) = 0;
    // A double click in the card tree.
    virtual void OnTreeDoubleClick() = 0;
    // A click on a part of a thumbnail tile.
    virtual void OnTile(const model::TileRef& tile) = 0;
    virtual void OnTimer(unsigned id) = 0;
    // The user moved the bar (not the bar itself when its panel opens): the
    // window's top-left corner on the screen.
    virtual void OnMoved(int x, int y) = 0;
    virtual void OnClose() = 0;
    // The card thread has handed over actions for the interface.
    virtual void OnCardMail() = 0;
    // The last modal loop (dialog, message box, drag, menu) has ended.
    virtual void OnModalLoopEnded() = 0;
    // The tree view opened while it holds only its root: the card is to be walked.
    virtual void OnTreeWanted() = 0;
    // The thumbnail view opened before its grid was built.
    virtual void OnGridWanted() = 0;
    // The tooltip of button 1..11: what a click does now.
    virtual std::wstring TipFor(int button) = 0;
    // A choice of the bar's own menu (a right click on the bar or a button,
    // Shift+F10 or the menu key). A program that offers none ignores it.
    virtual void OnBarMenu(model::BarMenuItem item) {}
    // Whether "Start with Windows" is on, for the menu's check mark.
    virtual bool StartsWithWindows() { return false; }
};

}  // namespace ui
