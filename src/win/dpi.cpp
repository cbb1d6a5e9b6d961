// Per-monitor DPI through user32's newer functions when it has them.
#include "win/dpi.h"

namespace win {

namespace {

FARPROC User32(const char* name) {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return user32 ? GetProcAddress(user32, name) : nullptr;
}

template <typename Fn>
Fn Lookup(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(User32(name)));
}

}  // namespace

void UsePerMonitorDpi() {
    using SetContext = BOOL(WINAPI*)(HANDLE);
    static const auto set = Lookup<SetContext>("SetProcessDpiAwarenessContext");
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2. Refused when the manifest
    // has already chosen, which is the usual case.
    if (set) set(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4)));
}

int WindowDpi(HWND window) {
    using ForWindow = UINT(WINAPI*)(HWND);
    static const auto forWindow = Lookup<ForWindow>("GetDpiForWindow");
    UINT dpi = forWindow && window ? forWindow(window) : 0;
    return dpi > 0 ? static_cast<int>(dpi) : SystemDpi();
}

int SystemDpi() {
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

int MetricForDpi(int index, int dpi) {
    using ForDpi = int(WINAPI*)(int, UINT);
    static const auto forDpi = Lookup<ForDpi>("GetSystemMetricsForDpi");
    if (forDpi) return forDpi(index, static_cast<UINT>(dpi));
    return MulDiv(GetSystemMetrics(index), dpi, SystemDpi());
}

HFONT CreateMessageFont(int dpi) {
    using ForDpi = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
    static const auto forDpi = Lookup<ForDpi>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (forDpi && forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, static_cast<UINT>(dpi)))
        return CreateFontIndirectW(&metrics.lfMessageFont);
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        LOGFONTW lf{};
        GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
        metrics.lfMessageFont = lf;
    }
    metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, dpi, SystemDpi());
    return CreateFontIndirectW(&metrics.lfMessageFont);
}

}  // namespace win
