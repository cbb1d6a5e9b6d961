// The viewers the program knows, the automatic viewer search and the working
// mode derived from [Main] Mode and the viewer found.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace model {

constexpr const wchar_t* kKnownViewersEnd = L">###<";

// Sub-path below a program-files folder, then viewer id, row after row; the
// marker row ends the search. Earlier rows win.
inline constexpr const wchar_t* KnownViewers[] = {
    L"nomacs\\nomacs-x64\\nomacs.exe", L"nomacs",
    L"nomacs\\nomacs-x86\\nomacs.exe", L"nomacs",
    L"IrfanView\\i_view64.exe", L"irfan",
    L"IrfanView\\i_view32.exe", L"irfan",
    L"FastStone Image Viewer\\FSViewer.exe", L"fast",
    L"XnView\\XnView.exe", L"xnview",
    L"Adobe\\Adobe Photoshop CS6 (64 Bit)\\Photoshop.exe", L"ps",
    L"Adobe\\Adobe Photoshop CS6\\Photoshop.exe", L"ps",
    kKnownViewersEnd,
};

// Whether a process that runs programPath is the viewer viewerId: its file
// name is one the table gives that viewer, or that of viewerPath (the viewer
// the user named). Window classes are shared by many programs (every Qt 5
// program has nomacs' class); the program is not. Names ignore case.
bool IsViewerProgram(std::wstring_view viewerId, std::wstring_view programPath, std::wstring_view viewerPath);

// Full path of the first known viewer installed below "programfiles" or
// "programfiles(x86)", or "". Sets foundViewerId on a hit.
std::wstring AutoSearchViewer(std::wstring& foundViewerId);
// Viewer id named by viewerPath, "systemonly" when none.
std::wstring ModeFromViewerPath(const std::wstring& viewerPath);
// The working mode from the raw [Main] Mode value (a missing key reads as
// "systemonly"), the auto-search hit and the viewer path.
std::wstring DeriveMode(const std::wstring& rawMode, bool modeKeyPresent,
                        const std::wstring& foundViewerId, const std::wstring& viewerPath);
// Whether a raw [Main] Mode value yields "transferonly", whatever the viewer:
// start-up needs this before all settings are loaded.
bool DerivesToTransferOnly(const std::wstring& rawMode);

}  // namespace model
