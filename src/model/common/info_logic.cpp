// Pure parts of the info panel and the button lamps.
#include "model/common/info_logic.h"

#include "base/str.h"

namespace model {

std::optional<Lamp> JournalLamp(std::wstring_view text) {
    std::optional<Lamp> lamp;
    if (str::ContainsI(text, L"TFA")) lamp = Lamp::Blue;
    if (str::ContainsI(text, L"TFA Fail")) lamp = Lamp::Red;
    if (str::ContainsI(text, L"TFA Success")) lamp = Lamp::Green;
    return lamp;
}

bool JournalRepeatFilter::Accept(std::wstring_view text) {
    if (text == lastInfoText_) return false;
    lastInfoText_.assign(text);
    return true;
}

ColourRef LampColour(Lamp lamp, ColourRef clearColour) {
    switch (lamp) {
    case Lamp::Red: return Rgb(255, 0, 0);
    case Lamp::Green: return Rgb(0, 255, 0);
    case Lamp::Blue: return Rgb(0, 0, 255);
    case Lamp::Yellow: return Rgb(255, 255, 0);
    case Lamp::Clear: return clearColour;
    case Lamp::Black: break;
    }
    return Rgb(0, 0, 0);
}

LampRect LampRectFor(int32_t imageWidth, int32_t imageHeight, LampAt at) {
    const bool upper = at == LampAt::Top;
    // Measured from the image's height, so non-square faces get the lower lamp
    // at the bottom edge too, not at the width's distance.
    const int64_t top = upper ? kLampInset : int64_t{imageHeight} - kLampInset;
    const int64_t right = int64_t{imageWidth} - kLampInset;
    if (right <= kLampInset || top < 0 || top + kLampHeight > imageHeight) return {};
    return {kLampInset, static_cast<int32_t>(top), static_cast<int32_t>(right),
            static_cast<int32_t>(top + kLampHeight)};
}

}  // namespace model
