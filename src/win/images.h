// JPEG files decoded with libjpeg into 32-bit DIB sections that the buttons,
// tree and thumbnails draw, and the drawing helpers for them.
#pragma once

#include <windows.h>

#include <string>

#include "win/handle.h"

namespace win {

// A decoded picture: an owned top-down 32-bit DIB section and its size.
struct Picture {
    win::Bitmap bitmap;
    int width = 0;
    int height = 0;
    explicit operator bool() const { return static_cast<bool>(bitmap); }
};

// Decodes a JPEG file; an empty Picture when the file is missing or broken.
Picture LoadJpeg(const std::wstring& path);

// A copy of the picture at another size, filtered as DrawScaled does (for
// controls that show a bitmap as it is); empty when it cannot be made.
Picture Resized(const Picture& pic, int width, int height);

// Draws the picture scaled into the rectangle with a smoothing filter,
// keeping its aspect ratio (centred) when keepAspect is set.
void DrawScaled(HDC dc, const Picture& pic, const RECT& dest, bool keepAspect);

}  // namespace win
