// Card names as program text: how they go into a request URL, and which of
// them may become a local file name. No platform headers.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace model {

// Percent-encodes every byte except A-Z a-z 0-9 - . _ ~ and "/", so a name
// with blanks, "&", "#", "%" or bytes 0x80-0xFF survives as one query value.
std::string PercentEncode(std::string_view bytes);
// The card path as it goes into a URL: percent-encoded bytes as text.
std::wstring UrlPathFromBytes(std::string_view bytes);
// The same for a path held as program text (sent as UTF-8).
std::wstring UrlPath(std::wstring_view path);
// The request for a file of the card at `host` in `cardDir`. A CGI part
// ("/thumbnail.cgi?") is kept as it is; the folder and file names are
// percent-encoded, in the card's own spelling (`rawDirectory`, `rawName`)
// when it is known.
std::wstring CardFileUrl(const std::wstring& host, const std::wstring& cardDir, const std::wstring& name,
                         const std::string& rawDirectory, const std::string& rawName);

// True when the card's name can be used as a file name inside a local folder
// without reaching anything else: not empty, no separator, drive or stream
// mark, no wildcard or other character Windows refuses, no control
// character, not "." or "..", no trailing dot or blank (Windows drops them,
// naming another file), no device name (CON, NUL, COM1, ...), at most 255
// characters.
bool IsSafeLocalName(std::wstring_view name);

// True for a listing's folder field that may go into the tree, the journal
// and [TFA] Path: "" or "/" (the card's root), or names that each pass
// IsSafeLocalName, joined by "/", with or without a leading "/". Empty
// segments ("//", a trailing "/") are refused.
bool IsSafeCardFolder(std::wstring_view folder);

// An SSID is 1 to 32 bytes.
inline constexpr size_t kSsidMaxBytes = 32;
// What to read of an op=104 answer: one byte more than an SSID can hold, so
// an answer too long to be one shows as such.
inline constexpr size_t kSsidAnswerBytes = kSsidMaxBytes + 1;
// The card's network name from an op=104 answer; nothing when the answer
// cannot be one: empty, longer than kSsidMaxBytes, holding control
// characters, or an HTML page (a router or captive portal answering in the
// card's place). One line end at the end is not part of the name.
std::optional<std::wstring> SsidFromAnswer(std::string_view answer);

// The text with control characters shown as "?", for journal lines.
std::wstring Printable(std::wstring_view text);

}  // namespace model
