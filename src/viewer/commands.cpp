// Button procedures. The viewer keys of buttons 1 to 5 and 9 follow the
// viewer's own shortcuts; until they are wired the buttons leave it alone.
#include "viewer/commands.h"

#include <windows.h>

#include "core/state.h"
#include "ui/bar.h"
#include "ui/ids.h"
#include "ui/info_panel.h"

void WLX_btn_01() {}
void WLX_btn_02() {}
void WLX_btn_03() {}
void WLX_btn_04() {}
void WLX_btn_05() {}

void WLX_btn_8() {
    if (!g_settings.ShowInfoText && !g_settings.ShowInfoTree && !g_settings.ShowInfoThumbs) {
        EnableWindow(bar::Control(8), FALSE);
        return;
    }
    ShowInfo(L"");
}

void WLX_btn_09() { g_run.QuitRequested = 1; }
