// The button bar: the program's one window with its eleven image buttons, the
// info panel beside them (journal, card tree, thumbnail grid), the button
// lamps and the tree's popup menu. One object, reached from the window
// procedure through the window's data; it reports what the user does to its
// BarEvents and calls nothing above itself.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "model/bar/placement.h"
#include "model/common/ids.h"
#include "model/common/info_logic.h"
#include "model/settings/settings.h"
#include "ui/card_tree.h"
#include "ui/events.h"
#include "ui/thumb_grid.h"
#include "win/handle.h"
#include "win/images.h"

namespace ui {

using model::InfoView;

class Bar {
public:
    Bar(model::Settings& settings, BarEvents& events);
    Bar(const Bar&) = delete;
    Bar& operator=(const Bar&) = delete;
    ~Bar();

    // Builds the window and its controls (hidden); false when it cannot.
    bool Open();
    void Destroy();

    HWND Window() const { return window_; }
    HWND Control(int id) const;  // buttons 1..11, 101, 111, 801
    // The bar's window or one of its controls.
    bool Owns(HWND window) const;

    // Shows the bar without taking the activation, painted.
    void Show();
    // Keeps the bar above other top-most windows.
    void StayOnTop();
    // Brings the bar to the top of the Z order and paints it at once (what
    // was drawn just before it took the activation does not always reach
    // the screen otherwise).
    void BringToTop();
    void Minimise();
    void EnableButton(int button, bool enabled);
    // Timers of the bar's window (their ids are in model/ids.h).
    void StartTimer(unsigned id, unsigned ms);
    void StopTimer(unsigned id);
    // Any thread: has the interface thread take the card thread's mail.
    void PostCardMail() const;
    // The save dialog, modal for the bar: the file chosen, or nothing.
    // `filter` is a dialog filter (pairs of texts, ending in two zeros).
    std::optional<std::wstring> AskFileToSave(const std::wstring& title, const std::wstring& proposed,
                                              const wchar_t* filter);
    // A message box, modal for the bar only (the card timer waits).
    void ShowMessage(const std::wstring& title, const std::wstring& text);
    HMENU TreeMenu() const { return menu_.get(); }
    const model::BarGeometry& Geometry() const { return geometry_; }
    // Image slots 1..11, 21..31, 53..56; nullptr outside them.
    win::Picture* Image(int number);
    win::Picture& ThumbPicture() { return thumb_; }
    // The selection toggle's face at the size the bar is drawn at.
    win::Picture& ToggleFace(int which);

    // Shows image `image` on button `button` and repaints it at once.
    void ShowButtonImage(int button, int image);
    // Button n's busy face (image 20 + n) or its own face.
    void ShowBusyFace(int button, bool busy);

    // Info panel: a journal line for a non-empty text, the next view for an
    // empty one (see the journal's repeat rule and the lamp of button 6).
    void ShowInfo(const std::wstring& text);
    // Paints a lamp on a button image; false when nothing was painted (no
    // such image).
    bool SetLamp(int image, model::Lamp colour, model::LampAt at);
    // The view that is visible now (tested in the order journal, tree, grid).
    InfoView VisibleView() const;
    // The whole journal with CR LF line ends, as it is saved.
    std::wstring JournalText() const;

    // A modal loop of the bar's thread runs (a dialog, a message box, a drag
    // of the window, a menu): the card timer waits until it ends.
    bool InModalLoop() const { return modalLoops_ > 0; }
    void EnterModalLoop();
    void LeaveModalLoop();

    // Tooltips: a control of the bar or the grid that shows one (its text is
    // asked for when it shows), and one that no longer does.
    void AddTip(HWND control);
    void RemoveTip(HWND control);
    // Button 6's progress bar: the share done, or none.
    void SetProgress(std::optional<double> fraction);

    // Shows the tree's popup menu for the item under the mouse.
    void ShowTreeMenu(HWND tree);
    // The bar's own menu at a screen point; the choice goes to
    // BarEvents::OnBarMenu once the menu has closed.
    void ShowBarMenu(POINT at);
    // The About box (a message box owned by the bar).
    void ShowAbout(const std::wstring& settingsFile, const std::wstring& pictureFolder);
    // Lays the bar out again from its settings (after they changed): its
    // place, its sizes and the open panel.
    void ApplyLayout();
    // Enables and labels the menu items for the selected tree item.
    void PrepareTreeMenu();

    CardTree& Tree() { return tree_; }
    ThumbGrid& Grid() { return grid_; }
    model::Settings& Config() { return settings_; }
    // The settings with their sizes at the monitor's DPI: read only the sizes
    // (buttons, spaces, panel, thumbnails) from it; the rest is a copy.
    const model::Settings& Sizes() const { return sizes_; }
    // The DPI the bar is laid out for, and a size at 96 DPI at that DPI.
    int Dpi() const { return dpi_; }
    int Scaled(int size) const { return model::ScaleToDpi(size, dpi_); }
    // The font of the thumbnail captions at the bar's DPI.
    HFONT CaptionFont() const { return captionFont_.get(); }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
    void OnCommand(int id, int code, HWND control);
    LRESULT OnNotify(const NMHDR& hdr);
    void OnMoved();
    // WM_CONTEXTMENU: the bar's menu for the bar and its buttons.
    bool OnContextMenu(HWND from, LPARAM at);
    LRESULT OnMouseActivate(WPARAM wp, LPARAM lp);
    // Shift+F10 and the menu key on the bar or a button open the bar's menu;
    // true when the key was one of them (it goes no further).
    bool OnMenuKey(HWND from, UINT msg, WPARAM key);
    static LRESULT CALLBACK ButtonKeys(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR bar);
    // Another start asked for the bar: restored, on a monitor, in front.
    void ComeForward();
    void DrawButton(const DRAWITEMSTRUCT& di);
    RECT ClientToWindowRect(int x, int y, int w, int h) const;
    void LoadImages();
    void CreateButtons(HINSTANCE inst);
    void CreateInfoViews(HINSTANCE inst);
    void CreateTreeMenu();
    void StyleTextViews();
    void CreateTips(HINSTANCE inst);
    bool FillTip(NMTTDISPINFOW& info);
    bool PlaceTip(HWND control);
    void DrawProgress(HDC dc, const RECT& face);
    // Sizes and geometry for the DPI in dpi_ (the window's monitor).
    void Layout();
    // Fonts and the faces shown as they are, at dpi_.
    void MakeDpiResources();
    // The window moved to a monitor of another DPI (or the DPI changed).
    void ChangeDpi(int dpi);
    // Geometry, window, buttons and views anew from the settings at dpi_.
    void Relayout();

    // Info panel (info_panel.cpp).
    void PlaceWindow(const model::PlacementRecord& r, bool open);
    void PlaceButton(int button, const model::PlacementRecord& r, bool open);
    void SetOpen(bool open);
    void PlaceView(int id, const model::Rect& r);
    void SkipView(int id);
    void ShowJournalView();
    void ShowTreeView();
    void ShowThumbView();
    void CloseInfo();
    void AppendJournalLine(const std::wstring& text);

    model::Settings& settings_;
    BarEvents& events_;
    HWND window_ = nullptr;
    std::array<HWND, model::ids::kButtonCount + 1> buttons_{};
    std::array<int, model::ids::kButtonCount + 1> shownImage_{};
    HWND journal_ = nullptr, treeControl_ = nullptr, thumbArea_ = nullptr;
    HWND tips_ = nullptr;   // the tooltip control, owned by the bar window
    std::wstring tipText_;  // the text of the tip on show
    std::optional<double> progress_;
    win::Menu menu_;
    win::Font font_, captionFont_;
    win::Brush background_;
    std::array<win::Picture, model::ids::kImageSlots> images_;
    win::Picture thumb_;
    std::array<win::Picture, 4> toggles_;
    std::array<win::Picture, 4> scaledToggles_;  // empty at 96 DPI: toggles_ as they are
    int dpi_ = model::kBaseDpi;
    model::Settings sizes_;
    model::BarGeometry geometry_;
    bool placing_ = false;  // the bar moves itself (the panel opens or closes), not the user
    int modalLoops_ = 0;
    InfoView infoView_ = InfoView::Closed;
    model::JournalRepeatFilter repeat_;
    CardTree tree_;
    ThumbGrid grid_;
};

// A modal loop of the bar's thread for as long as the object lives.
class ModalScope {
public:
    explicit ModalScope(Bar& bar) : bar_(bar) { bar_.EnterModalLoop(); }
    ~ModalScope() { bar_.LeaveModalLoop(); }
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;

private:
    Bar& bar_;
};

}  // namespace ui
