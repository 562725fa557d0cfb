#include "ui/Accessibility.h"

#include <new>
#include <stdlib.h>

#include <oleacc.h>

#include "core/PluginInstance.h"
#include "data/ItemList.h"
#include "data/Utf8.h"
#include "ui/FocusState.h"
#include "ui/Keyboard.h"
#include "ui/ListActions.h"

namespace {

// Defined here rather than linked: one MinGW import library of oleacc
// exports IID_IAccessible as a code stub, which every call would then
// reject with E_NOINTERFACE.
const IID AccessibleIid = {
    0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
const IID DispatchIid = {0x00020400, 0, 0, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID UnknownIid = {0, 0, 0, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};

// The system's functions, looked up once on the first request: a start
// that no screen reader asks about never loads these DLLs.
struct SystemFunctions {
    LRESULT(WINAPI* lresultFromObject)(REFIID, WPARAM, LPUNKNOWN);
    BSTR(WINAPI* allocString)(const OLECHAR*);
    HRESULT(WINAPI* initialise)(LPVOID, DWORD);
    void(WINAPI* uninitialise)();
    HRESULT(WINAPI* disconnect)(LPUNKNOWN, DWORD);
};
SystemFunctions System = {};
int SystemState = 0; // 0 not looked up, 1 missing, 2 found
bool ComStarted = false;

template <typename Function> void Find(Function& out, const char* dll, const char* name) {
    HMODULE module = LoadLibraryA(dll);
    out = module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)))
                 : nullptr;
}

bool LoadSystem() {
    if (SystemState == 0) {
        Find(System.lresultFromObject, "oleacc.dll", "LresultFromObject");
        Find(System.allocString, "oleaut32.dll", "SysAllocString");
        Find(System.initialise, "ole32.dll", "CoInitializeEx");
        Find(System.uninitialise, "ole32.dll", "CoUninitialize");
        Find(System.disconnect, "ole32.dll", "CoDisconnectObject");
        const bool all = System.lresultFromObject && System.allocString && System.initialise &&
                         System.uninitialise && System.disconnect;
        SystemState = all ? 2 : 1;
    }
    return SystemState == 2;
}

HRESULT GiveText(BSTR* out, const char* text) {
    if (!out) return E_POINTER;
    wchar_t wide[TextUnits];
    WidenText(text, wide, TextUnits);
    *out = System.allocString(wide);
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT GiveNumber(VARIANT* out, LONG child) {
    if (!out) return E_POINTER;
    out->vt = child < 0 ? VT_EMPTY : VT_I4;
    out->lVal = child < 0 ? 0 : child;
    return child < 0 ? S_FALSE : S_OK;
}

RECT ScreenRect(HWND window) {
    RECT r = {};
    if (window) GetWindowRect(window, &r);
    return r;
}

// Held while a client holds the object, so that the DLL stays loaded under
// a method call that comes after the shell unloaded the plug-in.
HMODULE ModuleHold = nullptr;

// Children: 0 the list itself, 1 to n the rows, n + 1 the Add Item button.
// Simple elements: each is a child id of the one object, not an object.
class ListAccessible : public IAccessible {
  public:
    void Disconnect() { connected_ = false; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(iid, AccessibleIid) && !IsEqualIID(iid, DispatchIid) &&
            !IsEqualIID(iid, UnknownIid))
            return E_NOINTERFACE;
        *out = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    // The last reference frees the object; the hold on the DLL goes with it
    // only while the plug-in runs, since returning from here into an
    // unloaded DLL would crash the shell.
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left) return left;
        this->~ListAccessible();
        free(this);
        if (ThePlugin && ModuleHold) {
            FreeLibrary(ModuleHold);
            ModuleHold = nullptr;
        }
        return 0;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count) *count = 0;
        return count ? S_OK : E_POINTER;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }

    // The system's own window object is the list's parent: clients find it
    // from the window.
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        if (parent) *parent = nullptr;
        return connected_ ? S_FALSE : RPC_E_DISCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
        if (!connected_) return RPC_E_DISCONNECTED;
        if (!count) return E_POINTER;
        *count = FocusRows() + 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT id, IDispatch** child) override {
        LONG at;
        if (HRESULT bad = Check(id, &at)) return bad;
        if (!child) return E_POINTER;
        *child = nullptr;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT id, BSTR* name) override {
        LONG at;
        if (HRESULT bad = Check(id, &at)) return bad;
        const ListItem* item = EntryOf(at);
        return GiveText(name, at == CHILDID_SELF ? "zelk" : item ? item->text : "Add Item");
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT id, VARIANT* role) override {
        LONG at;
        if (HRESULT bad = Check(id, &at)) return bad;
        return GiveNumber(role, at == CHILDID_SELF ? ROLE_SYSTEM_LIST
                                : EntryOf(at)      ? ROLE_SYSTEM_CHECKBUTTON
                                                   : ROLE_SYSTEM_PUSHBUTTON);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT id, VARIANT* state) override {
        LONG at;
        if (HRESULT bad = Check(id, &at)) return bad;
        LONG bits = STATE_SYSTEM_FOCUSABLE;
        if (at != CHILDID_SELF) {
            const ListItem* item = EntryOf(at);
            if (ShowsFocusMark(item ? item->label : ThePlugin->addButton))
                bits |= STATE_SYSTEM_FOCUSED;
            if (item && item->done) bits |= STATE_SYSTEM_CHECKED;
            if (!item && ItemCount >= MaxItems) bits |= STATE_SYSTEM_UNAVAILABLE;
        }
        return GiveNumber(state, bits);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT id, BSTR* action) override {
        LONG at;
        if (HRESULT bad = Check(id, &at)) return bad;
        if (at == CHILDID_SELF) return DISP_E_MEMBERNOTFOUND;
        const ListItem* item = EntryOf(at);
        return GiveText(action, !item ? "Press" : item->done ? "Uncheck" : "Check");
    }
    // As a click on the box or the button does, saved the same way.
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT id) override {
        LONG at;
        if (HRESULT bad = Check(id, &at)) return bad;
        if (at == CHILDID_SELF) return DISP_E_MEMBERNOTFOUND;
        if (ListItem* item = EntryOf(at)) {
            SetEntryDone(item, item->done ? 0 : 1);
        } else {
            AddItem();
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
        if (!connected_) return RPC_E_DISCONNECTED;
        return GiveNumber(focus, ZelkHasKeyboard() ? ChildIdOf(FocusedEntry()) : -1);
    }
    // Taking the focus works as a click does: zelk takes the keyboard.
    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT id) override {
        LONG at;
        if (HRESULT bad = Check(id, &at)) return bad;
        if (!(flags & SELFLAG_TAKEFOCUS)) return DISP_E_MEMBERNOTFOUND;
        const ListItem* item = EntryOf(at);
        OnClickTakesKeyboard(at == CHILDID_SELF ? ThePlugin->mainWindow
                             : item             ? item->label
                                                : ThePlugin->addButton);
        return S_OK;
    }
    // A row is its tick box and its label.
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                          VARIANT id) override {
        LONG at;
        if (HRESULT bad = Check(id, &at)) return bad;
        if (!left || !top || !width || !height) return E_POINTER;
        const ListItem* item = EntryOf(at);
        RECT r = ScreenRect(at == CHILDID_SELF ? ThePlugin->mainWindow
                            : item             ? item->label
                                               : ThePlugin->addButton);
        if (item) {
            const RECT box = ScreenRect(item->doneBox);
            UnionRect(&r, &r, &box);
        }
        *left = r.left;
        *top = r.top;
        *width = r.right - r.left;
        *height = r.bottom - r.top;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        LONG at;
        if (HRESULT bad = Check(start, &at)) return bad;
        if (!end) return E_POINTER;
        const LONG last = FocusRows() + 1;
        LONG to = -1;
        if (at == CHILDID_SELF) {
            if (direction == NAVDIR_FIRSTCHILD)
                to = 1;
            else if (direction == NAVDIR_LASTCHILD)
                to = last;
            else
                return DISP_E_MEMBERNOTFOUND;
        } else if (direction == NAVDIR_NEXT || direction == NAVDIR_DOWN) {
            to = at < last ? at + 1 : -1;
        } else if (direction == NAVDIR_PREVIOUS || direction == NAVDIR_UP) {
            to = at > 1 ? at - 1 : -1;
        } else {
            return DISP_E_MEMBERNOTFOUND;
        }
        return GiveNumber(end, to);
    }
    // The window under the point tells the child: a row's box or label, the
    // button, or the list between them.
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* found) override {
        if (!connected_) return RPC_E_DISCONNECTED;
        const HWND hit = WindowFromPoint(POINT{x, y});
        const ListItem* item = FindItem(hit);
        return GiveNumber(found, item                           ? ChildIdOf(item)
                                 : hit == ThePlugin->addButton  ? ChildIdOf(nullptr)
                                 : hit == ThePlugin->mainWindow ? CHILDID_SELF
                                                                : -1);
    }

    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT, BSTR*) override { return Unsupported(); }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT, BSTR*) override { return Unsupported(); }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR*) override { return Unsupported(); }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR*, VARIANT, LONG*) override {
        return Unsupported();
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT, BSTR*) override {
        return Unsupported();
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT*) override { return Unsupported(); }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return Unsupported(); }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return Unsupported(); }

  private:
    // 0 when the object is live and `id` names one of its children.
    HRESULT Check(const VARIANT& id, LONG* at) const {
        if (!connected_ || !ThePlugin) return RPC_E_DISCONNECTED;
        if (id.vt != VT_I4 || id.lVal < 0 || id.lVal > FocusRows() + 1) return E_INVALIDARG;
        *at = id.lVal;
        return S_OK;
    }
    HRESULT Unsupported() const { return connected_ ? DISP_E_MEMBERNOTFOUND : RPC_E_DISCONNECTED; }
    static ListItem* EntryOf(LONG child) { return child > 0 ? EntryAtRow(child - 1) : nullptr; }

    ULONG refs_ = 1;
    bool connected_ = true;
};

ListAccessible* TheObject = nullptr;

// COM is started on the shell's thread if the shell has not; a shell in the
// other threading model has it started already.
bool MakeObject() {
    if (TheObject) return true;
    const HRESULT started = System.initialise(nullptr, COINIT_APARTMENTTHREADED);
    if (SUCCEEDED(started))
        ComStarted = true;
    else if (started != RPC_E_CHANGED_MODE)
        return false;
    void* memory = calloc(1, sizeof(ListAccessible));
    if (!memory) return false;
    TheObject = new (memory) ListAccessible();
    if (!ModuleHold &&
        !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCSTR>(&DisconnectAccessible), &ModuleHold))
        ModuleHold = nullptr;
    return true;
}

} // namespace

LRESULT AnswerGetObject(HWND window, WPARAM wParam, LPARAM lParam) {
    // A 64-bit lParam arrives as 0xfffffffc, not sign-extended: the low 32 bits count.
    if (static_cast<LONG>(lParam) != OBJID_CLIENT || !ThePlugin ||
        window != ThePlugin->mainWindow || !LoadSystem() || !MakeObject())
        return 0;
    const LRESULT answer = System.lresultFromObject(AccessibleIid, wParam, TheObject);
    return answer > 0 ? answer : 0;
}

void DisconnectAccessible() {
    if (TheObject) {
        TheObject->Disconnect();
        System.disconnect(TheObject, 0);
        TheObject->Release();
        TheObject = nullptr;
    }
    if (ComStarted) System.uninitialise();
    ComStarted = false;
}
