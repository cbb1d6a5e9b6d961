// Button 7 and the journal export.
#include "app/log_button.h"

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <richedit.h>

#include <vector>

#include "base/fs.h"
#include "model/journal.h"
#include "app/state.h"
#include "ui/card_views.h"
#include "ui/thumbs.h"
#include "ui/bar.h"
#include "model/ids.h"
#include "ui/info_panel.h"
#include "model/placement.h"
#include "ui/thumb_area.h"
#include "app/desktop.h"

std::wstring JournalText() {
    HWND journal = bar::Control(ids::kJournal);
    GETTEXTLENGTHEX len{GTL_USECRLF | GTL_NUMCHARS, 1200};
    LRESULT n = SendMessageW(journal, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&len), 0);
    if (n <= 0) return {};
    std::vector<wchar_t> buf(static_cast<size_t>(n) + 1);
    GETTEXTEX get{};
    get.cb = static_cast<DWORD>(buf.size() * sizeof(wchar_t));
    get.flags = GT_USECRLF;
    get.codepage = 1200;  // UTF-16
    LRESULT got = SendMessageW(journal, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&get),
                               reinterpret_cast<LPARAM>(buf.data()));
    return std::wstring(buf.data(), static_cast<size_t>(got > 0 ? got : 0));
}

namespace {

void SaveJournal() {
    wchar_t file[MAX_PATH * 4] = {};
    std::wstring proposed = LogFileName(NowLocal());
    proposed.copy(file, std::size(file) - 1);
    static const wchar_t kFilter[] = L"Text (*.txt)\0*.txt\0Alle Dateien (*.*)\0*.*\0";
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = bar::Window();
    ofn.lpstrFilter = kFilter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = static_cast<DWORD>(std::size(file));
    ofn.lpstrTitle = L"Wemlox Save Log";
    ofn.Flags = OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    bool chosen = false;
    {
        bar::ModalScope modal;
        chosen = GetSaveFileNameW(&ofn) && file[0] != 0;
    }
    if (!chosen) return;
    std::wstring name = file;
    // An existing journal file is never overwritten; say so instead of
    // leaving the user to believe it was saved.
    if (fs::IsNonEmptyFile(name)) {
        ShowInfo(L"Log not saved, the file exists: " + name);
        return;
    }
    if (!own_SaveTextFile(name, JournalText(), 0)) ShowInfo(L"Log not saved, the file cannot be written: " + name);
}

// The walk runs on the card thread; a shown thumbnail grid is rebuilt from
// its lists when they arrive.
void RebuildTree() {
    SetState(6, L"b", L"t");
    RequestTree();
    ThumbRowCount = 0;
}

}  // namespace

uint8_t WLX_btn_07() {
    if (IsWindowVisible(bar::Control(ids::kJournal))) {
        SaveJournal();
    } else if (IsWindowVisible(bar::Control(ids::kTree))) {
        RebuildTree();
    } else if (IsWindowVisible(bar::Control(ids::kThumbArea))) {
        RebuildTree();
    } else if (TaskBarVisible()) {
        own_ShowHideTaskBar(SW_HIDE);
        EnableWindow(bar::Control(11), FALSE);
    } else {
        own_ShowHideTaskBar(SW_SHOW);
        EnableWindow(bar::Control(11), TRUE);
    }
    return 1;
}
