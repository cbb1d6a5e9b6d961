// Card names in URLs and as local file names.
#include "model/pictures/card_text.h"

#include <array>

#include "base/str.h"

namespace model {

namespace {

bool IsUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

bool IsControl(wchar_t c) { return c < 0x20 || c == 0x7F; }

bool IsRefusedByWindows(wchar_t c) {
    return c == L'\\' || c == L'/' || c == L':' || c == L'*' || c == L'?' || c == L'"' || c == L'<' ||
           c == L'>' || c == L'|';
}

// Windows maps these names to devices in any folder and with any extension.
bool IsDeviceName(std::wstring_view name) {
    std::wstring_view base = name.substr(0, name.find(L'.'));
    while (!base.empty() && base.back() == L' ') base.remove_suffix(1);
    static constexpr std::array<std::wstring_view, 6> kPlain = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$",
                                                                L"CONOUT$"};
    for (std::wstring_view device : kPlain)
        if (str::EqualsI(base, device)) return true;
    if (base.size() != 4) return false;
    bool port = str::EqualsI(base.substr(0, 3), L"COM") || str::EqualsI(base.substr(0, 3), L"LPT");
    wchar_t n = base[3];
    return port && ((n >= L'0' && n <= L'9') || n == 0xB9 || n == 0xB2 || n == 0xB3);
}

}  // namespace

std::string PercentEncode(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        auto c = static_cast<unsigned char>(ch);
        if (IsUnreserved(c) || c == '/') {
            out.push_back(ch);
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        }
    }
    return out;
}

std::wstring UrlPathFromBytes(std::string_view bytes) {
    std::string encoded = PercentEncode(bytes);
    return std::wstring(encoded.begin(), encoded.end());  // ASCII only
}

std::wstring UrlPath(std::wstring_view path) { return UrlPathFromBytes(str::ToUtf8(path)); }

std::wstring CardFileUrl(const std::wstring& host, const std::wstring& cardDir, const std::wstring& name,
                         const std::string& rawDirectory, const std::string& rawName) {
    std::wstring dir = cardDir;
    if (!str::StartsWith(dir, L"/")) dir = L"/" + dir;
    if (!str::EndsWith(dir, L"/")) dir += L"/";
    size_t query = dir.find(L'?');
    std::wstring cgi = query == std::wstring::npos ? L"" : dir.substr(0, query + 1);
    std::wstring folder = UrlPath(query == std::wstring::npos ? dir : dir.substr(query + 1));
    if (!rawDirectory.empty()) {
        // The thumbnail request has its own "/" before the folder's.
        std::string bytes = cgi.empty() ? "" : "/";
        if (rawDirectory[0] != '/') bytes += '/';
        bytes += rawDirectory;
        bytes += '/';
        folder = UrlPathFromBytes(bytes);
    }
    std::wstring file = rawName.empty() ? UrlPath(name) : UrlPathFromBytes(rawName);
    return L"http://" + host + cgi + folder + file;
}

bool IsSafeLocalName(std::wstring_view name) {
    if (name.empty() || name.size() > 255) return false;
    if (name == L"." || name == L"..") return false;
    if (name.back() == L'.' || name.back() == L' ') return false;
    for (wchar_t c : name)
        if (IsControl(c) || IsRefusedByWindows(c)) return false;
    return !IsDeviceName(name);
}

bool IsSafeCardFolder(std::wstring_view folder) {
    if (folder.empty() || folder == L"/") return true;
    if (folder.front() == L'/') folder.remove_prefix(1);
    for (;;) {
        size_t slash = folder.find(L'/');
        if (!IsSafeLocalName(folder.substr(0, slash))) return false;  // an empty segment is refused too
        if (slash == std::wstring_view::npos) return true;
        folder.remove_prefix(slash + 1);
    }
}

std::optional<std::wstring> SsidFromAnswer(std::string_view answer) {
    if (answer.size() >= 2 && answer.substr(answer.size() - 2) == "\r\n")
        answer.remove_suffix(2);
    else if (!answer.empty() && answer.back() == '\n')
        answer.remove_suffix(1);
    if (answer.empty() || answer.size() > kSsidMaxBytes) return std::nullopt;
    for (char c : answer)
        if (IsControl(static_cast<wchar_t>(static_cast<unsigned char>(c)))) return std::nullopt;
    // Pages start with a tag or a doctype; an SSID starting with "<" and
    // holding a ">" is not worth the risk of taking a router for the card.
    size_t text = answer.find_first_not_of(' ');
    if (text != std::string_view::npos && answer[text] == '<' && answer.find('>') != std::string_view::npos)
        return std::nullopt;
    return str::FromUtf8(answer);
}

std::wstring Printable(std::wstring_view text) {
    std::wstring out(text);
    for (wchar_t& c : out)
        if (IsControl(c)) c = L'?';
    return out;
}

}  // namespace model
