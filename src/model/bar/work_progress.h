// What the bar tells about long card work outside the journal: the share
// done (a thin bar on button 6's face) and the words of the button's
// tooltip, and the tooltips of the eleven buttons for what they do now.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "model/common/info_logic.h"

namespace model {

// Long work shows its progress only after this long, so a quick download
// does not flash a bar.
inline constexpr double kProgressAfterMs = 500;

struct WorkProgress {
    enum class Kind : uint8_t { Download, Walk, Thumbnails };
    Kind kind = Kind::Download;
    std::wstring name;       // the file of a download
    int64_t done = 0;        // bytes, folders listed or thumbnails fetched
    int64_t total = 0;       // the listed size, the folders known, the thumbnails wanted; 0 = unknown
    double elapsedMs = 0;    // since the work began
};

// The share done, 0 to 1; nothing while the total is unknown.
std::optional<double> ProgressFraction(const WorkProgress& p);
// Pixels of a bar `width` wide filled for the fraction (0 to width).
int32_t ProgressFill(double fraction, int32_t width);
// "P1010001.CR2: 12.4 of 25.0 MB (49 %), 2.1 MB/s", "Reading the card's
// folders: 12 of 40", "Fetching thumbnails: 12 of 120".
std::wstring ProgressText(const WorkProgress& p);

// What the bar knows when a tooltip is asked for.
struct TipFacts {
    InfoView view = InfoView::Closed;
    bool showText = true, showTree = true, showThumbs = true;  // views the info button offers
    bool taskbarVisible = true;
    bool cardAccess = true;       // [TFA] Active and the card thread runs
    int32_t picked = 0;           // tiles checked in the shown thumbnail grid
    bool downloading = false;     // button 6 cancels
    std::optional<WorkProgress> work;  // long card work, shown once past kProgressAfterMs
};

// The tooltip of button 1..11: what a click does now; "" for another number.
std::wstring ButtonTip(int button, const TipFacts& facts);

}  // namespace model
