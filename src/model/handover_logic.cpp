// Show-file decisions and the copy into the selection folder.
#include "model/handover_logic.h"

#include "model/settings.h"

#include <vector>

#include "base/fs.h"
#include "base/str.h"
#include "model/picture.h"

namespace model {

namespace {

std::wstring Quoted(const std::wstring& s) { return L"\"" + s + L"\""; }

bool LooksLikePicture(const std::wstring& path, std::wstring_view hiRes, std::wstring_view loRes) {
    // The whole path counts, so a folder named "x.jpg" makes any file a picture.
    for (std::wstring_view ext : {hiRes, loRes, std::wstring_view(L".jpg"), std::wstring_view(L".jpeg")})
        if (str::ContainsI(path, ext)) return true;
    return false;
}

std::wstring NotFoundLine(const std::wstring& extension, const std::wstring& text) {
    return L"Extension: " + extension + L" not found in File Name: " + text;
}

}  // namespace

ShowFilePlan PlanShowFile(const std::wstring& path, std::wstring_view mode, const std::wstring& viewerPath,
                          std::wstring_view hiResExtension, std::wstring_view loResExtension) {
    ShowFilePlan plan;
    if (path.empty()) return plan;
    if (mode == L"transferonly") {
        plan.journal = L"TransferOnly: " + path;
        plan.shown = true;
        return plan;
    }
    if (!LooksLikePicture(path, hiResExtension, loResExtension)) {
        plan.journal = L"TransferOnlyByExtension: " + path;
        return plan;
    }
    plan.journal = L"View: " + path;
    plan.shown = true;
    if (mode == L"systemonly") {
        plan.commandLine = Quoted(path);  // the shell opens it with its associated program
        return plan;
    }
    // nomacs opens every file in a window of its own; close the old one first.
    plan.closeRunningViewer = mode == L"nomacs";
    plan.commandLine = Quoted(viewerPath) + L" " + Quoted(path);
    plan.raiseBar = true;
    return plan;
}

std::optional<std::wstring> CutFileName(std::wstring_view text, std::wstring_view extension) {
    size_t at = str::FindI(text, extension);
    if (at == std::wstring_view::npos) return std::nullopt;
    std::wstring_view name = text.substr(0, at + extension.size());
    size_t folderEnd = name.find_last_of(L"\\/:");
    if (folderEnd != std::wstring_view::npos) name.remove_prefix(folderEnd + 1);
    if (name.empty()) return std::nullopt;
    return std::wstring(name);
}

bool CopyShownFileToSelection(const std::wstring& text, const SelectionFolders& folders,
                                 const CopyFeedback& feedback) {
    std::optional<std::wstring> name;
    std::vector<std::wstring> notFound;  // one line per extension looked for
    for (const std::wstring* extension : {&folders.hiResExtension, &folders.loResExtension}) {
        if (extension->empty()) continue;
        name = CutFileName(text, WithLeadingDot(*extension));
        if (name) break;
        notFound.push_back(NotFoundLine(WithLeadingDot(*extension), text));
        feedback.journal(notFound.back());
    }
    if (!name) {
        feedback.lamp(model::Lamp::Red, model::LampAt::Bottom);
        // The first line once more, as the user would read it last.
        feedback.journal(notFound.empty() ? NotFoundLine(L"", text) : notFound.front());
        return false;
    }
    feedback.lamp(model::Lamp::Blue, model::LampAt::Top);

    const std::wstring selected = folders.sourcePath + L"\\Selected";
    std::wstring target = selected + L"\\" + *name;
    const std::wstring sources[] = {folders.sourcePath + L"\\Lores\\" + *name,
                                    folders.sourcePath + L"\\HiRes\\" + *name,
                                    folders.storagePath + L"\\" + *name};
    std::optional<fs::FileEntry> shown;
    for (const std::wstring& source : sources)
        if ((shown = fs::FileFacts(source)) && shown->size > 0) break;
    // The selection's file of that name is the shown picture when it is a
    // copy of it (a copy keeps size and time); another picture stays, and
    // this one goes beside it.
    if (std::optional<fs::FileEntry> there = fs::FileFacts(target); there && there->size > 0) {
        bool same = !shown || shown->size == 0 ||
                    (there->size == shown->size && there->modified - shown->modified <= kTimeSlackNs &&
                     shown->modified - there->modified <= kTimeSlackNs);
        std::optional<std::wstring> beside = same ? std::nullopt : FreeName(FolderOnDisk(selected), *name);
        if (!beside) {
            feedback.journal(L"Copy File exists: " + target);
            feedback.lamp(model::Lamp::Yellow, model::LampAt::Bottom);
            return true;
        }
        target = selected + L"\\" + *beside;
    }
    for (const std::wstring& source : sources) {
        if (!fs::IsNonEmptyFile(source)) continue;
        if (&source == &sources[0]) feedback.journal(L"Transfer File exists: " + source);
        if (!fs::CopyFileTo(source, target)) continue;
        feedback.journal(L"Copy: " + source + L" to: " + target);
        feedback.lamp(model::Lamp::Green, model::LampAt::Bottom);
        return true;
    }
    feedback.lamp(model::Lamp::Red, model::LampAt::Bottom);
    return false;
}

}  // namespace model
