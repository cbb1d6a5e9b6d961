// The inbox folders of [Inbox] Folders: each runs its own transfer pipeline
// on a thread of its own, woken by the folder's change notices and looking
// again every few seconds, so neither a slow card nor another inbox holds
// it back. What they store goes to the bar (journal, lamps, the viewer) and
// the backup as the card's pictures do.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/backup.h"
#include "app/card_events.h"
#include "model/pictures/inbox_source.h"
#include "model/pictures/transfer_pipeline.h"
#include "model/settings/settings.h"
#include "win/folder_watch.h"

namespace app {

class Inboxes {
public:
    // `events`: posted to the interface thread; `backup` takes what is stored.
    Inboxes(CardEvents& events, Backup& backup) : events_(events), backup_(backup) {}
    ~Inboxes() { Stop(); }
    Inboxes(const Inboxes&) = delete;
    Inboxes& operator=(const Inboxes&) = delete;

    // Interface thread, at the start: a thread for each inbox that may be
    // used; one that would feed itself is refused with a journal line.
    // Changes of the settings take effect at the next start.
    void Start(const model::Settings& s, const std::wstring& recordFolder, int64_t runStart);
    // Interface thread: ends every inbox's thread (a copy under way stops
    // and leaves no part behind).
    void Stop();
    // Any thread: an inbox is away or was refused. Button 6's lower lamp
    // stays red meanwhile, whatever the card's poll paints.
    bool AnyInTrouble() const { return trouble_.load() > 0; }

private:
    // One inbox: its source, pipeline and thread. What it reports goes out
    // as posted events (any thread may post).
    struct Inbox final : model::TransferEvents {
        Inbox(Inboxes& owner, const std::wstring& folder);
        void Run();
        void Journal(const std::wstring& text) override { owner.events_.Journal(text); }
        void Lamp(int button, model::Lamp colour, model::LampAt at) override;
        void Stored(const model::PictureStored& picture) override;
        // An inbox's pick-up is too quick and too frequent for the busy face.
        void Busy(bool) override {}

        Inboxes& owner;
        std::atomic<bool> stop{false};  // written by the interface thread
        model::InboxSource source;      // the inbox's thread's own once it runs
        model::TransferPipeline pipeline;
        win::FolderWatch watch;
        std::thread thread;
        bool away = false;  // the inbox's thread's own
    };

    CardEvents& events_;
    Backup& backup_;
    std::vector<std::unique_ptr<Inbox>> inboxes_;  // interface thread
    std::atomic<int> trouble_{0};  // inboxes away or refused
};

}  // namespace app
