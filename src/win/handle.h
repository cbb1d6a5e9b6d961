// Move-only owners for Win32 handles and GDI objects: one template, one deleter
// per kind, so nothing is closed twice or leaked on an early return.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <utility>

namespace win {

template <typename T, typename Traits>
class Owned {
public:
    Owned() noexcept = default;
    explicit Owned(T h) noexcept : h_(h) {}
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    Owned(Owned&& o) noexcept : h_(std::exchange(o.h_, Traits::Invalid())) {}
    Owned& operator=(Owned&& o) noexcept {
        if (this != &o) reset(std::exchange(o.h_, Traits::Invalid()));
        return *this;
    }
    ~Owned() { reset(); }

    T get() const noexcept { return h_; }
    explicit operator bool() const noexcept { return h_ != Traits::Invalid() && h_ != nullptr; }
    T release() noexcept { return std::exchange(h_, Traits::Invalid()); }
    void reset(T h = Traits::Invalid()) noexcept {
        if (h_ != Traits::Invalid() && h_ != nullptr) Traits::Close(h_);
        h_ = h;
    }

private:
    T h_ = Traits::Invalid();
};

struct FileHandleTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { CloseHandle(h); }
};
struct KernelHandleTraits {
    static HANDLE Invalid() { return nullptr; }
    static void Close(HANDLE h) { CloseHandle(h); }
};
template <typename G>
struct GdiTraits {
    static G Invalid() { return nullptr; }
    static void Close(G h) { DeleteObject(h); }
};
struct MenuTraits {
    static HMENU Invalid() { return nullptr; }
    static void Close(HMENU h) { DestroyMenu(h); }
};

struct ImageListTraits {
    static HIMAGELIST Invalid() { return nullptr; }
    static void Close(HIMAGELIST h) { ImageList_Destroy(h); }
};

using Handle = Owned<HANDLE, FileHandleTraits>;        // CreateFile results
using KernelHandle = Owned<HANDLE, KernelHandleTraits>;  // processes, mutexes, threads
using Bitmap = Owned<HBITMAP, GdiTraits<HBITMAP>>;
using Font = Owned<HFONT, GdiTraits<HFONT>>;
using Brush = Owned<HBRUSH, GdiTraits<HBRUSH>>;
using Menu = Owned<HMENU, MenuTraits>;

// Restores the previously selected GDI object when it goes out of scope.
class ScopedSelect {
public:
    ScopedSelect(HDC dc, HGDIOBJ obj) noexcept : dc_(dc), old_(SelectObject(dc, obj)) {}
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;
    ~ScopedSelect() { SelectObject(dc_, old_); }

private:
    HDC dc_;
    HGDIOBJ old_;
};

// A memory device context deleted on scope exit.
class MemoryDC {
public:
    explicit MemoryDC(HDC compatible = nullptr) noexcept : dc_(CreateCompatibleDC(compatible)) {}
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    ~MemoryDC() { if (dc_) DeleteDC(dc_); }
    HDC get() const noexcept { return dc_; }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

private:
    HDC dc_;
};

}  // namespace win
