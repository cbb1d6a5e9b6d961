// Whether what the program sends can reach the viewer: the rule over the two
// processes' rights, and the journal lines for a click that did not reach it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace model {

// Windows' mandatory integrity levels (the label's last sub-authority).
namespace integrity {
constexpr uint32_t kLow = 0x1000, kMedium = 0x2000, kMediumPlus = 0x2100, kHigh = 0x3000, kSystem = 0x4000;
}  // namespace integrity

// What the program could read of one process's rights.
struct ProcessRights {
    std::optional<uint32_t> integrity;  // none when the process's token could not be read
    bool uiAccess = false;              // an accessibility tool's right to drive any window
};

// Windows drops input and most messages that a process sends to the windows
// of a process at a higher integrity level (a program started as
// administrator) without telling the sender. True when that is known to be
// the case; when either level is unknown the program cannot tell and does
// not claim it.
[[nodiscard]] bool InputBlockedByRights(const ProcessRights& own, const ProcessRights& viewer);

// Why a click did not reach the viewer.
enum class ViewerRefusal : uint8_t {
    NotBroughtForward,  // another program kept the keyboard
    KeyboardLost,       // another program took the keyboard during the keys
    NotAnswering,       // the viewer's window did not answer in time
    HigherRights,       // Windows blocks the program's input to the viewer
};

// The journal line for a refusal; viewerId names the viewer ("nomacs").
std::wstring RefusalLine(ViewerRefusal why, std::wstring_view viewerId);

}  // namespace model
