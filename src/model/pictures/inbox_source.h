// An inbox folder as a source of pictures: what an FTP server, a maker's
// transfer program or tethering software writes into a folder (or below it)
// is taken into the store by the same pipeline as a card's pictures. The
// inbox is only read: nothing in it is changed, moved or deleted. No
// platform headers: the folder is reached through base/fs.h.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/fs.h"
#include "model/pictures/picture_ledger.h"
#include "model/pictures/source_port.h"
#include "model/pictures/transfer_pipeline.h"
#include "model/settings/folders.h"

namespace model {

// Names that FTP servers and copy programs give a file while they write it
// (".tmp", ".part", ".filepart", ".crdownload", a leading "~" or "."): the
// file is passed over until it is renamed.
bool IsNameInWriting(std::wstring_view name);

// Since when a file has been seen at its present size and time.
struct Sighting {
    uint64_t size = 0;
    int64_t modified = 0;
    int64_t since = 0;
};
// A file's size and time must hold this long (between two looks) before it
// is taken: a writer that closes between pieces has mostly written its next
// one by then. A JPEG without its end is held back longer by the ledger.
inline constexpr int64_t kInboxHeldNs = int64_t{100} * 1000000;
// The sighting of a file now, from the one before (nothing: first seen).
Sighting SightingNow(const fs::FileEntry& file, const Sighting* before, int64_t now);
// True when a file so seen may be taken now: its size and time have held
// for kInboxHeldNs and it is not empty.
bool HasHeld(const Sighting& seen, int64_t now);

class InboxSource final : public SourcePort {
public:
    // `events`: journal lines and lamps (the same as the pipeline's);
    // `stopping`: true once the program ends (a copy in progress stops).
    InboxSource(std::wstring folder, TransferEvents& events, std::function<bool()> stopping);
    InboxSource(const InboxSource&) = delete;
    InboxSource& operator=(const InboxSource&) = delete;

    // Start of the run: the settings, where the records live and when the
    // program started. What a cut run left in the helper file goes.
    void Begin(const Settings& settings, const std::wstring& recordFolder, int64_t runStart);

    const std::wstring& Folder() const { return folder_; }
    // True when a file of a kind is still being written or was not taken
    // yet for another reason that passes by itself: the next look should
    // come soon, not only with a change notice or the rescan.
    bool LookSoon() const { return lookSoon_; }
    // True while the inbox cannot be reached.
    bool Missing() const { return missing_; }

    // SourcePort
    std::wstring WhoIs() const override { return id_; }
    bool Look(bool changeRead) override;
    bool QuickLook() override { return false; }
    const Settings& Config() const override { return config_; }
    std::vector<const CardFileRecord*> Listed() const override;
    bool StillThere() override { return fs::IsDirectory(folder_); }
    bool FetchInto(const CardFileRecord& picture, const std::wstring& path) override;
    std::wstring PartFile() const override;
    std::wstring PartName() const;
    PictureLedger& Ledger() override { return ledger_; }
    void ListAgain() override { lookSoon_ = true; }
    void StepEnded() override {}

private:
    // What the ledger reports goes out as the transfer's events.
    class LedgerEvents final : public LedgerPort {
    public:
        explicit LedgerEvents(TransferEvents& events) : events_(events) {}
        void Journal(const std::wstring& text) override { events_.Journal(text); }
        void Lamp(int image, model::Lamp colour, model::LampAt at) override { events_.Lamp(image, colour, at); }

    private:
        TransferEvents& events_;
    };

    void Reached(bool reached);
    // True when the ledger would still fetch the picture into a store folder.
    bool Wanted(const CardFileRecord& c) const;
    std::wstring PathOf(const std::wstring& below, const std::wstring& name) const;

    std::wstring folder_, id_;
    TransferEvents& events_;
    std::function<bool()> stopping_;
    LedgerEvents port_;
    PictureLedger ledger_;
    Settings config_;
    bool begun_ = false;     // the first look of the run is behind
    int64_t firstLook_ = 0;  // when it was
    bool listedOnce_ = false;  // the ledger has heard of the inbox in this run
    bool missing_ = false;   // said once until the inbox is back
    bool lookSoon_ = false;
    std::unordered_map<std::wstring, Sighting> seen_;  // by the path below the inbox, as fs::NameKey
    std::vector<CardFileRecord> listed_;               // what the last look found whole, oldest first
    std::unordered_map<std::wstring, std::wstring> heard_;  // per folder below: what the ledger last heard of it
    std::unordered_set<std::wstring> said_;            // files whose copy failed, journalled once
};

}  // namespace model
