// The bar's own popup menu (a right click on the bar or a button), the
// About text, and the per-user Run entry that starts the program with
// Windows: the texts and rules, free of any window or registry.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace model {

enum class BarMenuItem { Settings, OpenPictureFolder, StartWithWindows, About, End };

struct BarMenuEntry {
    BarMenuItem item;
    int id;                 // the menu item's id (model::ids)
    const wchar_t* text;
    bool separatorBefore;
};
// The items, top to bottom.
extern const BarMenuEntry kBarMenu[5];
std::optional<BarMenuItem> BarMenuItemOf(int id);

// The About box: the program, its version, where its settings file and the
// pictures are.
std::wstring AboutText(const std::wstring& settingsFile, const std::wstring& pictureFolder);

// The name of the program's value under the user's Run key.
inline constexpr const wchar_t* kRunValueName = L"Wemlox";
// The Run value that starts this program: its path in quotes.
std::wstring RunCommand(const std::wstring& programFile);
// Whether a Run value starts this program file (quoted or not, any case).
bool RunCommandStarts(std::wstring_view command, std::wstring_view programFile);

}  // namespace model
