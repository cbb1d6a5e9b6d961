// Picture identity and the stored file that is a picture.
#include "model/pictures/picture.h"

#include "base/str.h"
#include "model/settings/folders.h"

namespace model {

namespace {

std::wstring_view WithoutSlashes(std::wstring_view folder) {
    while (!folder.empty() && folder.front() == L'/') folder.remove_prefix(1);
    while (!folder.empty() && folder.back() == L'/') folder.remove_suffix(1);
    return folder;
}

}  // namespace

std::wstring PictureId::PlaceKey() const { return fs::NameKey(WithoutSlashes(folder)) + L"/" + fs::NameKey(name); }

std::wstring PictureId::Key() const {
    return PlaceKey() + L"|" + std::to_wstring(size) + L"|" + std::to_wstring(date) + L"|" + std::to_wstring(time);
}

PictureId IdOf(const CardFileRecord& r) { return {r.Directory, r.Name, r.Size, r.RawDate, r.RawTime}; }

std::optional<int64_t> CardTime(int32_t date, int32_t time) {
    if (date <= 0 || date > 0xFFFF || time < 0 || time > 0xFFFF) return std::nullopt;
    int year = 1980 + ((date >> 9) & 0x7F), month = (date >> 5) & 0x0F, day = date & 0x1F;
    int hour = (time >> 11) & 0x1F, minute = (time >> 5) & 0x3F, second = (time & 0x1F) * 2;
    if (month < 1 || month > 12 || day < 1 || hour > 23 || minute > 59 || second > 59) return std::nullopt;
    return fs::LocalTimeToFileTime(year, month, day, hour, minute, second);
}

FileLookup FolderOnDisk(std::wstring folder) {
    return [folder = std::move(folder)](const std::wstring& name) -> std::optional<fs::FileEntry> {
        std::optional<fs::FileEntry> f = fs::FileFacts(folder + L"\\" + name);
        if (!f || f->size == 0) return std::nullopt;
        return f;
    };
}

std::wstring BesideName(std::wstring_view name, int n) {
    if (n <= 1) return std::wstring(name);
    size_t dot = name.find_last_of(L'.');
    if (dot == 0 || dot == std::wstring_view::npos) dot = name.size();
    const std::wstring_view stem = name.substr(0, dot), extension = name.substr(dot);
    const std::wstring number = L"-" + std::to_wstring(n);
    if (stem.size() + number.size() + extension.size() <= kMaxNameLength)
        return std::wstring(stem) + number + std::wstring(extension);
    const std::wstring mark = L"~" + str::Hex(str::Hash64(str::ToUtf8(name)), 8);
    const size_t fixed = mark.size() + number.size() + extension.size();
    if (fixed >= kMaxNameLength) return L"";
    size_t room = kMaxNameLength - fixed;
    if (room > 0 && stem[room - 1] >= 0xD800 && stem[room - 1] <= 0xDBFF) room--;  // not half a pair
    return std::wstring(stem.substr(0, room)) + mark + number + std::wstring(extension);
}

FileMatch MatchStoredFile(const fs::FileEntry& file, const PictureId& id, int64_t since) {
    if (id.size <= 0 || file.size != static_cast<uint64_t>(id.size)) return FileMatch::Different;
    std::optional<int64_t> cardTime = CardTime(id);
    if (!cardTime || file.modified < since) return FileMatch::Undecided;
    constexpr int64_t kHourNs = int64_t{3600} * 1000000000;
    const int64_t apart = file.modified - *cardTime, distance = apart < 0 ? -apart : apart;
    if (distance <= kTimeSlackNs) return FileMatch::Same;
    const int64_t hours = (distance + kHourNs / 2) / kHourNs, rest = distance - hours * kHourNs;
    const bool wholeHours = hours <= kMaxZoneHours && rest <= kTimeSlackNs && rest >= -kTimeSlackNs;
    return wholeHours ? FileMatch::Undecided : FileMatch::Different;
}

bool PlaceFile(const std::wstring& from, const std::wstring& to, std::optional<int64_t> time, bool replace,
               std::wstring& why) {
    const std::wstring parts = PartFolder(to.substr(0, to.find_last_of(L'\\')));
    // Named after the download: each source has its own, so two sources
    // placing at once never meet in one part file.
    const std::wstring part = parts + L"\\" + from.substr(from.find_last_of(L"\\/") + 1);
    // Another source may remove the helper folder the moment it was made.
    bool ok = fs::CreateDirs(parts) && (fs::MoveFileReplacing(from, part) ||
                                        (fs::CreateDirs(parts) && fs::MoveFileReplacing(from, part)));
    if (ok) {
        if (time) (void)fs::SetLastWriteTime(part, *time);
        if (!replace && fs::FileSize(to) == std::optional<uint64_t>(0)) (void)fs::DeleteFileAt(to);
        ok = replace ? fs::MoveFileReplacing(part, to) : fs::MoveFileNew(part, to);
    }
    if (!ok) {
        why = fs::LastErrorText();
        // The download stays where it was, for another try.
        if (!fs::MoveFileReplacing(part, from)) (void)fs::DeleteFileAt(part);
    }
    (void)fs::RemoveDir(parts);
    return ok;
}

void SweepPartFolder(const std::wstring& folder, const std::wstring& own) {
    const std::wstring parts = PartFolder(folder);
    for (const fs::FileEntry& f : fs::ListFiles(parts))
        if (own.empty() || str::EqualsI(f.name, own) || str::EqualsI(f.name, own + L".probe") ||
            str::EqualsI(f.name, L"picture.part"))
            (void)fs::DeleteFileAt(parts + L"\\" + f.name);
    (void)fs::RemoveDir(parts);
}

std::wstring BesideText(std::wstring_view name, std::wstring_view storedAs) {
    return L"Another picture has the name " + std::wstring(name) + L": this one is stored beside it as " +
           std::wstring(storedAs);
}

std::optional<std::wstring> StoredName(const FileLookup& lookup, const PictureId& id, int64_t since) {
    std::optional<std::wstring> stored;
    (void)WalkBesideNames(id.name, lookup, [&](const std::wstring& name, const fs::FileEntry& file, int) {
        if (StoredFileIs(file, id, since)) stored = file.name.empty() ? name : file.name;
        return stored.has_value();
    });
    return stored;
}

std::vector<std::wstring> UndecidedNames(const FileLookup& lookup, const PictureId& id, int64_t since) {
    std::vector<std::wstring> names;
    (void)WalkBesideNames(id.name, lookup, [&](const std::wstring& name, const fs::FileEntry& file, int) {
        if (MatchStoredFile(file, id, since) == FileMatch::Undecided) names.push_back(file.name.empty() ? name : file.name);
        return false;
    });
    return names;
}

std::optional<std::wstring> SameBytes(const std::wstring& file, const std::wstring& dir,
                                      const std::vector<std::wstring>& names) {
    const std::optional<uint64_t> size = fs::FileSize(file);
    for (const std::wstring& name : names) {
        const std::wstring other = dir + L"\\" + name;
        if (size && fs::FileSize(other) == size && fs::BeginsWithFile(file, other)) return name;
    }
    return std::nullopt;
}

std::optional<std::wstring> FreeName(const FileLookup& lookup, std::wstring_view name) {
    return WalkBesideNames(name, lookup, [](const std::wstring&, const fs::FileEntry&, int) { return false; });
}

bool HasCardThumbnail(std::wstring_view name) { return str::EndsWithI(name, L"jpg") || str::EndsWithI(name, L"jpeg"); }

}  // namespace model
