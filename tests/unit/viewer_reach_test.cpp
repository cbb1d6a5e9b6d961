#include "model/viewer/viewer_reach.h"

#include <gtest/gtest.h>

#include <optional>

TEST(ViewerReach, InputIsBlockedOnlyByAKnownHigherLevel) {
    using namespace model::integrity;
    const std::optional<uint32_t> unread;
    struct Case {
        const char* what;
        model::ProcessRights own, viewer;
        bool blocked;
    } cases[] = {
        {"both as the user", {kMedium}, {kMedium}, false},
        {"viewer started as administrator", {kMedium}, {kHigh}, true},
        {"viewer a system process", {kMedium}, {kSystem}, true},
        {"viewer one step above", {kMedium}, {kMediumPlus}, true},
        {"both as administrator", {kHigh}, {kHigh}, false},
        {"only the program as administrator", {kHigh}, {kMedium}, false},
        {"program in a low-rights sandbox", {kLow}, {kMedium}, true},
        {"program with the accessibility right", {kMedium, true}, {kHigh}, false},
        {"viewer's rights unreadable", {kMedium}, {unread}, false},
        {"own rights unreadable", {unread}, {kHigh}, false},
        {"neither readable", {unread}, {unread}, false},
    };
    for (const Case& c : cases) EXPECT_EQ(InputBlockedByRights(c.own, c.viewer), c.blocked) << c.what;
}
