// Handing pictures to the viewer, without the windows: what showing a stored
// file amounts to in each working mode, and copying the picture the viewer
// shows into the selection folder.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "model/info_logic.h"

namespace model {

// What showing a file comes to; the shell carries it out in field order.
struct ShowFilePlan {
    bool closeRunningViewer = false;  // close the viewer's window before launching
    std::wstring journal;             // journal line, empty for none
    std::wstring commandLine;         // launched without waiting, empty for nothing
    bool raiseBar = false;            // bring the bar back above the new viewer
    bool shown = false;               // false: not shown
};

// Extensions are held with their leading "." (as the settings keep them).
ShowFilePlan PlanShowFile(const std::wstring& path, std::wstring_view mode, const std::wstring& viewerPath,
                          std::wstring_view hiResExtension, std::wstring_view loResExtension);


// The picture's file name in a text such as a viewer's title: everything up
// to and including the first occurrence of the extension (ignoring case),
// without any folder part, so a title can never name a file outside the
// picture folders. Nothing when the extension does not occur.
std::optional<std::wstring> CutFileName(std::wstring_view text, std::wstring_view extension);

struct SelectionFolders {
    std::wstring sourcePath;   // holds \Lores, \HiRes and \Selected
    std::wstring storagePath;  // searched last
    // With their leading "."; an empty one names a kind that is not
    // transferred, so no name is cut at it.
    std::wstring hiResExtension, loResExtension;
};

// Progress as the user sees it: journal lines and lamps on button 1.
struct CopyFeedback {
    std::function<void(const std::wstring& line)> journal;
    std::function<void(model::Lamp colour, model::LampAt at)> lamp;
};

// Copies the file named in text from the first local copy found (low
// resolution, high resolution, storage) into the selection folder. True when
// the file is in the selection afterwards (copied now or already there).
bool CopyShownFileToSelection(const std::wstring& text, const SelectionFolders& folders,
                                 const CopyFeedback& feedback);

}  // namespace model
