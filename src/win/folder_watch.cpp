// Change notices through FindFirstChangeNotification.
#include "win/folder_watch.h"

namespace win {

FolderWatch::FolderWatch() : wake_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

bool FolderWatch::Watch(const std::wstring& folder) {
    Close();
    notice_ = FindFirstChangeNotificationW(folder.c_str(), TRUE,
                                           FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                                               FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE);
    return Watching();
}

void FolderWatch::Close() {
    if (Watching()) FindCloseChangeNotification(notice_);
    notice_ = INVALID_HANDLE_VALUE;
}

FolderWatch::Woken FolderWatch::Wait(unsigned ms) {
    HANDLE handles[2] = {wake_.get(), notice_};
    const DWORD count = Watching() ? 2 : 1;
    const DWORD woken = WaitForMultipleObjects(count, handles, FALSE, ms);
    if (woken == WAIT_OBJECT_0) return Woken::Wake;
    if (woken != WAIT_OBJECT_0 + 1) return Woken::Timeout;
    // A folder that went away ends its notices: it is watched again once back.
    if (!FindNextChangeNotification(notice_)) Close();
    return Woken::Notice;
}

bool FolderWatch::Pause(unsigned ms) { return WaitForSingleObject(wake_.get(), ms) == WAIT_OBJECT_0; }

void FolderWatch::Wake() { SetEvent(wake_.get()); }

}  // namespace win
