// Card names as program text: how they go into a request URL, and which of
// them may become a local file name. No platform headers.
#pragma once

#include <string>
#include <string_view>

namespace card {

// Percent-encodes every byte except A-Z a-z 0-9 - . _ ~ and "/", so a name
// with blanks, "&", "#", "%" or bytes 0x80-0xFF survives as one query value.
std::string PercentEncode(std::string_view bytes);
// The card path as it goes into a URL: percent-encoded bytes as text.
std::wstring UrlPathFromBytes(std::string_view bytes);
// The same for a path held as program text (sent as UTF-8).
std::wstring UrlPath(std::wstring_view path);

// True when the card's name can be used as a file name inside a local folder
// without reaching anything else: not empty, no separator, drive or stream
// mark, no wildcard or other character Windows refuses, no control
// character, not "." or "..", no trailing dot or blank (Windows drops them,
// naming another file), no device name (CON, NUL, COM1, ...), at most 255
// characters.
bool IsSafeLocalName(std::wstring_view name);

// The text with control characters shown as "?", for journal lines.
std::wstring Printable(std::wstring_view text);

}  // namespace card
