// What the test build of the window tells the driver that another process
// can't see for itself, as properties of its windows:
// - asked with the registered message "CorvaneTestProbe" (wParam: the width of
//   a check box's box at the window's DPI), each control's room needed for its
//   text, measured with the control's own font: "TextWidth" and "TextHeight"
//   on one line, "WrapWidth" and "WrapHeight" wrapped to the control's width
//   (less the box for a check box or radio button); and the thread's
//   execution state, "Awake", on the window;
// - the taskbar button's progress as the window sets it, "TaskbarState" and
//   "TaskbarValue" on the window: this build's taskbar is a recorder;
// - the flags of the window's last FlashWindowEx, "Flashed" on the window.
// - how often a control was announced as a live region, "Spoken".
// - CORVANE_TEST_WORK_AREA, "left top right bottom": every monitor's work area.
#include <windows.h>

#include <objbase.h>
#include <shobjidl.h>

#include <cstdint>
#include <cwchar>

#include "window.h"

namespace {

void Put(HWND window, const wchar_t* name, std::intptr_t value) {
    SetPropW(window, name, reinterpret_cast<HANDLE>(value));
}

bool Boxed(HWND control) {
    wchar_t type[16] = L"";
    GetClassNameW(control, type, 16);
    if (lstrcmpiW(type, L"Button") != 0) return false;
    switch (GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK) {
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
            return true;
    }
    return false;
}

void Measure(HWND control, int box) {
    wchar_t text[1024] = L"";
    GetWindowTextW(control, text, 1024);
    RECT client;
    GetClientRect(control, &client);
    HDC dc = GetDC(control);
    HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT line{0, 0, 0, 0};
    DrawTextW(dc, text, -1, &line, DT_CALCRECT | DT_SINGLELINE);
    RECT wrapped{0, 0, client.right - (Boxed(control) ? box : 0), 0};
    DrawTextW(dc, text, -1, &wrapped, DT_CALCRECT | DT_WORDBREAK);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    Put(control, L"TextWidth", line.right);
    Put(control, L"TextHeight", line.bottom);
    Put(control, L"WrapWidth", wrapped.right);
    Put(control, L"WrapHeight", wrapped.bottom);
}

LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
    static const UINT probe = RegisterWindowMessageW(L"CorvaneTestProbe");
    const auto* m = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && m->message == probe) {
        for (HWND c = GetWindow(m->hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
            Measure(c, static_cast<int>(m->wParam));
        // Without ES_CONTINUOUS this only reads the state; it changes nothing held.
        Put(m->hwnd, L"Awake", SetThreadExecutionState(ES_SYSTEM_REQUIRED));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

class Recorder : public ITaskbarList3, public IClassFactory {
  public:
    // IUnknown: one static object, never freed.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
        if (id == IID_IClassFactory)
            *out = static_cast<IClassFactory*>(this);
        else if (id == IID_IUnknown || id == IID_ITaskbarList || id == IID_ITaskbarList2 ||
                 id == IID_ITaskbarList3)
            *out = static_cast<ITaskbarList3*>(this);
        else
            return *out = nullptr, E_NOINTERFACE;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    // IClassFactory
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID id, void** out) override {
        return QueryInterface(id, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
    // ITaskbarList3: only the progress is recorded.
    HRESULT STDMETHODCALLTYPE SetProgressState(HWND window, TBPFLAG state) override {
        Put(window, L"TaskbarState", state);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetProgressValue(HWND window, ULONGLONG done,
                                               ULONGLONG total) override {
        Put(window, L"TaskbarValue", static_cast<std::intptr_t>(done * 100 / (total ? total : 1)));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE HrInit() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE AddTab(HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DeleteTab(HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ActivateTab(HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetActiveAlt(HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE MarkFullscreenWindow(HWND, BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RegisterTab(HWND, HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE UnregisterTab(HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetTabOrder(HWND, HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetTabActive(HWND, HWND, DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ThumbBarAddButtons(HWND, UINT, LPTHUMBBUTTON) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ThumbBarUpdateButtons(HWND, UINT, LPTHUMBBUTTON) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ThumbBarSetImageList(HWND, HIMAGELIST) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetOverlayIcon(HWND, HICON, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetThumbnailTooltip(HWND, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetThumbnailClip(HWND, RECT*) override { return S_OK; }
};

Recorder s_recorder;

void CALLBACK Heard(HWINEVENTHOOK, DWORD, HWND control, LONG, LONG, DWORD, DWORD) {
    Put(control, L"Spoken", reinterpret_cast<std::intptr_t>(GetPropW(control, L"Spoken")) + 1);
}

BOOL WINAPI RecordFlash(PFLASHWINFO flash) {
    Put(flash->hwnd, L"Flashed", static_cast<std::intptr_t>(flash->dwFlags));
    return FlashWindowEx(flash);
}

BOOL WINAPI SmallerScreen(HMONITOR monitor, LPMONITORINFO info) {
    RECT& w = info->rcWork;
    const wchar_t* area = _wgetenv(L"CORVANE_TEST_WORK_AREA");
    BOOL got = GetMonitorInfoW(monitor, info);
    if (got && area) swscanf(area, L"%ld %ld %ld %ld", &w.left, &w.top, &w.right, &w.bottom);
    return got;
}

// Before the window's start-up: its thread, its apartment (the window's own
// start then finds COM already initialised, which it allows).
[[maybe_unused]] const bool s_probed = [] {
    SetWindowsHookExW(WH_CALLWNDPROC, Hook, nullptr, GetCurrentThreadId());
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    DWORD cookie = 0;
    CoRegisterClassObject(CLSID_TaskbarList, static_cast<IClassFactory*>(&s_recorder),
                          CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie);
    SetWinEventHook(EVENT_OBJECT_LIVEREGIONCHANGED, EVENT_OBJECT_LIVEREGIONCHANGED, nullptr, Heard,
                    GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    setup::s_flash = RecordFlash;
    setup::s_monitorInfo = SmallerScreen;
    return true;
}();

}  // namespace
