// Pure parts of the info panel and the button lamps: which lamp a journal text
// lights, the repeat filter of the journal, and the lamp's colour and pixels.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace model {

// A lamp's colour; Clear paints the image's own background back, Black is
// what an unknown colour name gives.
enum class Lamp : uint8_t { Red, Green, Blue, Yellow, Clear, Black };
// Where on the button: the upper or the lower lamp.
enum class LampAt : uint8_t { Top, Bottom };

// The info panel's views, in the order the info button cycles through them.
enum class InfoView : uint8_t { Closed = 0, Journal = 1, Tree = 2, Thumbnails = 3 };


// Colour of button 6's upper lamp for a journal text: Blue for any "TFA",
// Red for "TFA Fail", Green for "TFA Success" (ignoring case, the later test
// winning), nothing when the text names no card event.
std::optional<Lamp> JournalLamp(std::wstring_view text);

// Holds LastInfoText so that a line repeated by a polling loop is dropped
// before the journal is rewritten.
class JournalRepeatFilter {
public:
    // False for an exact (case-sensitive) repeat of the last accepted text;
    // otherwise remembers the text and returns true.
    bool Accept(std::wstring_view text);
    const std::wstring& LastInfoText() const { return lastInfoText_; }

private:
    std::wstring lastInfoText_;
};

// COLORREF layout: 0x00BBGGRR.
using ColourRef = uint32_t;
constexpr ColourRef Rgb(uint8_t r, uint8_t g, uint8_t b) {
    return ColourRef{r} | (ColourRef{g} << 8) | (ColourRef{b} << 16);
}

// The lamp's colour; Clear gives the image's own background (clearColour).
ColourRef LampColour(Lamp lamp, ColourRef clearColour);

// Edges as in a Win32 RECT: right and bottom are exclusive.
struct LampRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool IsEmpty() const { return right <= left || bottom <= top; }
    friend bool operator==(const LampRect&, const LampRect&) = default;
};

inline constexpr int32_t kLampInset = 27;
inline constexpr int32_t kLampHeight = 2;

// The 2-pixel lamp on an image: the upper one 27 pixels below the top, the
// lower one 27 pixels above the bottom; columns 27 .. W-28. Empty when the
// lamp would not lie wholly inside the image.
LampRect LampRectFor(int32_t imageWidth, int32_t imageHeight, LampAt at);

}  // namespace model
