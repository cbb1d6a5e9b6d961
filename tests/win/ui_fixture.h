// A bar of the tests' own in the test process, with the built-in settings
// and the images beside the test program, whose events are recorded instead
// of acted on; and the message pump an in-process test waits in (a menu or
// a modal loop runs inside it, as in the program).
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/str.h"
#include "driver.h"
#include "model/settings.h"
#include "ui/bar.h"
#include "ui/settings_window.h"

namespace uitest {

struct Recorded final : ui::BarEvents, ui::SettingsEvents {
    std::vector<model::BarMenuItem> menuChoices;
    bool startsWithWindows = false;
    std::vector<std::vector<model::SettingChange>> saved;  // every OK, with its changes
    std::optional<std::wstring> refuseSave;                // what OnSettingsOk answers
    int modalLoops = 0;                                    // pickers opened and closed

    void OnButton(int) override {}
    void OnMenu(int) override {}
    void OnTreeDoubleClick() override {}
    void OnTile(const model::TileRef&) override {}
    void OnTimer(unsigned) override {}
    void OnMoved(int, int) override {}
    void OnClose() override {}
    void OnCardMail() override {}
    void OnModalLoopEnded() override {}
    void OnTreeWanted() override {}
    void OnGridWanted() override {}
    std::wstring TipFor(int) override { return L""; }
    void OnBarMenu(model::BarMenuItem item) override { menuChoices.push_back(item); }
    bool StartsWithWindows() override { return startsWithWindows; }
    std::optional<std::wstring> OnSettingsOk(const std::vector<model::SettingChange>& changes) override {
        saved.push_back(changes);
        return refuseSave;
    }
    void OnModalLoop(bool entered) override { modalLoops += entered ? 1 : 0; }
};

class UiTest : public testing::Test {
protected:
    void SetUp() override {
        const std::wstring graphics = driver::TestBinDir() + L"Graphics\\";
        model::IniDocument ini(str::ToUtf8(model::DefaultSettingsText()));
        ASSERT_FALSE(model::LoadSettings(ini, graphics, L"", L"", settings));
        ASSERT_TRUE(bar.Open());
        ShowWindow(bar.Window(), SW_SHOWNOACTIVATE);
        Pump([] { return false; }, 100);
    }
    void TearDown() override {
        window.Close();
        bar.Destroy();
    }

    // Dispatches this thread's messages (the settings window's keyboard
    // first, as the program's loop does) until `until` holds.
    bool Pump(const std::function<bool()>& until, int timeoutMs = 5000) {
        const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
        for (;;) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (window.PreTranslate(msg)) continue;
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            if (until()) return true;
            if (GetTickCount64() > end) return false;
            Sleep(10);
        }
    }

    model::Settings settings;
    Recorded events;
    ui::Bar bar{settings, events};
    ui::SettingsWindow window{events};
};

}  // namespace uitest
