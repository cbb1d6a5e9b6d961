// The transfer of new pictures, one source at a time per pipeline.
#include "model/pictures/transfer_pipeline.h"

#include <algorithm>
#include <optional>

#include "base/fs.h"
#include "base/str.h"
#include "model/common/ids.h"
#include "model/pictures/card_text.h"
#include "model/pictures/picture_ledger.h"

namespace model {

std::vector<TransferStep> TransferSteps(SourcePort& source, bool automatic) {
    const Settings& config = source.Config();
    PictureLedger& ledger = source.Ledger();
    const std::wstring mode = str::ToLower(automatic ? config.TransferModeAuto : config.TransferModeMan);
    const bool loRes = mode == L"lores" || mode == L"both", hiRes = mode == L"hires" || mode == L"both";
    std::vector<const CardFileRecord*> pictures = source.Listed();
    // LoResFirst: after a burst of shots every JPEG reaches the viewer before
    // the first raw file takes the card for half a minute.
    if (mode == L"both" && config.LoResFirst && !config.TransferLoRes.empty())
        std::stable_partition(pictures.begin(), pictures.end(), [&](const CardFileRecord* c) {
            return IsOfKind(c->Name, config.TransferLoRes);
        });
    std::vector<TransferStep> steps;
    for (const CardFileRecord* c : pictures) {
        if (c->Name.empty() || !IsSafeLocalName(c->Name)) continue;
        // Listed with 0 bytes: the camera is still writing it, and the next
        // tick lists again whatever the update flag says.
        if (c->Size <= 0) {
            source.ListAgain();
            continue;
        }
        // An empty extension means that kind is not transferred.
        if (loRes && IsOfKind(c->Name, config.TransferLoRes) && ledger.NeedsFetch(*c, Store::LoRes))
            steps.push_back({*c, Store::LoRes, true});
        if (hiRes && IsOfKind(c->Name, config.TransferHiRes) && ledger.NeedsFetch(*c, Store::HiRes))
            steps.push_back({*c, Store::HiRes, mode == L"hires"});
    }
    return steps;
}

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
    for (const TransferStep& step : TransferSteps(source_, automatic)) {
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
