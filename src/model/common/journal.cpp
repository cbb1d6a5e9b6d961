// Time stamps, journal lines and the UTF-8 text writer.
#include "model/common/journal.h"

#include <ctime>

#include "base/fs.h"
#include "base/str.h"

namespace model {

LocalTime NowLocal() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
#ifdef _WIN32
    localtime_s(&tm, &now);
#else
    localtime_r(&now, &tm);
#endif
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

static std::wstring TwoDigits(int v) { return own_LeadingNull(str::FromInt(v)); }

std::wstring FormatDateTime(const LocalTime& t, int mode) {
    std::wstring date = TwoDigits(t.day) + L"." + TwoDigits(t.month) + L"." + str::FromInt(t.year);
    std::wstring time = TwoDigits(t.hour) + L":" + TwoDigits(t.minute) + L":" + TwoDigits(t.second);
    switch (mode) {
        case 0: return date + L" " + time;
        case 1: return date;
        case 2: return time;
        default: return L"";
    }
}

std::wstring own_DateTime(int mode) { return FormatDateTime(NowLocal(), mode); }

std::wstring own_LeadingNull(const std::wstring& text) {
    return text.size() < 2 ? L"0" + text : text;
}

bool own_SaveTextFile(const std::wstring& fileName, const std::wstring& text, bool overwrite) {
    auto size = fs::FileSize(fileName);
    bool hasContent = size && *size > 0;
    if (hasContent && !overwrite) return false;
    if (fs::WriteFile(fileName, str::ToUtf8(text))) return true;
    // A cut-off file would look like real content next time (a truncated
    // Wemlox.ini would block every start); nothing of value was there before.
    if (!hasContent && fs::FileSize(fileName)) (void)fs::DeleteFileAt(fileName);
    return false;
}

std::wstring JournalLine(const std::wstring& timeStamp, const std::wstring& message) {
    return timeStamp + L" " + message + L"\r";
}

std::wstring LogFileName(const LocalTime& t) {
    return L"Wemlox_Log_" + str::FromInt(t.year) + TwoDigits(t.month) + TwoDigits(t.day) +
           TwoDigits(t.hour) + TwoDigits(t.minute) + L".txt";
}

}  // namespace model
