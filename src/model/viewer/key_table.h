// The window class of each known viewer and what the viewer buttons (1 to 5
// and 9) do with it: which keys they send, and whether the bar is raised after.
#pragma once

#include <cstdint>
#include <string_view>

namespace model {

// Windows virtual-key codes the buttons send (kept here, free of <windows.h>).
namespace vkey {
constexpr uint8_t kTab = 0x09, kShift = 0x10, kControl = 0x11, kAlt = 0x12, kEscape = 0x1B;
constexpr uint8_t kLeft = 0x25, kRight = 0x27;
constexpr uint8_t kDigit0 = 0x30, kDigit1 = 0x31, kDigit2 = 0x32, kLetterC = 0x43, kLetterQ = 0x51;
constexpr uint8_t kNumpad0 = 0x60, kNumpad1 = 0x61, kNumpadMultiply = 0x6A, kNumpadDivide = 0x6F;
constexpr uint8_t kF4 = 0x73, kF8 = 0x77;
}  // namespace vkey

// One key with up to two modifiers held around it.
struct KeyChord {
    uint8_t modifiers[2] = {0, 0};  // pressed in this order, released in the same order
    uint8_t modifierCount = 0;
    uint8_t key = 0;
    friend bool operator==(const KeyChord&, const KeyChord&) = default;
};

// Alt+F4, which closes the viewer.
inline constexpr KeyChord kCloseWindowChord{{vkey::kAlt, 0}, 1, vkey::kF4};

enum class ViewerAction : uint8_t {
    None,             // the button leaves the viewer alone
    SendKeys,         // the chord goes to the viewer's window
    CopyToSelection,  // the shown file (from the window title) is copied
};

struct ViewerCommand {
    ViewerAction action = ViewerAction::None;
    KeyChord chord;
    bool raiseBar = false;  // bring the bar back above the viewer afterwards
};

// Window class searched for a viewer id ("irfan", "fast", "xnview", "nomacs",
// "ps"); nullptr for any other mode. Ids are compared exactly.
const wchar_t* ViewerWindowClass(std::wstring_view viewerId);

// What a viewer button does in the working mode. Buttons other than 1 to 5
// and 9, and modes that are no viewer id, give ViewerAction::None.
ViewerCommand ViewerCommandFor(int button, std::wstring_view mode);

}  // namespace model
