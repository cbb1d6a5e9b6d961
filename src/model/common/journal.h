// Time stamps, journal lines, the log file name and the UTF-8 text writer.
#pragma once

#include <cstdint>
#include <string>

namespace model {

struct LocalTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// The local date and time now.
LocalTime NowLocal();
// Mode 0 "DD.MM.YYYY HH:MM:SS", 1 the date, 2 the time, other modes "".
std::wstring FormatDateTime(const LocalTime& t, int mode);
// FormatDateTime of the current local time.
std::wstring own_DateTime(int mode);
// "0" + text for texts shorter than 2 characters, else the text.
std::wstring own_LeadingNull(const std::wstring& text);
// Writes text as UTF-8 (no byte-order mark, no added line end). Refuses an
// existing non-empty file unless `overwrite`; true when written.
bool own_SaveTextFile(const std::wstring& fileName, const std::wstring& text, bool overwrite);
// One journal line: stamp, blank, message, carriage return.
std::wstring JournalLine(const std::wstring& timeStamp, const std::wstring& message);
// Proposed name for a saved journal: "Wemlox_Log_YYYYMMDDHHMM.txt".
std::wstring LogFileName(const LocalTime& t);

}  // namespace model
