// The run's progress on the window's taskbar button.
#include <windows.h>

#include <objbase.h>
#include <shobjidl.h>

#include <utility>

#include "com_win.h"
#include "window.h"

namespace setup {

namespace {

// Made at the first run: by then the button exists. Stays null where the
// system has no taskbar to show it, and the progress is then the window's alone.
Com<ITaskbarList3> s_taskbar;
bool s_tried = false;

ITaskbarList3* List() {
    if (!s_tried) {
        s_tried = true;
        Com<ITaskbarList3> list;
        if (SUCCEEDED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_ITaskbarList3, list.Out())) &&
            SUCCEEDED(list->HrInit()))
            std::swap(*s_taskbar.Put(), *list.Put());
    }
    return s_taskbar ? s_taskbar.operator->() : nullptr;
}

}  // namespace

void EndTaskbar() {
    Com<ITaskbarList3> gone;
    std::swap(*gone.Put(), *s_taskbar.Put());
}

void Taskbar(int state, int value) {
    ITaskbarList3* list = List();
    if (!list) return;
    list->SetProgressState(s_window, static_cast<TBPFLAG>(state));
    if (state == TBPF_NORMAL || state == TBPF_ERROR)
        list->SetProgressValue(s_window, static_cast<ULONGLONG>(value), 100);
}

}  // namespace setup
