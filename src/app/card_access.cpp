// The card session of the running program: its network and its reports to
// the bar, the card timer, and the card operations over the session.
#include "app/app.h"
#include "app/operations.h"
#include "model/ids.h"

namespace app {

model::CardAnswer App::Get(const std::wstring& url, size_t capacity) { return net.Get(url, capacity); }

bool App::Ping(const std::wstring& host, int timeoutMs) { return net.Ping(host, timeoutMs); }

// The rest reaches the bar on the interface thread.
void App::Journal(const std::wstring& text) {
    cards.OnUi([text] { ShowInfo(text); });
}

void App::Lamp(int image, model::Lamp colour, model::LampAt at) {
    cards.OnUi([image, colour, at] { SetLamp(image, colour, at); });
}

bool App::JournalVisible() { return card.JournalShown; }

void App::CardFound(const std::wstring& host) {
    cards.OnUi([this, host] { settings.UrlLastConnect = host; });
}

void App::WalkListed(size_t listed, size_t known) {
    if (walkProgress) walkProgress->Update(static_cast<int64_t>(listed), static_cast<int64_t>(known));
}

void App::CameraFolderFollowed(const std::wstring& path) {
    cards.OnUi([this, path] { settings.Path = path; });
}

}  // namespace app

bool OpenInternetHandle() {
    app::App& a = app::TheApp();
    if (!a.net.Open(std::wstring(model::kProgramName) + L"/" + model::kProgramVersion)) return false;
    a.card.Begin(a.settings, a.run.SettingsFile, a.run.SettingsFolder + L"Cards", a.run.StartedAt);
    a.run.IdentitiesSince = a.card.Pictures.IdentitiesSince();
    return true;
}

uint8_t TFA_StartPolling(uint8_t on) {
    app::App& a = app::TheApp();
    if (on) SetTimer(a.bar.Window(), model::ids::kCardTimer, static_cast<UINT>(a.settings.CheckNewFilesSec) * 1000u, nullptr);
    if (on && a.settings.QuickPollMs > 0)
        SetTimer(a.bar.Window(), model::ids::kQuickPollTimer, static_cast<UINT>(a.settings.QuickPollMs), nullptr);
    return 1;
}

namespace {

void CardStep(bool changeRead) {
    model::Session& card = app::TheApp().card;
    if (card.Poll(changeRead)) {
        cardthread::BusyFace busy;
        TFA_Transfer(1);
    }
    card.UpdateFlag = model::CardChange::None;
}

}  // namespace

void TFA_CardTimerStep() { CardStep(false); }

void QuickPollStep() {
    if (app::TheApp().card.QuickPoll()) CardStep(true);
}

int32_t TFA_GetData(const std::wstring& kind, const std::wstring& argument) {
    return app::TheApp().card.GetData(kind, argument);
}
int32_t TFA_Split(const std::wstring& kind, const std::string& answer) { return app::TheApp().card.Split(kind, answer); }
int8_t TFA_CheckUpdate() { return app::TheApp().card.CheckUpdate(); }
uint8_t TFA_CheckUrlPing(const std::wstring& host) { return app::TheApp().card.CheckUrlPing(host); }
uint8_t TFA_SearchUrl() { return app::TheApp().card.SearchUrl(); }
int32_t TFA_NoTransferList() { return app::TheApp().card.NoTransferList(); }
