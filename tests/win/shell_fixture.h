// Builds the real bar inside the test process (hidden), with the built-in
// settings and the images beside the test program, so the Win32 shell is
// tested as it runs.
#pragma once

#include <windows.h>

#include "base/str.h"
#include "model/settings.h"
#include "app/state.h"
#include "ui/bar.h"

inline bool OpenTestBar() {
    if (bar::Window()) return true;
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring dir(exe);
    dir.resize(dir.find_last_of(L'\\') + 1);
    g_run.GraphicsPath = dir + L"Graphics\\";
    IniDocument ini(str::ToUtf8(DefaultSettingsText()));
    if (!LoadAllSettings(ini, g_run.GraphicsPath, L"", L"", g_settings).empty()) return false;
    OpenMainWindow();
    return bar::Window() != nullptr;
}
