// The backup thread: takes what the store handed over, copies the queue's
// pictures in order, waits for a backup drive that is gone, and says in the
// journal and on button 7's lower lamp how it goes.
#include "app/backup.h"

#include <windows.h>

#include <algorithm>
#include <chrono>

#include "base/fs.h"
#include "model/common/ids.h"
#include "model/settings/folders.h"

namespace app {

namespace {

// After a copy the queue file is written at most this often (a picture
// copied twice after a kill is found there and costs a read, nothing more).
constexpr int64_t kSaveEveryNs = int64_t{2} * 1000000000;
// How long the backup pauses after the user acted on the bar: the key goes
// out and the viewer starts on the next picture without the disk and the
// processor being taken; between clicks the backup goes on.
constexpr int64_t kQuietNs = int64_t{200} * 1000000;
constexpr DWORD kQuietPollMs = 20;

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }
std::wstring NameOf(const std::wstring& path) { return path.substr(path.find_last_of(L'\\') + 1); }

}  // namespace

void Backup::Start(const model::Settings& s, std::wstring queueFile) {
    if (s.BackupPath.empty() || thread_.joinable()) return;
    settings_ = s;
    queueFile_ = std::move(queueFile);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        accepting_ = true;
    }
    thread_ = std::thread([this] { Run(); });
}

void Backup::Stored(const std::wstring& file) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!accepting_) return;
        handedOver_.push_back(file);
    }
    wake_.notify_one();
}

void Backup::Stop() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        accepting_ = false;
        stop_ = true;
    }
    stopping_ = true;
    wake_.notify_one();
    thread_.join();
}

void Backup::GiveWay() { quietUntil_ = fs::Now() + kQuietNs; }

// Between pieces of a copy: false when the program ends.
bool Backup::GoOn() {
    while (!stopping_ && fs::Now() < quietUntil_) Sleep(kQuietPollMs);
    return !stopping_;
}

// Waits until a file is handed over, the program ends or the time (fs::Now)
// has come; false when the program ends.
bool Backup::Wait(int64_t untilNs) {
    std::unique_lock<std::mutex> lock(mutex_);
    auto ready = [this] { return stop_ || !handedOver_.empty(); };
    if (untilNs == INT64_MAX)
        wake_.wait(lock, ready);
    else
        wake_.wait_for(lock, std::chrono::nanoseconds(std::max<int64_t>(untilNs - fs::Now(), 0)), ready);
    return !stop_;
}

void Backup::TakeHandedOver() {
    std::vector<std::wstring> files;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        files.swap(handedOver_);
    }
    bool added = false;
    for (std::wstring& file : files)
        if (std::optional<std::wstring> place = model::BackupPlace(settings_, file))
            added = queue_.Add({std::move(file), std::move(*place)}) || added;
    if (added) SaveQueue(true);
}

// The backup folder is made once, when its drive is there; a folder that
// goes away later is a drive that is gone (a letter may come back as another
// disk), and is waited for.
bool Backup::FolderThere() {
    if (fs::IsDirectory(settings_.BackupPath)) {
        if (!folderSeen_) {
            folderSeen_ = true;
            std::optional<std::wstring> store = fs::DriveOf(settings_.SourcePath);
            if (store && store == fs::DriveOf(settings_.BackupPath))
                events_.Journal(model::SameDriveWarning(settings_.BackupPath));
        }
        return true;
    }
    return !folderSeen_ && model::EnsureFolder(settings_.BackupPath) && FolderThere();
}

// Every stored picture whose copy the backup lacks (by size and time) is
// queued, oldest first, once the backup folder is there.
void Backup::LookThroughStore() {
    looked_ = true;
    const size_t before = queue_.Size();
    for (const model::BackedUpFolder& f : model::BackedUpFolders(settings_)) {
        const std::wstring into = settings_.BackupPath + L"\\" + f.place;
        model::SweepPartFolder(into);
        std::vector<fs::FileEntry> files = fs::ListFiles(f.folder);
        std::sort(files.begin(), files.end(), [](const fs::FileEntry& a, const fs::FileEntry& b) {
            return a.modified < b.modified;
        });
        const model::FileLookup backup = model::FolderOnDisk(into);
        for (const fs::FileEntry& file : files)
            if (file.size > 0 && !model::InBackup(backup, file.name, file))
                (void)queue_.Add({f.folder + L"\\" + file.name, f.place + L"\\" + file.name});
    }
    if (queue_.Size() > before) {
        report_.Waited();
        events_.Journal(L"Backup: " + std::to_wstring(queue_.Size()) + L" pictures wait for " + settings_.BackupPath);
        SaveQueue(true);
    }
}

void Backup::SetLamp(model::Lamp lamp) {
    if (lamp == lamp_) return;
    lamp_ = lamp;
    events_.Lamp(model::ids::kLogButton, lamp, model::LampAt::Bottom);
}

void Backup::Fail(const std::wstring& file, const std::wstring& why) {
    if (std::optional<std::wstring> line = report_.Failed(file, why, queue_.Size(), fs::Now())) events_.Journal(*line);
    SetLamp(model::Lamp::Red);
}

void Backup::SaveQueue(bool now) {
    const int64_t t = fs::Now();
    if (!queue_.Dirty() || (!now && t - savedAt_ < kSaveEveryNs && !queue_.Empty())) return;
    savedAt_ = t;
    if (queue_.Save() || queueUnwritable_) return;
    queueUnwritable_ = true;
    events_.Journal(L"Backup: the list of waiting pictures cannot be written: " + queueFile_ + L" (" +
                    fs::LastErrorText() + L")");
}

void Backup::CopyFront() {
    const model::BackupQueue::Entry entry = queue_.Front();
    std::optional<fs::FileEntry> facts = fs::FileFacts(entry.stored);
    if (!facts || facts->size == 0) {
        events_.Journal(L"Not backed up, the stored file is gone: " + entry.stored);
        queue_.PopFront();
        return;
    }
    const std::wstring dir = FolderOf(settings_.BackupPath + L"\\" + entry.place);
    const std::wstring name = NameOf(entry.place);
    if (!FolderThere()) return Fail(settings_.BackupPath, L"the backup folder is not there");
    if (!fs::CreateDirs(dir)) return Fail(dir, fs::LastErrorText());
    const model::BackupPlan plan =
        model::PlanBackup(model::FolderOnDisk(dir), name, *facts, [&](const std::wstring& there) {
            return model::CompareWithStored(entry.stored, dir + L"\\" + there);
        });
    using Action = model::BackupPlan::Action;
    if (plan.action == Action::NoName) {
        events_.Journal(L"Not backed up: every name beside " + dir + L"\\" + name + L" is taken");
        queue_.PopFront();
        return;
    }
    if (plan.action != Action::Present) {
        const std::wstring target = dir + L"\\" + plan.name, parts = model::PartFolder(dir);
        const std::wstring part = parts + L"\\backup.part";
        if (!fs::CreateDirs(parts)) return Fail(target, fs::LastErrorText());
        switch (fs::CopyVerified(entry.stored, part, [this] { return GoOn(); })) {
        case fs::CopyOutcome::Copied: break;
        case fs::CopyOutcome::Stopped: return;
        case fs::CopyOutcome::Differs: return Fail(target, L"the copy read back differs from the stored file");
        case fs::CopyOutcome::Failed: return Fail(target, fs::LastErrorText());
        }
        // An empty file in the way is a copy that failed.
        if (plan.action == Action::Copy && fs::FileSize(target) == std::optional<uint64_t>(0))
            (void)fs::DeleteFileAt(target);
        const bool placed = plan.action == Action::Replace ? fs::MoveFileReplacing(part, target)
                                                           : fs::MoveFileNew(part, target);
        if (!placed) {
            const std::wstring why = fs::LastErrorText();
            (void)fs::DeleteFileAt(part);
            return Fail(target, why);
        }
        if (queue_.Size() == 1) (void)fs::RemoveDir(parts);  // kept while more follow
        if (plan.name != name) events_.Journal(L"Backup: " + model::BesideText(name, plan.name));
    }
    queue_.PopFront();
    report_.Copied();
}

void Backup::Run() {
    // The viewer and the card come first; the backup has the time they leave.
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
    if (std::optional<std::wstring> why = queue_.Open(queueFile_))
        events_.Journal(L"Backup: the list of waiting pictures cannot be read, the store is looked through: " +
                        queueFile_ + L" (" + *why + L")");
    if (!queue_.Empty()) report_.Waited();
    while (!stopping_) {
        TakeHandedOver();
        if (!looked_ && FolderThere()) LookThroughStore();
        if (queue_.Empty()) {
            SaveQueue(true);
            if (std::optional<std::wstring> line = report_.Drained()) events_.Journal(*line);
            if (lamp_ != model::Lamp::Clear) SetLamp(model::Lamp::Green);
            if (!Wait(looked_ ? INT64_MAX : fs::Now() + model::BackupReport::kRetryNs)) break;
            continue;
        }
        if (!report_.MayTry(fs::Now())) {
            if (!Wait(fs::Now() + model::BackupReport::kRetryNs)) break;
            if (!report_.MayTry(fs::Now())) continue;
        }
        if (!report_.Failing()) SetLamp(model::Lamp::Yellow);
        CopyFront();
        SaveQueue(false);
    }
    SaveQueue(true);
}

}  // namespace app
