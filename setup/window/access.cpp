// What a screen reader needs beyond the controls' own texts: a name for each
// control whose text doesn't say what it is, the status and the figures as
// live regions, and the keyboard's focus where Enter does what the default
// ring shows.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <oleacc.h>

#include <atomic>
#include <utility>

#include "com_win.h"
#include "window.h"

namespace setup {

namespace {

// The system's own identifiers, spelled out: not every mingw-w64 import
// library carries them, and one that does has IAccessible's wrong.
constexpr IID kAccessible = {
    0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
constexpr GUID kPropServices = {
    0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
constexpr GUID kPropServicesIid = {
    0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};
constexpr GUID kLiveSettingProp = {
    0xc12bcd8e, 0x2a8e, 0x4950, {0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d, 0x58, 0xeb}};
constexpr long kPolite = 1;

// Windows names an edit after the label before it, which the group boxes
// aren't (Wine takes any text before it); two Browse buttons would be told
// apart by nothing, and a progress bar and a picture have no text at all.
// Every other control is named by its own text.
struct Naming {
    int id;
    const wchar_t* name;
};
constexpr Naming kNames[] = {
    {0, L"Corvane Recompiled"},  // the icon: the first control without an id
    {kIdSource, T(L"Disc image or extracted disc folder")},
    {kIdSourceBrowse, nullptr},  // what the source's kind asks for
    {kIdInstallDir, T(L"Install folder")},
    {kIdInstallDirBrowse, T(L"Browse for the install folder")},
    {kIdProgress, T(L"Progress")},
    {kIdLog, T(L"Details")},
};
constexpr int kLive[] = {kIdStatus, kIdFigures};

std::wstring NameOf(int id) {
    if (id == kIdSourceBrowse)
        return Checked(kIdSourceFolder) ? T(L"Browse for the extracted disc folder")
                                        : T(L"Browse for the disc image");
    for (const Naming& n : kNames)
        if (n.id == id) return n.name;
    return {};
}

// The figures change many times a second; a screen reader hears at most one
// line of them in this many milliseconds.
constexpr ULONGLONG kFiguresGap = 10000;
ULONGLONG s_figuresSaid = 0;

// Null where the system has no annotations (Wine, for one): the two lines
// are then read when the reader looks, not as they change.
Com<IAccPropServices> s_props;

// The control's own accessible object, which the system makes, with the
// name it should have; everything else is the system's answer.
class Named final : public IAccessible {
  public:
    Named(IAccessible* inner, int id) : inner_(inner), id_(id) {}
    Named(const Named&) = delete;
    Named& operator=(const Named&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
        if (id != IID_IUnknown && id != IID_IDispatch && id != kAccessible)
            return inner_->QueryInterface(id, out);
        *out = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++count_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --count_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        if (child.vt != VT_I4 || child.lVal != CHILDID_SELF)
            return inner_->get_accName(child, name);
        *name = SysAllocString(Shown(NameOf(id_)).c_str());
        return *name ? S_OK : E_OUTOFMEMORY;
    }

#define ASK(call, params, args)                      \
    HRESULT STDMETHODCALLTYPE call params override { \
        return inner_->call args;                    \
    }
    ASK(GetTypeInfoCount, (UINT * n), (n))
    ASK(GetTypeInfo, (UINT i, LCID l, ITypeInfo** t), (i, l, t))
    ASK(GetIDsOfNames, (REFIID r, LPOLESTR* n, UINT c, LCID l, DISPID* d), (r, n, c, l, d))
    ASK(Invoke,
        (DISPID d, REFIID r, LCID l, WORD f, DISPPARAMS* p, VARIANT* v, EXCEPINFO* e, UINT* a),
        (d, r, l, f, p, v, e, a))
    ASK(get_accParent, (IDispatch * *p), (p))
    ASK(get_accChildCount, (LONG * n), (n))
    ASK(get_accChild, (VARIANT c, IDispatch** d), (c, d))
    ASK(get_accValue, (VARIANT c, BSTR* v), (c, v))
    ASK(get_accDescription, (VARIANT c, BSTR* d), (c, d))
    ASK(get_accRole, (VARIANT c, VARIANT* r), (c, r))
    ASK(get_accState, (VARIANT c, VARIANT* s), (c, s))
    ASK(get_accHelp, (VARIANT c, BSTR* h), (c, h))
    ASK(get_accHelpTopic, (BSTR * f, VARIANT c, LONG* t), (f, c, t))
    ASK(get_accKeyboardShortcut, (VARIANT c, BSTR* k), (c, k))
    ASK(get_accFocus, (VARIANT * f), (f))
    ASK(get_accSelection, (VARIANT * s), (s))
    ASK(get_accDefaultAction, (VARIANT c, BSTR* a), (c, a))
    ASK(accSelect, (LONG f, VARIANT c), (f, c))
    ASK(accLocation, (LONG * x, LONG* y, LONG* w, LONG* h, VARIANT c), (x, y, w, h, c))
    ASK(accNavigate, (LONG d, VARIANT s, VARIANT* e), (d, s, e))
    ASK(accHitTest, (LONG x, LONG y, VARIANT* c), (x, y, c))
    ASK(accDoDefaultAction, (VARIANT c), (c))
    ASK(put_accName, (VARIANT c, BSTR n), (c, n))
    ASK(put_accValue, (VARIANT c, BSTR v), (c, v))
#undef ASK

  private:
    ~Named() {
        inner_->Release();
    }
    std::atomic<ULONG> count_{1};
    IAccessible* inner_;
    int id_;
};

// A screen reader asks the control itself first.
LRESULT CALLBACK Answer(HWND control, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (msg == WM_NCDESTROY) RemoveWindowSubclass(control, Answer, 0);
    if (msg != WM_GETOBJECT || static_cast<DWORD>(lParam) != static_cast<DWORD>(OBJID_CLIENT))
        return DefSubclassProc(control, msg, wParam, lParam);
    IAccessible* inner = nullptr;
    if (FAILED(CreateStdAccessibleObject(control, OBJID_CLIENT, kAccessible,
                                         reinterpret_cast<void**>(&inner))))
        return DefSubclassProc(control, msg, wParam, lParam);
    auto* named = new Named(inner, GetDlgCtrlID(control));
    LRESULT answer = LresultFromObject(kAccessible, wParam, named);
    named->Release();
    return answer;
}

}  // namespace

void Describe() {
    for (const Naming& n : kNames) SetWindowSubclass(Item(n.id), Answer, 0, 0);
    // Keyboard users see where they are from the start, not only once they
    // have pressed a key.
    SendMessageW(s_window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    if (FAILED(CoCreateInstance(kPropServices, nullptr, CLSCTX_INPROC_SERVER, kPropServicesIid,
                                s_props.Out())))
        return;
    VARIANT polite{};
    polite.vt = VT_I4;
    polite.lVal = kPolite;
    for (int id : kLive)
        s_props->SetHwndProp(Item(id), OBJID_CLIENT, CHILDID_SELF, kLiveSettingProp, polite);
}

void Undescribe() {
    if (!s_props) return;
    const MSAAPROPID live = kLiveSettingProp;
    for (int id : kLive) s_props->ClearHwndProps(Item(id), OBJID_CLIENT, CHILDID_SELF, &live, 1);
    Com<IAccPropServices> gone;
    std::swap(*gone.Put(), *s_props.Put());
}

void Spoken(int id) {
    if (id != kIdStatus && id != kIdFigures) return;
    HWND control = Item(id);
    if (GetWindowTextLengthW(control) == 0) return;
    if (id == kIdFigures) {
        ULONGLONG now = GetTickCount64();
        if (s_figuresSaid && now - s_figuresSaid < kFiguresGap) return;
        s_figuresSaid = now;
    }
    // Raised after what the same message still changes, the focus above all:
    // a screen reader stops speaking when the focus moves.
    PostMessageW(s_window, kMsgSpeak, static_cast<WPARAM>(id), 0);
}

void Speak(int id) {
    NotifyWinEvent(EVENT_OBJECT_LIVEREGIONCHANGED, Item(id), OBJID_CLIENT, CHILDID_SELF);
}

void FocusDefault() {
    HWND button = Item(IsWindowVisible(Item(kIdPlay)) ? kIdPlay : kIdStart);
    SendMessageW(s_window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(button), TRUE);
}

}  // namespace setup
