// The transfer of new pictures from one source into the store: look, decide
// with the source's ledger, fetch into the helper file, place, record,
// report. It knows the source only through its port and the bar only through
// typed events, so it runs on any thread and in the native tests alike.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "model/common/info_logic.h"
#include "model/pictures/picture_ledger.h"
#include "model/pictures/source_port.h"

namespace model {

// A picture that has just entered the store.
struct PictureStored {
    Store folder = Store::LoRes;
    std::wstring path;
    bool show = false;  // for the viewer
};

// What the transfer reports, in the order it happens.
class TransferEvents {
public:
    virtual ~TransferEvents() = default;
    virtual void Journal(const std::wstring& text) = 0;
    virtual void Lamp(int button, model::Lamp colour, model::LampAt at) = 0;
    virtual void Stored(const PictureStored& picture) = 0;
    // The transfer of what a look found begins (true) and ends (false).
    virtual void Busy(bool on) = 0;
};

// The pictures to fetch now of what the source listed, in its order; with
// LoResFirst in "Both" every JPEG before any raw file. `automatic`:
// TransferModeAuto, else TransferModeMan. A picture still listed with 0
// bytes is left for the next listing (the source lists again).
std::vector<TransferStep> TransferSteps(SourcePort& source, bool automatic);

class TransferPipeline {
public:
    // `stopping`: true once the program ends; no further picture is begun.
    TransferPipeline(SourcePort& source, TransferEvents& events, std::function<bool()> stopping)
        : source_(source), events_(events), stopping_(std::move(stopping)) {}

    // One tick of the card timer: look, and transfer what is new.
    void Tick();
    // Between ticks: the quick look, and the tick's step at once on a change.
    void QuickTick();
    // Every new picture into its store folders; `automatic` as in
    // TransferSteps.
    void TransferNew(bool automatic);

private:
    void Step(bool changeRead);
    // The stored file, or nothing (not fetched, not whole yet, or held already).
    std::optional<std::wstring> Fetch(const TransferStep& step, const StorePlan& plan);

    SourcePort& source_;
    TransferEvents& events_;
    std::function<bool()> stopping_;
};

}  // namespace model
