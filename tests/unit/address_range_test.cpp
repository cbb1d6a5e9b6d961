#include "model/card/address_range.h"

#include <gtest/gtest.h>

#include "base/str.h"

TEST(AddressRange, Sweeps) {
    struct Case { const wchar_t* url; std::optional<model::AddressSweep> sweep; } cases[] = {
        {L"192.168.0.201-209", model::AddressSweep{L"192.168.0.", 201, 209}},
        {L"192.168.0.209-201", model::AddressSweep{L"192.168.0.", 201, 209}},
        {L"192.168.0.*", model::AddressSweep{L"192.168.0.", 1, 254}},
        {L"127.0.0.2*", model::AddressSweep{L"127.0.0.", 1, 254}},
        {L"192.168.0.201-", model::AddressSweep{L"192.168.0.", 1, 201}},
        {L"192.168.0.0-300", model::AddressSweep{L"192.168.0.", 1, 254}},
        {L"192.168.0.-", model::AddressSweep{L"192.168.0.", 1, 1}},
        {L"192.168.0.x-y", model::AddressSweep{L"192.168.0.", 1, 1}},
        {L"10.0.0.5-7-9", model::AddressSweep{L"10.0.0.", 5, 7}},
        {L"10.0.0.99999999999999999999-3", model::AddressSweep{L"10.0.0.", 3, 254}},
        {L"10.0.0.5-6.7", model::AddressSweep{L"10.0.0.", 5, 6}},
        {L"192.168.0.1", std::nullopt},
        {L"my-card.local", std::nullopt},  // a host name has no fourth field
        {L"10.0.0", std::nullopt},
        {L"", std::nullopt},
    };
    for (auto& c : cases) EXPECT_EQ(model::SweepOf(c.url), c.sweep) << str::ToUtf8(c.url);
}

TEST(AddressRange, FieldsAndHosts) {
    EXPECT_EQ(model::UrlField(L"a.b.c.d", 1), L"a");
    EXPECT_EQ(model::UrlField(L"a.b.c.d", 4), L"d");
    EXPECT_EQ(model::UrlField(L"a.b", 4), L"");
    EXPECT_EQ(model::UrlField(L"a.b.c.", 4), L"");
    EXPECT_EQ((model::AddressSweep{L"127.0.0.", 1, 2}.Host(7)), L"127.0.0.7");
}

// Only a dotted address with a range in its fourth field is swept; every
// other text is asked as one host.
TEST(AddressRange, AHostNameIsOneHostWhateverItHolds) {
    struct Case { const wchar_t* text; bool range; } cases[] = {
        {L"1.2.3.*", true},
        {L"1.2.3.4-5", true},
        {L"192.168.0.201-", true},
        {L"1.2.3.4", false},
        {L"my-card", false},
        {L"my-card.local", false},
        {L"card-1.home.lan.a-b", false},
        {L"x.y.z.*", false},
        {L"1.2-3.4.5", false},
        {L"1.2.3", false},
        {L"*", false},
        {L"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(model::IsAddressRange(c.text), c.range) << str::ToUtf8(c.text);
}
