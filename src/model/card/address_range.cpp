// Address ranges of [TFA] Url.
#include "model/card/address_range.h"

#include <algorithm>

#include "base/str.h"

namespace model {

namespace {

constexpr int kLowestHost = 1, kHighestHost = 254;

int Bound(std::wstring_view text) {
    int64_t v = str::LeadingInt(text);
    return static_cast<int>(std::clamp<int64_t>(v, kLowestHost, kHighestHost));
}

}  // namespace

std::wstring AddressSweep::Host(int n) const { return prefix + str::FromInt(n); }

std::wstring UrlField(std::wstring_view url, size_t n) {
    size_t start = 0;
    for (size_t field = 1; field < n; field++) {
        size_t dot = url.find(L'.', start);
        if (dot == std::wstring_view::npos) return L"";
        start = dot + 1;
    }
    return std::wstring(url.substr(start, url.find(L'.', start) - start));
}

bool IsAddressRange(std::wstring_view text) {
    for (size_t n = 1; n <= 3; n++) {
        std::wstring field = UrlField(text, n);
        if (field.empty() || field.size() > 3 || field.find_first_not_of(L"0123456789") != std::wstring::npos)
            return false;
    }
    return UrlField(text, 4).find_first_of(L"*-") != std::wstring::npos;
}

std::optional<AddressSweep> SweepOf(std::wstring_view url) {
    if (!IsAddressRange(url)) return std::nullopt;
    std::wstring field = UrlField(url, 4);
    if (field.find(L'*') != std::wstring::npos) field = L"1-254";
    std::wstring_view f = field;
    size_t dash = f.find(L'-');
    std::wstring_view rest = f.substr(dash + 1);
    AddressSweep sweep;
    sweep.lower = Bound(f.substr(0, dash));
    sweep.upper = Bound(rest.substr(0, rest.find(L'-')));
    if (sweep.upper < sweep.lower) std::swap(sweep.lower, sweep.upper);
    // A fourth field exists, so the Url has at least three dots.
    size_t third = 0;
    for (int i = 0; i < 3; i++) third = url.find(L'.', i == 0 ? 0 : third + 1);
    sweep.prefix = std::wstring(url.substr(0, third + 1));
    return sweep;
}

}  // namespace model
