// Moving pictures from the card into the local store: the card timer's step
// and the automatic and button transfer run model::TransferPipeline over the
// card session; single files for the user go into a folder of their own.
// Everything here runs on the card thread; what the bar must show goes as
// events.
#pragma once

#include <string>

#include "app/backup.h"
#include "app/card_events.h"
#include "app/card_thread.h"
#include "model/card/card_session.h"
#include "model/pictures/transfer_pipeline.h"

namespace app {

class Transfers final : private model::TransferEvents {
public:
    // `backup` takes every picture that enters the store, after the viewer.
    Transfers(model::Session& card, CardThread& thread, Backup& backup);

    // One tick of the card timer: finds and polls the card and transfers
    // what is new.
    void TimerStep() { pipeline_.Tick(); }
    // Between ticks ([TFA] QuickPollMs): op=102, and the card step at once
    // on a change.
    void QuickPollStep() { pipeline_.QuickTick(); }
    // Every new picture into HiRes and LoRes; `automatic` takes
    // TransferModeAuto, else TransferModeMan.
    void TransferNew(bool automatic) { pipeline_.TransferNew(automatic); }
    // One file for the user into a folder of its own (storage): the file of
    // that folder that is the picture serves; otherwise a local copy of the
    // picture or the card's is stored beside whatever else has its name.
    // True when it is there; shown in the viewer when `show`.
    bool FetchToFolder(const CardFile& file, const std::wstring& folder, bool show);

private:
    // What the pipeline reports, forwarded to the bar and the backup.
    void Journal(const std::wstring& text) override { thread_.Events().Journal(text); }
    void Lamp(int button, model::Lamp colour, model::LampAt at) override { thread_.Events().Lamp(button, colour, at); }
    void Stored(const model::PictureStored& picture) override;
    void Busy(bool on) override { thread_.Events().BusyFace(on, 0); }

    model::Session& card_;
    CardThread& thread_;
    Backup& backup_;
    model::TransferPipeline pipeline_;
};

}  // namespace app
