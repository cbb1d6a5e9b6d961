// The bar's popup menu, the About text and the Run entry's value.
#include "model/bar/bar_menu.h"

#include "base/str.h"
#include "model/common/ids.h"
#include "model/settings/settings.h"

namespace model {

const BarMenuEntry kBarMenu[5] = {
    {BarMenuItem::Settings, ids::kBarMenuSettings, L"Settings\u2026", false},
    {BarMenuItem::OpenPictureFolder, ids::kBarMenuPictureFolder, L"Open picture folder", false},
    {BarMenuItem::StartWithWindows, ids::kBarMenuStartWithWindows, L"Start with Windows", false},
    {BarMenuItem::About, ids::kBarMenuAbout, L"About Wemlox", true},
    {BarMenuItem::End, ids::kBarMenuEnd, L"End Wemlox", true},
};

std::optional<BarMenuItem> BarMenuItemOf(int id) {
    for (const BarMenuEntry& e : kBarMenu)
        if (e.id == id) return e.item;
    return std::nullopt;
}

std::wstring AboutText(const std::wstring& settingsFile, const std::wstring& pictureFolder) {
    return std::wstring(kProgramLongName) + L"\nVersion " + kProgramVersion + L"\n\nSettings file:\n" + settingsFile +
           L"\n\nPictures:\n" + pictureFolder;
}

std::wstring RunCommand(const std::wstring& programFile) { return L"\"" + programFile + L"\""; }

bool RunCommandStarts(std::wstring_view command, std::wstring_view programFile) {
    std::wstring c = str::Trim(command);
    std::wstring_view program = c;
    if (!program.empty() && program[0] == L'"') {
        size_t close = program.find(L'"', 1);
        program = program.substr(1, close == std::wstring_view::npos ? std::wstring_view::npos : close - 1);
    }
    return !program.empty() && str::EqualsI(program, programFile);
}

}  // namespace model
