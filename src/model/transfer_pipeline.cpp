// The transfer of new pictures, one source at a time per pipeline.
#include "model/transfer_pipeline.h"

#include <optional>

#include "base/fs.h"
#include "model/ids.h"
#include "model/picture_ledger.h"

namespace model {

void TransferPipeline::Step(bool changeRead) {
    if (source_.Look(changeRead)) {
        events_.Busy(true);
        TransferNew(true);
        events_.Busy(false);
    }
    source_.StepEnded();
}

void TransferPipeline::Tick() { Step(false); }

void TransferPipeline::QuickTick() {
    if (source_.QuickLook()) Step(true);
}

std::optional<std::wstring> TransferPipeline::Fetch(const TransferStep& step, const StorePlan& plan) {
    PictureLedger& ledger = source_.Ledger();
    const std::wstring part = source_.PartFile();
    const CardFileRecord& c = step.picture;
    const bool fetched = source_.FetchInto(c, part);
    const bool unfinished = fetched && ledger.StillBeingWritten(c, part, fs::Now(), plan, step.folder);
    std::optional<std::wstring> stored;
    bool already = false;
    if (fetched && !unfinished) {
        Placed placed = ledger.Place(c, step.folder, plan, part, fs::Now());
        if (placed.ok) stored = placed.path;
        already = placed.already;
    }
    (void)fs::DeleteFileAt(part);
    // The source reports a change once: the next look lists again for a
    // picture still being written.
    if (unfinished) source_.ListAgain();
    if (stored && already) {
        // The store held these bytes already: nothing new to show.
        events_.Journal(L"Transfer File exists: " + *stored);
        return std::nullopt;
    }
    if (stored) events_.Journal(L"Transfer: " + *stored);
    return stored;
}

void TransferPipeline::TransferNew(bool automatic) {
    events_.Lamp(ids::kCardButton, Lamp::Yellow, LampAt::Top);
    PictureLedger& ledger = source_.Ledger();
    for (const TransferStep& step : source_.Steps(automatic)) {
        if (stopping_()) break;  // the program ends
        // A store that cannot take the picture now is tried again later; the
        // picture stays new.
        const StorePlan plan = ledger.Plan(step.picture, step.folder, fs::Now());
        if (plan.action == StorePlan::Action::Writing) source_.ListAgain();
        if (plan.action != StorePlan::Action::Fetch) continue;
        if (!source_.StillThere()) break;  // the card is gone
        if (std::optional<std::wstring> stored = Fetch(step, plan))
            events_.Stored({step.folder, *stored, step.show});
    }
    (void)ledger.SaveRecord();
    source_.StepEnded();
}

}  // namespace model
