// Handing pictures to the viewer, without the windows: what showing a stored
// file amounts to in each working mode, and copying the picture the viewer
// shows into the selection folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "model/common/info_logic.h"

namespace model {

// What a file's name and first bytes say before it goes to another program.
// Its name must end with a picture extension (the configured HiRes and
// LoRes ones, .jpg, .jpeg; the folder part never counts) and its first bytes
// must be those of that kind of picture, so that a program served under a
// picture's name is never opened.
enum class PictureCheck {
    Picture,     // what its name says
    NotByName,   // its name is no picture's
    NotItsKind,  // named as a picture, but its bytes are not of that kind
};
// How many first bytes CheckPicture looks at.
inline constexpr size_t kPictureHeadBytes = 16;
// Extensions are held with their leading "." (as the settings keep them);
// `head` is the file's first bytes (fewer for a shorter file).
PictureCheck CheckPicture(std::wstring_view path, std::string_view head, std::wstring_view hiResExtension,
                          std::wstring_view loResExtension);

// How a file is opened: never as a program of its own.
enum class Opener {
    None,
    Viewer,       // the viewer program, with the file as its one argument
    Association,  // the program Windows associates with the picture's own extension
};

// What showing a file comes to; the shell carries it out in field order.
struct ShowFilePlan {
    bool closeRunningViewer = false;  // close the viewer's window before opening
    std::wstring journal;             // journal line, empty for none
    Opener open = Opener::None;       // started without waiting
    std::wstring extension;           // Association: the extension whose program opens it (".jpg")
    std::wstring notOpened;           // journal line when Windows cannot open it so
    bool raiseBar = false;            // bring the bar back above the new viewer
    bool shown = false;               // false: not shown
};

// Reads the file's first bytes (for CheckPicture) only when its name passes.
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
// the file is in the selection afterwards (copied now or already there). An
// empty text (a window without a title) names no file.
bool CopyShownFileToSelection(const std::wstring& text, const SelectionFolders& folders,
                                 const CopyFeedback& feedback);

}  // namespace model
