// Each inbox's thread: look, transfer, wait for a notice or the rescan.
#include "app/inboxes.h"

#include <windows.h>

#include "model/common/ids.h"

namespace app {

namespace {

// Notices get lost: the inbox is looked at again this often anyway, and an
// inbox that is away is looked for as often.
constexpr unsigned kRescanMs = 3000;
// A file still being written is looked at again after its size had time to
// hold.
constexpr unsigned kSoonMs = static_cast<unsigned>(model::kInboxHeldNs / 1000000);
// A writer makes a notice with every piece: looks come no closer than this.
constexpr ULONGLONG kLookGapMs = 20;

}  // namespace

Inboxes::Inbox::Inbox(Inboxes& owner, const std::wstring& folder)
    : owner(owner),
      source(folder, *this, [this] { return stop.load(); }),
      pipeline(source, *this, [this] { return stop.load(); }) {}

void Inboxes::Inbox::Stored(const model::PictureStored& picture) {
    if (picture.show) owner.events_.PictureStored(picture.path);
    owner.backup_.Stored(picture.path);
}

void Inboxes::Inbox::Lamp(int button, model::Lamp colour, model::LampAt at) {
    // Counted before the lamp goes out, so the interface never sees an inbox
    // back with the count saying it is away.
    if (source.Missing() != away) owner.trouble_ += (away = source.Missing()) ? 1 : -1;
    owner.events_.Lamp(button, colour, at);
}

void Inboxes::Inbox::Run() {
    while (!stop) {
        if (!watch.Watching()) (void)watch.Watch(source.Folder());
        const ULONGLONG looked = GetTickCount64();
        pipeline.Tick();
        if (source.Missing()) watch.Close();
        const bool soon = source.LookSoon();
        const win::FolderWatch::Woken woken = watch.Wait(soon ? kSoonMs : kRescanMs);
        if (woken == win::FolderWatch::Woken::Notice) {
            const ULONGLONG since = GetTickCount64() - looked;
            if (since < kLookGapMs) (void)watch.Pause(static_cast<unsigned>(kLookGapMs - since));
        } else if (woken == win::FolderWatch::Woken::Timeout && !soon) {
            // A folder removed and made again keeps the old one's notices,
            // which never come: the rescan watches it anew.
            watch.Close();
        }
    }
}

void Inboxes::Start(const model::Settings& s, const std::wstring& recordFolder, int64_t runStart) {
    std::vector<std::wstring> taken;
    for (const std::wstring& folder : model::InboxFolders(s.InboxFolders)) {
        if (std::optional<std::wstring> why = model::InboxRefusal(folder, s, taken)) {
            events_.Journal(L"Inbox refused: " + folder + L" (" + *why + L")");
            events_.Lamp(model::ids::kCardButton, model::Lamp::Red, model::LampAt::Bottom);
            trouble_++;
            continue;
        }
        taken.push_back(folder);
        auto inbox = std::make_unique<Inbox>(*this, folder);
        inbox->source.Begin(s, recordFolder, runStart);
        events_.Journal(L"Inbox: " + folder);
        inbox->thread = std::thread([at = inbox.get()] { at->Run(); });
        inboxes_.push_back(std::move(inbox));
    }
}

void Inboxes::Stop() {
    for (auto& inbox : inboxes_) {
        inbox->stop = true;
        inbox->watch.Wake();
    }
    for (auto& inbox : inboxes_)
        if (inbox->thread.joinable()) inbox->thread.join();
    inboxes_.clear();
    trouble_ = 0;
}

}  // namespace app
