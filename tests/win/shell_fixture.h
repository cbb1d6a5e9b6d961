// Builds the real bar inside the test process (hidden), with the built-in
// settings and the images beside the test program, so the Win32 shell is
// tested as it runs.
#pragma once

#include <windows.h>

#include "base/str.h"
#include "model/settings.h"
#include "app/app.h"
#include "app/operations.h"

inline app::App& TestApp() { return app::TheApp(); }

inline bool OpenTestBar() {
    if (TestApp().bar.Window()) return true;
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring dir(exe);
    dir.resize(dir.find_last_of(L'\\') + 1);
    TestApp().run.GraphicsPath = dir + L"Graphics\\";
    model::IniDocument ini(str::ToUtf8(model::DefaultSettingsText()));
    if (!model::LoadAllSettings(ini, TestApp().run.GraphicsPath, L"", L"", TestApp().settings).empty()) return false;
    OpenMainWindow();
    return TestApp().bar.Window() != nullptr;
}
