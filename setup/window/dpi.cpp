// The functions of the per-monitor DPI that Windows gained in version 1607,
// looked up at run time so that the program still starts without them.
#include "window.h"

namespace setup {

namespace {

// Includes the padded-border field: the size the system expects since Vista.
static_assert(sizeof(NONCLIENTMETRICSW) == 504);

template <class F>
F User32(const char* name) {
    // Through a plain function type: a direct cast between function types warns.
    return reinterpret_cast<F>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

UINT SystemDpi() {
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

}  // namespace

UINT WindowDpi(HWND window) {
    static const auto forWindow = User32<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
    UINT dpi = forWindow ? forWindow(window) : 0;
    return dpi ? dpi : SystemDpi();
}

NONCLIENTMETRICSW MetricsFor(UINT dpi) {
    static const auto forDpi =
        User32<BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT)>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!forDpi || !forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi))
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    return metrics;
}

SIZE FrameFor(SIZE client, UINT dpi) {
    static const auto forDpi =
        User32<BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
    RECT r{0, 0, client.cx, client.cy};
    if (!forDpi || !forDpi(&r, kWindowStyle, FALSE, 0, dpi))
        AdjustWindowRect(&r, kWindowStyle, FALSE);
    return {r.right - r.left, r.bottom - r.top};
}

}  // namespace setup
