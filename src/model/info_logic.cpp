// Pure parts of the info panel and the button lamps.
#include "model/info_logic.h"

#include "base/str.h"

namespace model {

wchar_t JournalLampColour(std::wstring_view text) {
    wchar_t colour = 0;
    if (str::ContainsI(text, L"TFA")) colour = L'b';
    if (str::ContainsI(text, L"TFA Fail")) colour = L'r';
    if (str::ContainsI(text, L"TFA Success")) colour = L'g';
    return colour;
}

bool JournalRepeatFilter::Accept(std::wstring_view text) {
    if (text == lastInfoText_) return false;
    lastInfoText_.assign(text);
    return true;
}

ColourRef LampColour(std::wstring_view colour, ColourRef clearColour) {
    if (str::EqualsI(colour, L"r")) return Rgb(255, 0, 0);
    if (str::EqualsI(colour, L"g")) return Rgb(0, 255, 0);
    if (str::EqualsI(colour, L"b")) return Rgb(0, 0, 255);
    if (str::EqualsI(colour, L"y")) return Rgb(255, 255, 0);
    if (str::EqualsI(colour, L"c")) return clearColour;
    return Rgb(0, 0, 0);
}

LampRect LampRectFor(int32_t imageWidth, int32_t imageHeight, std::wstring_view position) {
    const bool upper = str::EqualsI(position, L"t") || str::EqualsI(position, L"top");
    // Measured from the image's height, so non-square faces get the lower lamp
    // at the bottom edge too, not at the width's distance.
    const int64_t top = upper ? kLampInset : int64_t{imageHeight} - kLampInset;
    const int64_t right = int64_t{imageWidth} - kLampInset;
    if (right <= kLampInset || top < 0 || top + kLampHeight > imageHeight) return {};
    return {kLampInset, static_cast<int32_t>(top), static_cast<int32_t>(right),
            static_cast<int32_t>(top + kLampHeight)};
}

}  // namespace model
