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

// The window a child is: the list's, a row's label, or Add Item.
HWND WindowOf(LONG child, const ListItem* item) {
    return child == CHILDID_SELF ? ThePlugin->mainWindow
           : item                ? item->label
                                 : ThePlugin->addButton;
}

RECT ScreenRect(HWND window) {
    RECT r = {};
    if (window) GetWindowRect(window, &r);
    return r;
}

// What a client asks of the list: the methods that read or change it, each
// answered by ListAccessible::Answer on the window's thread.
enum class Question {
    childCount,
    child,
    name,
    role,
    state,
    defaultAction,
    doDefaultAction,
    focus,
    select,
    location,
    navigate,
    hitTest
};

class ListAccessible;

// A question that came on another thread, waiting to be answered on the
// window's. Only a pointer of zelk's own, never one from a message, says
// what to answer: any program may send the message.
struct CarriedCall {
    ListAccessible* self;
    Question question;
    LONG at;
    void* out;
    LONG a, b;
    HRESULT result;
    LONG done;
};
// The one call sent and not yet taken: callers from other threads take
// turns at it.
void* volatile Pending = nullptr;
// Long enough for a save waiting for another copy's lock; a screen reader
// told to retry is better than one that hangs.
constexpr UINT CarryTimeout = 5000;

// Children: 0 the list itself, 1 to n the rows, n + 1 the Add Item button.
// Simple elements: each is a child id of the one object, not an object.
// Each object holds the DLL for its own life: a client may release it after
// the shell unloaded the plug-in, or keep it across a reload.
class ListAccessible : public IAccessible {
  public:
    ListAccessible(HWND window, HMODULE hold)
        : window_(window), thread_(GetCurrentThreadId()), hold_(hold) {}
    void Disconnect() { InterlockedExchange(&connected_, 0); }

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
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    // The last reference frees the object; its hold on the DLL goes with it
    // only while the plug-in runs, on the window's thread, where the shell
    // cannot unload the DLL before this returns. Otherwise the DLL stays
    // loaded until the process ends, rather than return into unloaded code.
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left) return left;
        const HMODULE hold = hold_;
        const bool mayFree = GetCurrentThreadId() == thread_ && ThePlugin;
        this->~ListAccessible();
        free(this);
        if (mayFree) FreeLibrary(hold);
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
        return Connected() ? S_FALSE : RPC_E_DISCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
        return Ask(Question::childCount, CHILDID_SELF, count);
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT id, IDispatch** child) override {
        return Ask(Question::child, ChildOf(id), child);
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT id, BSTR* name) override {
        return Ask(Question::name, ChildOf(id), name);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT id, VARIANT* role) override {
        return Ask(Question::role, ChildOf(id), role);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT id, VARIANT* state) override {
        return Ask(Question::state, ChildOf(id), state);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT id, BSTR* action) override {
        return Ask(Question::defaultAction, ChildOf(id), action);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT id) override {
        return Ask(Question::doDefaultAction, ChildOf(id), nullptr);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
        return Ask(Question::focus, CHILDID_SELF, focus);
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT id) override {
        return Ask(Question::select, ChildOf(id), nullptr, flags);
    }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                          VARIANT id) override {
        LONG* place[4] = {left, top, width, height};
        return Ask(Question::location, ChildOf(id), place);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        return Ask(Question::navigate, ChildOf(start), end, direction);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* found) override {
        return Ask(Question::hitTest, CHILDID_SELF, found, x, y);
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

    // On the window's thread, where the list lives.
    HRESULT Answer(Question question, LONG at, void* out, LONG a, LONG b);

  private:
    // A child id that is not a number is no child.
    static LONG ChildOf(const VARIANT& id) { return id.vt == VT_I4 ? id.lVal : -1; }
    bool Connected() const { return InterlockedCompareExchange(&connected_, 0, 0) != 0; }
    HRESULT Unsupported() const { return Connected() ? DISP_E_MEMBERNOTFOUND : RPC_E_DISCONNECTED; }
    static ListItem* EntryOf(LONG child) { return child > 0 ? EntryAtRow(child - 1) : nullptr; }
    HRESULT Ask(Question question, LONG at, void* out, LONG a = 0, LONG b = 0);

    const HWND window_;
    const DWORD thread_; // the window's, which made the object
    const HMODULE hold_;
    LONG refs_ = 1;
    mutable LONG connected_ = 1;
};

// A question from another thread goes to the window's thread as a message
// sent to the window; the sender then takes it back unless that thread took
// it, in which case it waits until it is answered. A window gone, or busy
// past the timeout, leaves it unanswered.
HRESULT ListAccessible::Ask(Question question, LONG at, void* out, LONG a, LONG b) {
    if (GetCurrentThreadId() == thread_) return Answer(question, at, out, a, b);
    if (!Connected()) return RPC_E_DISCONNECTED;
    CarriedCall call = {this, question, at, out, a, b, RPC_E_DISCONNECTED, 0};
    while (InterlockedCompareExchangePointer(&Pending, &call, nullptr))
        Sleep(1);
    DWORD_PTR ignored;
    const bool timedOut = !SendMessageTimeoutW(window_, CarriedCallMessage, 0, 0, SMTO_NORMAL,
                                               CarryTimeout, &ignored) &&
                          GetLastError() == ERROR_TIMEOUT;
    if (InterlockedCompareExchangePointer(&Pending, nullptr, &call) == &call) {
        if (timedOut) call.result = RPC_E_SERVERCALL_RETRYLATER;
    } else {
        while (!InterlockedCompareExchange(&call.done, 0, 0))
            Sleep(1);
    }
    return call.result;
}

HRESULT ListAccessible::Answer(Question question, LONG at, void* out, LONG a, LONG b) {
    if (!Connected() || !ThePlugin) return RPC_E_DISCONNECTED;
    if (at < 0 || at > FocusRows() + 1) return E_INVALIDARG;
    ListItem* item = EntryOf(at);
    switch (question) {
    case Question::childCount:
        if (!out) return E_POINTER;
        *static_cast<LONG*>(out) = FocusRows() + 1;
        return S_OK;
    case Question::child:
        if (!out) return E_POINTER;
        *static_cast<IDispatch**>(out) = nullptr;
        return S_FALSE;
    case Question::name:
        return GiveText(static_cast<BSTR*>(out), at == CHILDID_SELF ? "zelk"
                                                 : item             ? item->text
                                                                    : "Add Item");
    case Question::role:
        return GiveNumber(static_cast<VARIANT*>(out), at == CHILDID_SELF ? ROLE_SYSTEM_LIST
                                                      : item             ? ROLE_SYSTEM_CHECKBUTTON
                                                                         : ROLE_SYSTEM_PUSHBUTTON);
    case Question::state: {
        LONG bits = STATE_SYSTEM_FOCUSABLE;
        if (at != CHILDID_SELF) {
            if (ShowsFocusMark(WindowOf(at, item))) bits |= STATE_SYSTEM_FOCUSED;
            if (item && item->done) bits |= STATE_SYSTEM_CHECKED;
            if (!item && ItemCount >= MaxItems) bits |= STATE_SYSTEM_UNAVAILABLE;
        }
        return GiveNumber(static_cast<VARIANT*>(out), bits);
    }
    case Question::defaultAction:
        if (at == CHILDID_SELF) return DISP_E_MEMBERNOTFOUND;
        return GiveText(static_cast<BSTR*>(out), !item        ? "Press"
                                                 : item->done ? "Uncheck"
                                                              : "Check");
    // As a click on the box or the button does, saved the same way.
    case Question::doDefaultAction:
        if (at == CHILDID_SELF) return DISP_E_MEMBERNOTFOUND;
        if (item) {
            SetEntryDone(item, item->done ? 0 : 1);
        } else {
            AddItem();
        }
        return S_OK;
    case Question::focus:
        return GiveNumber(static_cast<VARIANT*>(out),
                          ZelkHasKeyboard() ? ChildIdOf(FocusedEntry()) : -1);
    // Taking the focus works as a click does: zelk takes the keyboard.
    case Question::select:
        if (!(a & SELFLAG_TAKEFOCUS)) return DISP_E_MEMBERNOTFOUND;
        OnClickTakesKeyboard(WindowOf(at, item));
        return S_OK;
    // A row is its tick box and its label.
    case Question::location: {
        LONG** place = static_cast<LONG**>(out);
        if (!place[0] || !place[1] || !place[2] || !place[3]) return E_POINTER;
        RECT r = ScreenRect(WindowOf(at, item));
        if (item) {
            const RECT box = ScreenRect(item->doneBox); // left of the label, as tall or less
            if (box.left < r.left) r.left = box.left;
            if (box.top < r.top) r.top = box.top;
            if (box.bottom > r.bottom) r.bottom = box.bottom;
        }
        *place[0] = r.left;
        *place[1] = r.top;
        *place[2] = r.right - r.left;
        *place[3] = r.bottom - r.top;
        return S_OK;
    }
    case Question::navigate: {
        if (!out) return E_POINTER;
        const LONG last = FocusRows() + 1;
        LONG to = -1;
        if (at == CHILDID_SELF) {
            if (a == NAVDIR_FIRSTCHILD)
                to = 1;
            else if (a == NAVDIR_LASTCHILD)
                to = last;
            else
                return DISP_E_MEMBERNOTFOUND;
        } else if (a == NAVDIR_NEXT || a == NAVDIR_DOWN) {
            to = at < last ? at + 1 : -1;
        } else if (a == NAVDIR_PREVIOUS || a == NAVDIR_UP) {
            to = at > 1 ? at - 1 : -1;
        } else {
            return DISP_E_MEMBERNOTFOUND;
        }
        return GiveNumber(static_cast<VARIANT*>(out), to);
    }
    // The window under the point tells the child: a row's box or label, the
    // button, or the list between them.
    case Question::hitTest: {
        const HWND hit = WindowFromPoint(POINT{a, b});
        const ListItem* found = FindItem(hit);
        return GiveNumber(static_cast<VARIANT*>(out), found ? ChildIdOf(found)
                                                      : hit == ThePlugin->addButton
                                                          ? ChildIdOf(nullptr)
                                                      : hit == ThePlugin->mainWindow ? CHILDID_SELF
                                                                                     : -1);
    }
    }
    return E_INVALIDARG;
}

ListAccessible* TheObject = nullptr;

// COM is started on the shell's thread if the shell has not, once: a shell
// in the other threading model has it started already. The object holds
// the DLL from the start; without a hold there is no object.
bool MakeObject(HWND window) {
    if (TheObject) return true;
    if (!ComStarted) {
        const HRESULT started = System.initialise(nullptr, COINIT_APARTMENTTHREADED);
        if (SUCCEEDED(started))
            ComStarted = true;
        else if (started != RPC_E_CHANGED_MODE)
            return false;
    }
    HMODULE hold;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCSTR>(&DisconnectAccessible), &hold))
        return false;
    void* memory = calloc(1, sizeof(ListAccessible));
    if (!memory) {
        FreeLibrary(hold); // the plug-in runs: the shell holds the DLL too
        return false;
    }
    TheObject = new (memory) ListAccessible(window, hold);
    return true;
}

} // namespace

LRESULT AnswerGetObject(HWND window, WPARAM wParam, LPARAM lParam) {
    // A 64-bit lParam arrives as 0xfffffffc, not sign-extended: the low 32 bits count.
    if (static_cast<LONG>(lParam) != OBJID_CLIENT || !ThePlugin ||
        window != ThePlugin->mainWindow || !LoadSystem() || !MakeObject(window))
        return 0;
    const LRESULT answer = System.lresultFromObject(AccessibleIid, wParam, TheObject);
    return answer > 0 ? answer : 0;
}

void RunCarriedCall() {
    CarriedCall* call = static_cast<CarriedCall*>(InterlockedExchangePointer(&Pending, nullptr));
    if (!call) return;
    call->result = call->self->Answer(call->question, call->at, call->out, call->a, call->b);
    InterlockedExchange(&call->done, 1);
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
