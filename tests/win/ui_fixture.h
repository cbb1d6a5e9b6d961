// The shell's bar shown for a test of the bar's menu or the settings window,
// what the settings window reports recorded, and the message pump such a
// test waits in (a menu or a picker runs its own loop inside it, as in the
// program). The bar's settings and layout are as before after each test.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "driver.h"
#include "shell_fixture.h"
#include "ui/settings_window.h"

namespace uitest {

struct RecordedSettings final : ui::SettingsEvents {
    std::vector<std::vector<model::SettingChange>> saved;  // every OK, with its changes
    std::optional<std::wstring> refuseSave;                // what OnSettingsOk answers
    int modalLoops = 0;                                    // pickers opened
    std::optional<std::wstring> OnSettingsOk(const std::vector<model::SettingChange>& changes) override {
        saved.push_back(changes);
        return refuseSave;
    }
    void OnModalLoop(bool entered) override { modalLoops += entered ? 1 : 0; }
};

class UiTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(OpenTestBar());
        saved_ = settings;
        Shell().menuChoices.clear();
        Shell().startsWithWindows = false;
        ShowWindow(bar.Window(), SW_SHOWNOACTIVATE);
        Pump([] { return false; }, 100);
    }
    void TearDown() override {
        window.Close();
        settings = saved_;
        bar.ApplyLayout();
        ShowWindow(bar.Window(), SW_HIDE);
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

    ui::Bar& bar = Shell().bar;
    model::Settings& settings = Shell().settings;
    RecordedSettings events;
    ui::SettingsWindow window{events};

private:
    model::Settings saved_;
};

}  // namespace uitest
