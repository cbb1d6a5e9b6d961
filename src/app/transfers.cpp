// Card transfers on the card thread: the pipeline's reports, and single
// files into the storage folder.
#include "app/transfers.h"

#include "base/fs.h"
#include "base/str.h"
#include "model/common/ids.h"
#include "model/pictures/card_text.h"
#include "model/pictures/picture.h"
#include "model/settings/folders.h"

namespace app {

Transfers::Transfers(model::Session& card, CardThread& thread, Backup& backup)
    : card_(card),
      thread_(thread),
      backup_(backup),
      pipeline_(card, *this, [&thread] { return thread.Worker().StopRequested(); }) {}

void Transfers::Stored(const model::PictureStored& picture) {
    if (picture.show) thread_.Events().PictureStored(picture.path);
    backup_.Stored(picture.path);
}

bool Transfers::FetchToFolder(const CardFile& f, const std::wstring& folder, bool show) {
    CardEvents& events = thread_.Events();
    const std::wstring tmp = card_.PartFile();
    if (!model::IsSafeLocalName(f.name)) {
        events.Journal(L"Not transferred, the name cannot be stored safely: " + model::Printable(f.name));
        return false;
    }
    // A folder whose drive was not there at the start is made once it is.
    if (!model::EnsureFolder(folder)) {
        events.Journal(L"Not transferred, the folder is not there: " + folder);
        return false;
    }
    const model::PictureId id{f.directory, f.name, static_cast<int64_t>(f.size), f.date, f.time};
    const int64_t since = card_.Ledger().IdentitiesSince();
    if (std::optional<std::wstring> same = model::StoredName(model::FolderOnDisk(folder), id, since)) {
        std::wstring existing = folder + L"\\" + *same;
        events.Lamp(model::ids::kCardButton, model::Lamp::Yellow, model::LampAt::Top);
        events.Journal(L"Transfer File exists: " + existing);
        if (show) events.PictureStored(existing);
        return true;
    }
    std::optional<std::wstring> free = model::FreeName(model::FolderOnDisk(folder), f.name);
    if (!free) {
        events.Journal(L"Not transferred: every name beside " + folder + L"\\" + f.name + L" is taken");
        return false;
    }
    const std::wstring target = folder + L"\\" + *free;
    std::wstring why;
    auto finish = [&](bool ok) {
        if (!ok) {
            events.Journal(L"Not stored: " + target + L" (" + why + L")");
            return false;
        }
        if (*free != f.name) events.Journal(model::BesideText(f.name, *free));
        if (show) events.PictureStored(target);
        backup_.Stored(target);
        return true;
    };
    // A copy in HiRes or LoRes serves only if it is this picture (a copy
    // keeps the card's time).
    for (model::Store kind : {model::Store::LoRes, model::Store::HiRes}) {
        const std::wstring localFolder = model::StoreFolder(card_.Config(), kind);
        std::optional<std::wstring> local = model::StoredName(model::FolderOnDisk(localFolder), id, since);
        if (!local) continue;
        bool copied = fs::CopyFileTo(localFolder + L"\\" + *local, tmp);
        if (!copied) why = fs::LastErrorText();
        bool ok = copied && model::PlaceFile(tmp, target, std::nullopt, false, why);
        (void)fs::DeleteFileAt(tmp);
        return finish(ok);
    }
    if (card_.CheckUpdate() == model::CardChange::None) return false;
    if (!card_.Download(f.name, f.directory, {f.rawDirectory, f.rawName, f.size}, tmp))
        return false;  // the journal said why
    // A file there whose facts could not tell is the picture when its bytes are.
    if (std::optional<std::wstring> same = model::SameBytes(
            tmp, folder, model::UndecidedNames(model::FolderOnDisk(folder), id, since))) {
        (void)fs::DeleteFileAt(tmp);
        const std::wstring existing = folder + L"\\" + *same;
        events.Journal(L"Transfer File exists: " + existing);
        if (show) events.PictureStored(existing);
        return true;
    }
    bool ok = model::PlaceFile(tmp, target, model::CardTime(id), false, why);
    (void)fs::DeleteFileAt(tmp);
    if (ok) events.Journal(L"Transfer: " + target);
    return finish(ok);
}

}  // namespace app
