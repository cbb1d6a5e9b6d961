// The settings window: a standard window with five tabs (Bar, Viewer, Card,
// Sources, Folders) built from the model's settings form. It checks each value as it
// is typed and shows why one cannot work beside it, says which changes wait
// for the next start, and reports OK with the changes to its events; it
// writes nothing itself. Modeless: the program's loop hands it its messages
// (PreTranslate) for the keyboard.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/settings/settings_form.h"
#include "win/handle.h"

namespace ui {

class SettingsEvents {
public:
    virtual ~SettingsEvents() = default;
    // OK with the changes, every one of them checked (never empty). Nothing:
    // they were saved, and the window closes; a text: why they were not,
    // shown in the window, which stays open.
    virtual std::optional<std::wstring> OnSettingsOk(const std::vector<model::SettingChange>& changes) = 0;
    // A picker (Browse) opens or closes: a modal loop of the program's thread.
    virtual void OnModalLoop(bool entered) {}
};

class SettingsWindow {
public:
    explicit SettingsWindow(SettingsEvents& events) : events_(events) {}
    ~SettingsWindow() { Close(); }
    SettingsWindow(const SettingsWindow&) = delete;
    SettingsWindow& operator=(const SettingsWindow&) = delete;

    // Opens the window with these fields, laid out for `dpi` (the bar's),
    // in the middle of the owner's monitor. Already open: brought to the
    // front as it is. False when it cannot be made.
    bool Open(HWND owner, std::vector<model::FormField> form, int dpi);
    // Closes it without saving (Cancel).
    void Close();
    bool IsOpen() const { return window_ != nullptr; }
    HWND Window() const { return window_; }

    // For the program's message loop, before TranslateMessage: the keyboard
    // of the window (Tab, access keys, Enter, Esc, Ctrl+Tab between the tabs).
    // True when the message was the window's and has been handled.
    bool PreTranslate(MSG& msg);

    // What is on show, for tests and screenshots.
    void ShowTab(model::SettingsTab tab);
    model::SettingsTab Tab() const { return tab_; }
    HWND FieldControl(std::wstring_view group, std::wstring_view key) const;
    HWND MessageControl(std::wstring_view group, std::wstring_view key) const;
    // A list's entry to add (a folder, a card's address), and its Add and Remove buttons.
    HWND EntryControl(std::wstring_view group, std::wstring_view key) const;
    HWND AddButton(std::wstring_view group, std::wstring_view key) const;
    HWND RemoveButton(std::wstring_view group, std::wstring_view key) const;
    HWND Note() const { return note_; }
    int Dpi() const { return dpi_; }

private:
    struct Row {
        model::FormField field;
        HWND label = nullptr, control = nullptr, browse = nullptr, message = nullptr;
        // A list (folders, card addresses): the control is the list; the entry to add is typed here.
        HWND entryLabel = nullptr, entry = nullptr, add = nullptr, remove = nullptr, about = nullptr;
    };

    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK PageProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
    void OnCommand(int id, int code, HWND control);
    void CreateControls();
    // Gives every control the window's font (repainted when `redraw`).
    void ApplyFont(bool redraw);
    void CreateRow(size_t i, HWND page);
    void CreateListRow(size_t i, HWND page);
    void Layout();
    int S(int size) const;
    const Row* RowOf(std::wstring_view group, std::wstring_view key) const;
    // One control of the key's row (nullptr when the key has no row).
    HWND PartOf(std::wstring_view group, std::wstring_view key, HWND Row::*part) const;
    std::wstring ValueOf(const Row& row, bool fromSelection = false) const;
    // Checks the row's value if it changed; true when it can work.
    bool CheckRow(Row& row, bool fromSelection = false);
    void UpdateNote(const std::wstring& failure = {});
    void Browse(Row& row);
    // A list: the entry typed or chosen, checked; Add and Remove.
    model::InboxNeighbours Neighbours() const;
    bool CheckEntry(Row& row);
    void AddEntry(Row& row);
    void RemoveEntry(Row& row);
    std::vector<std::wstring> ListedEntries(const Row& row) const;
    void OnOk();
    void OnDestroyed();

    SettingsEvents& events_;
    HWND window_ = nullptr, tabs_ = nullptr, note_ = nullptr, ok_ = nullptr, cancel_ = nullptr;
    std::vector<HWND> pages_;  // one per tab, in the order of model::kSettingsTabs
    std::vector<Row> rows_;
    model::SettingsTab tab_ = model::SettingsTab::Bar;
    int dpi_ = 96;
    bool noteIsFailure_ = false;  // the note says why OK did not save: in red
    win::Font font_;
};

}  // namespace ui
