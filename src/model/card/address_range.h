// The card addresses of a [TFA] Url: one host, or a dotted IPv4 address whose
// fourth field is a range ("201-209") or "*" (1-254). No platform headers.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace model {

// The addresses prefix + lower .. prefix + upper, ascending.
struct AddressSweep {
    std::wstring prefix;  // the first three fields with their dots, e.g. "192.168.0."
    int lower = 1, upper = 254;
    std::wstring Host(int n) const;
    friend bool operator==(const AddressSweep&, const AddressSweep&) = default;
};

// The n-th "."-separated field, counted from 1; empty when missing.
std::wstring UrlField(std::wstring_view url, size_t n);
// True when the text names more than one address: a dotted IPv4 address
// whose first three fields are numbers and whose fourth holds "*" or "-".
// A host name ("my-card") is one host, hyphen or not.
bool IsAddressRange(std::wstring_view text);
// The sweep of a Url that IsAddressRange; nothing otherwise. Bounds are
// clamped to 1..254 and swapped when given downwards.
std::optional<AddressSweep> SweepOf(std::wstring_view url);

}  // namespace model
