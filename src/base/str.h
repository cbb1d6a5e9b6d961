// String helpers shared by every subsystem: trimming, ASCII-insensitive
// comparison, number parsing and UTF-8 conversion. No platform headers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace str {

std::wstring Trim(std::wstring_view s);
std::wstring ToLower(std::wstring_view s);  // ASCII and Latin-1 letters
wchar_t LowerChar(wchar_t c);

bool EqualsI(std::wstring_view a, std::wstring_view b);
// Position of needle in hay ignoring case, or npos; an empty needle is never found.
size_t FindI(std::wstring_view hay, std::wstring_view needle);
inline bool ContainsI(std::wstring_view hay, std::wstring_view needle) {
    return FindI(hay, needle) != std::wstring_view::npos;
}
bool StartsWith(std::wstring_view s, std::wstring_view prefix);
bool EndsWith(std::wstring_view s, std::wstring_view suffix);
// The same, ignoring case.
inline bool EndsWithI(std::wstring_view s, std::wstring_view suffix) {
    return s.size() >= suffix.size() && EqualsI(s.substr(s.size() - suffix.size()), suffix);
}

// The leading decimal integer of the trimmed text (optional sign), 0 when there
// is none. Saturates at the limits of int64 instead of wrapping.
int64_t LeadingInt(std::wstring_view s);
// LeadingInt clamped into the int range.
int LeadingInt32(std::wstring_view s);

std::wstring FromInt(int64_t v);

// FNV-1a over the bytes: a short, stable mark of a text that cannot be a
// file name itself. Not proof against a collision chosen on purpose.
uint64_t Hash64(std::string_view bytes);
// The low `digits` hex digits of v, in lower case.
std::wstring Hex(uint64_t v, int digits);

// UTF-8 <-> wide. Invalid UTF-8 falls back to one character per byte, so no
// input is ever lost or rejected.
std::string ToUtf8(std::wstring_view s);
std::wstring FromUtf8(std::string_view s);
// Whether every byte belongs to a valid UTF-8 sequence (an empty text does).
bool IsUtf8(std::string_view s);

// UTF-16 code units as bytes (no byte-order mark) <-> wide. An odd last byte
// is dropped; a lone surrogate becomes U+FFFD where wide characters are 32 bits.
std::wstring FromUtf16(std::string_view bytes, bool bigEndian);
std::string ToUtf16(std::wstring_view s, bool bigEndian);

}  // namespace str
