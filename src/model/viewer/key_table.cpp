// The viewers' window classes and shortcuts, as one table.
#include "model/viewer/key_table.h"

#include <iterator>

namespace model {

namespace {

using namespace vkey;

constexpr ViewerCommand Keys(uint8_t key) { return {ViewerAction::SendKeys, {{0, 0}, 0, key}, true}; }
constexpr ViewerCommand Keys(uint8_t modifier, uint8_t key) {
    return {ViewerAction::SendKeys, {{modifier, 0}, 1, key}, true};
}
constexpr ViewerCommand Keys(uint8_t first, uint8_t second, uint8_t key) {
    return {ViewerAction::SendKeys, {{first, second}, 2, key}, true};
}
// The bar stays where it is: browsing in nomacs keeps its window in front,
// and after the End keys the program ends anyway.
constexpr ViewerCommand Stay(ViewerCommand c) {
    c.raiseBar = false;
    return c;
}
constexpr ViewerCommand kCopyShownFile{ViewerAction::CopyToSelection, {}, false};
constexpr ViewerCommand kNothing{};

// Columns: buttons 1 (Copy), 2 (1:1), 3 (Fit), 4 (Left), 5 (Right), 9 (End).
constexpr int kButtons[] = {1, 2, 3, 4, 5, 9};

struct ViewerRow {
    const wchar_t* id;
    const wchar_t* windowClass;
    ViewerCommand commands[6];
};

constexpr ViewerRow kViewers[] = {
    {L"irfan", L"FullScreenClass",
     {Keys(kF8), Keys(kDigit1), Keys(kDigit2), Keys(kLeft), Keys(kRight), Stay(Keys(kEscape))}},
    {L"fast", L"TFullScreenWindow",
     {Keys(kLetterC), Keys(kDigit1), Keys(kDigit0), Keys(kLeft), Keys(kRight), Stay(Keys(kEscape))}},
    {L"xnview", L"XmainClass",
     {Keys(kAlt, kLetterC), Keys(kNumpadMultiply), Keys(kNumpadDivide), Keys(kLeft), Keys(kRight),
      Stay(Keys(kEscape))}},
    {L"nomacs", L"Qt5QWindowIcon",
     {kCopyShownFile, Keys(kControl, kDigit1), Keys(kControl, kDigit0), Stay(Keys(kLeft)), Stay(Keys(kRight)),
      Stay(Keys(kCloseWindowChord.modifiers[0], kCloseWindowChord.key))}},
    {L"ps", L"Photoshop",
     {kNothing, Keys(kControl, kNumpad1), Keys(kControl, kNumpad0), Keys(kControl, kShift, kTab),
      Keys(kControl, kTab), Stay(Keys(kControl, kLetterQ))}},
};

const ViewerRow* RowFor(std::wstring_view id) {
    for (const ViewerRow& row : kViewers)
        if (id == row.id) return &row;
    return nullptr;
}

}  // namespace

const wchar_t* ViewerWindowClass(std::wstring_view viewerId) {
    const ViewerRow* row = RowFor(viewerId);
    return row ? row->windowClass : nullptr;
}

ViewerCommand ViewerCommandFor(int button, std::wstring_view mode) {
    const ViewerRow* row = RowFor(mode);
    if (!row) return kNothing;
    for (size_t column = 0; column < std::size(kButtons); column++)
        if (kButtons[column] == button) return row->commands[column];
    return kNothing;
}

}  // namespace model
