// JPEG decoding with libjpeg into DIB sections.
#include "win/images.h"

#include <cstdio>
#include <csetjmp>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

#include "base/fs.h"

namespace win {

namespace {

constexpr int kMaxEdge = 4096;

struct ErrorManager {
    jpeg_error_mgr base;
    jmp_buf escape;
};

void OnJpegError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    longjmp(err->escape, 1);
}

void IgnoreJpegMessage(j_common_ptr) {}

// Decodes into BGRA rows; false on any decoder error. Kept free of C++
// objects with destructors between setjmp and longjmp.
bool DecodeJpeg(const std::string& data, std::vector<unsigned char>& bgra, int& w, int& h) {
    jpeg_decompress_struct cinfo{};
    ErrorManager err{};
    cinfo.err = jpeg_std_error(&err.base);
    err.base.error_exit = OnJpegError;
    err.base.output_message = IgnoreJpegMessage;
    if (setjmp(err.escape)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(data.data()),
                 static_cast<unsigned long>(data.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_EXT_BGRA;  // libjpeg-turbo writes Windows' pixel order
    jpeg_start_decompress(&cinfo);
    w = static_cast<int>(cinfo.output_width);
    h = static_cast<int>(cinfo.output_height);
    // Faces, icons and card thumbnails are small; a picture claiming more is
    // not given the memory it asks for (4096 x 4096 is 64 MB of pixels).
    if (w <= 0 || h <= 0 || w > kMaxEdge || h > kMaxEdge) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    bgra.resize(static_cast<size_t>(w) * h * 4);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = bgra.data() + static_cast<size_t>(cinfo.output_scanline) * w * 4;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

// An uninitialised top-down 32-bit DIB section; `bits` points at its pixels.
Picture NewPicture(int w, int h, void*& bits) {
    Picture pic;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    bits = nullptr;
    win::Bitmap bmp(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bmp || !bits) return pic;
    pic.bitmap = std::move(bmp);
    pic.width = w;
    pic.height = h;
    return pic;
}

}  // namespace

Picture LoadJpeg(const std::wstring& path) {
    auto data = fs::ReadFile(path);
    if (!data || data->empty()) return {};
    std::vector<unsigned char> bgra;
    int w = 0, h = 0;
    if (!DecodeJpeg(*data, bgra, w, h)) return {};
    void* bits = nullptr;
    Picture pic = NewPicture(w, h, bits);
    if (pic) memcpy(bits, bgra.data(), bgra.size());
    return pic;
}

Picture Resized(const Picture& pic, int width, int height) {
    if (!pic || width <= 0 || height <= 0 || width > kMaxEdge || height > kMaxEdge) return {};
    void* bits = nullptr;
    Picture out = NewPicture(width, height, bits);
    win::MemoryDC dc;
    if (!out || !dc) return {};
    {
        win::ScopedSelect sel(dc.get(), out.bitmap.get());
        DrawScaled(dc.get(), pic, RECT{0, 0, width, height}, false);
    }
    GdiFlush();
    return out;
}

void DrawScaled(HDC dc, const Picture& pic, const RECT& dest, bool keepAspect) {
    if (!pic) return;
    int dw = dest.right - dest.left, dh = dest.bottom - dest.top;
    int x = dest.left, y = dest.top, w = dw, h = dh;
    if (keepAspect && pic.width > 0 && pic.height > 0) {
        if (static_cast<long long>(dw) * pic.height > static_cast<long long>(dh) * pic.width) {
            w = MulDiv(dh, pic.width, pic.height);
            x += (dw - w) / 2;
        } else {
            h = MulDiv(dw, pic.height, pic.width);
            y += (dh - h) / 2;
        }
    }
    win::MemoryDC mem(dc);
    win::ScopedSelect sel(mem.get(), pic.bitmap.get());
    if (w == pic.width && h == pic.height) {
        BitBlt(dc, x, y, w, h, mem.get(), 0, 0, SRCCOPY);
        return;
    }
    int oldMode = SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchBlt(dc, x, y, w, h, mem.get(), 0, 0, pic.width, pic.height, SRCCOPY);
    SetStretchBltMode(dc, oldMode);
}

}  // namespace win
