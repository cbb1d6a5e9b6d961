// The Win32 shell inside the test process: the real bar (hidden) with the
// built-in settings and the images beside the test program, and the card
// objects the program builds, handed what they use as App hands it, so the
// shell is tested as it runs.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "app/card_events.h"
#include "app/card_link.h"
#include "app/card_thread.h"
#include "app/card_views.h"
#include "app/transfers.h"
#include "base/str.h"
#include "model/card/card_session.h"
#include "model/settings/settings.h"
#include "ui/bar.h"
#include "ui/events.h"
#include "win/card_net.h"

// The bar and its settings; what the bar reports is not acted on.
struct TestShell final : ui::BarEvents {
    model::Settings settings;
    std::wstring graphicsPath;
    ui::Bar bar{settings, *this};

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

    // The bar's own menu: the items chosen, and what its check mark asks.
    std::vector<model::BarMenuItem> menuChoices;
    bool startsWithWindows = false;
    void OnBarMenu(model::BarMenuItem item) override { menuChoices.push_back(item); }
    bool StartsWithWindows() override { return startsWithWindows; }
};

inline TestShell& Shell() {
    static TestShell shell;
    return shell;
}

// Opens the shell's bar once per test program; false when it cannot.
inline bool OpenTestBar() {
    TestShell& shell = Shell();
    if (shell.bar.Window()) return true;
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring dir(exe);
    dir.resize(dir.find_last_of(L'\\') + 1);
    shell.graphicsPath = dir + L"Graphics\\";
    model::IniDocument ini(str::ToUtf8(model::DefaultSettingsText()));
    if (model::LoadSettings(ini, shell.graphicsPath, L"", L"", shell.settings)) return false;
    return shell.bar.Open();
}

// Card events carried out nowhere: what the card objects report is dropped.
struct DroppedCardEvents final : app::CardEvents {
    void Journal(std::wstring) override {}
    void Lamp(int, model::Lamp, model::LampAt) override {}
    void CardFound(std::wstring, std::wstring) override {}
    void CameraFolderFollowed(std::wstring) override {}
    void CardNamed(std::optional<std::wstring>) override {}
    void PictureStored(std::wstring) override {}
    void SingleTransferEnded(app::CardFile, app::SingleTransfer, bool) override {}
    void WalkStarted(std::wstring) override {}
    void WalkEnded(std::shared_ptr<ui::Walk>) override {}
    void ThumbnailFetched(std::shared_ptr<app::FetchedThumbnail>) override {}
    void Progress(std::optional<model::WorkProgress>) override {}
    void BusyFace(bool, int) override {}
    void ButtonTransferBegun() override {}
};

// The card objects over the shell's bar, used from the test's own thread as
// the card thread uses them (the card thread itself is not started).
struct TestCard {
    DroppedCardEvents dropped;
    win::CardNet net;
    app::CardHosts hosts;
    app::CardLink link{net, thread, hosts, 0};
    model::Session session{link};
    app::BusyFace face{Shell().bar};
    app::CardThread thread{Shell().bar, session, Shell().settings, dropped, face, 0};
    app::Backup backup{dropped};  // never started: it takes nothing
    app::Transfers transfers{session, thread, backup};
    app::CardViews views{session, thread, link, Shell().bar};
};
