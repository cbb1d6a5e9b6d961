// Show-file decisions and the copy into the selection folder.
#include "model/viewer/handover_logic.h"

#include "model/settings/settings.h"

#include <algorithm>
#include <vector>

#include "base/fs.h"
#include "base/str.h"
#include "model/pictures/card_list.h"
#include "model/pictures/picture.h"

namespace model {

namespace {

using namespace std::string_view_literals;

// Kinds of picture by how their files begin.
enum class Kind { Jpeg, Tiff, Orf, Rw2, Raf, Cr3, X3f, Mrw, Crw };

struct Start {
    Kind kind;
    size_t at;  // where the bytes stand in the file
    std::string_view bytes;
};

constexpr Start kStarts[] = {
    {Kind::Jpeg, 0, "\xFF\xD8\xFF"sv},
    {Kind::Tiff, 0, "II*\0"sv},
    {Kind::Tiff, 0, "MM\0*"sv},
    {Kind::Orf, 0, "IIRO"sv},
    {Kind::Orf, 0, "IIRS"sv},
    {Kind::Orf, 0, "MMOR"sv},
    {Kind::Rw2, 0, "IIU\0"sv},
    {Kind::Raf, 0, "FUJIFILMCCD-RAW"sv},
    {Kind::Cr3, 4, "ftypcrx "sv},  // an ISO media file of Canon's brand
    {Kind::X3f, 0, "FOVb"sv},
    {Kind::Mrw, 0, "\0MRM"sv},
    {Kind::Crw, 0, "II\x1A\0\0\0HEAPCCDR"sv},
};

struct KindOfExtension {
    std::wstring_view extension;
    Kind kind;
};

constexpr KindOfExtension kExtensions[] = {
    {L".jpg", Kind::Jpeg},  {L".jpeg", Kind::Jpeg}, {L".jpe", Kind::Jpeg},
    // Raw files built on TIFF.
    {L".cr2", Kind::Tiff},  {L".nef", Kind::Tiff},  {L".nrw", Kind::Tiff}, {L".arw", Kind::Tiff},
    {L".srf", Kind::Tiff},  {L".sr2", Kind::Tiff},  {L".dng", Kind::Tiff}, {L".pef", Kind::Tiff},
    {L".srw", Kind::Tiff},  {L".erf", Kind::Tiff},  {L".3fr", Kind::Tiff}, {L".iiq", Kind::Tiff},
    {L".mef", Kind::Tiff},  {L".mos", Kind::Tiff},  {L".rwl", Kind::Tiff}, {L".kdc", Kind::Tiff},
    {L".tif", Kind::Tiff},  {L".tiff", Kind::Tiff},
    // Raw files with a signature of their maker's.
    {L".orf", Kind::Orf},   {L".rw2", Kind::Rw2},   {L".raf", Kind::Raf},  {L".cr3", Kind::Cr3},
    {L".x3f", Kind::X3f},   {L".mrw", Kind::Mrw},   {L".crw", Kind::Crw},
};

bool BeginsAs(std::string_view head, Kind kind) {
    for (const Start& s : kStarts)
        if (s.kind == kind && head.size() >= s.at + s.bytes.size() && head.substr(s.at, s.bytes.size()) == s.bytes)
            return true;
    // A raw file may also carry a plain TIFF header.
    return kind != Kind::Jpeg && kind != Kind::Tiff && BeginsAs(head, Kind::Tiff);
}

// The extension of the file name with its ".", "" when it has none.
std::wstring_view ExtensionOf(std::wstring_view path) {
    size_t nameStart = path.find_last_of(L"\\/:");
    std::wstring_view name = nameStart == std::wstring_view::npos ? path : path.substr(nameStart + 1);
    size_t dot = name.rfind(L'.');
    return dot == std::wstring_view::npos ? std::wstring_view() : name.substr(dot);
}

bool NamedAsPicture(std::wstring_view extension, std::wstring_view hiRes, std::wstring_view loRes) {
    for (std::wstring_view e : {hiRes, loRes, L".jpg"sv, L".jpeg"sv})
        if (IsOfKind(extension, e) && extension.size() == e.size()) return true;
    return false;
}

// The file's first bytes, "" when it cannot be read.
std::string FirstBytes(const std::wstring& path) { return fs::ReadRange(path, 0, kPictureHeadBytes).value_or(""); }

// A window without a title shows as "%ERR%" in the journal, so the line
// does not end in nothing.
std::wstring NotFoundLine(const std::wstring& extension, const std::wstring& text) {
    return L"Extension: " + extension + L" not found in File Name: " + (text.empty() ? L"%ERR%" : text);
}

}  // namespace

PictureCheck CheckPicture(std::wstring_view path, std::string_view head, std::wstring_view hiResExtension,
                          std::wstring_view loResExtension) {
    const std::wstring_view extension = ExtensionOf(path);
    if (!NamedAsPicture(extension, hiResExtension, loResExtension)) return PictureCheck::NotByName;
    for (const KindOfExtension& k : kExtensions)
        if (str::EqualsI(extension, k.extension)) return BeginsAs(head, k.kind) ? PictureCheck::Picture
                                                                                 : PictureCheck::NotItsKind;
    return PictureCheck::NotItsKind;  // a kind whose files cannot say what they are
}

ShowFilePlan PlanShowFile(const std::wstring& path, std::wstring_view mode, const std::wstring& viewerPath,
                          std::wstring_view hiResExtension, std::wstring_view loResExtension) {
    ShowFilePlan plan;
    if (path.empty()) return plan;
    if (mode == L"transferonly") {
        plan.journal = L"TransferOnly: " + path;
        plan.shown = true;
        return plan;
    }
    if (!NamedAsPicture(ExtensionOf(path), hiResExtension, loResExtension)) {
        plan.journal = L"TransferOnlyByExtension: " + path;
        return plan;
    }
    if (CheckPicture(path, FirstBytes(path), hiResExtension, loResExtension) != PictureCheck::Picture) {
        plan.journal = L"Not shown, the file is not the picture its name says: " + path;
        return plan;
    }
    plan.journal = L"View: " + path;
    plan.shown = true;
    if (mode == L"systemonly" || viewerPath.empty()) {
        plan.open = Opener::Association;
        plan.extension = ExtensionOf(path);
        plan.notOpened = L"No program is set to open " + plan.extension + L" files: " + path;
        return plan;
    }
    // nomacs opens every file in a window of its own; close the old one first.
    plan.closeRunningViewer = mode == L"nomacs";
    plan.open = Opener::Viewer;
    plan.notOpened = L"The viewer could not be started: " + viewerPath;
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
