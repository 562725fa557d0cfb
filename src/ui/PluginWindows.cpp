#include "ui/PluginWindows.h"

#include "core/HostBinding.h"
#include "core/ModalLoop.h"
#include "core/PluginInstance.h"
#include "ui/Accessibility.h"
#include "ui/FocusState.h"
#include "ui/Keyboard.h"
#include "data/Changes.h"
#include "data/History.h"
#include "data/ItemList.h"
#include "data/Text.h"
#include "data/FileWatch.h"
#include "ui/ChangePath.h"
#include "ui/ChildWindows.h"
#include "ui/Commands.h"
#include "ui/DisplayChanges.h"
#include "ui/EditorText.h"
#include "ui/InPlaceEdit.h"
#include "ui/ListActions.h"
#include "ui/Paint.h"
#include "ui/ReorderDrag.h"
#include "ui/RowLayout.h"
#include "ui/SaveWarning.h"
#include "ui/Scrolling.h"
#include "ui/ToolTips.h"
#include "ui/Translucency.h"
#include "ui/WorkArea.h"

static const wchar_t PluginWideClassName[] = L"zelk";

namespace {

// Hands a message a subclass procedure does not handle to the procedure it
// replaced, kept in the instance.
LRESULT CallPrevious(WNDPROC PluginInstance::*which, HWND window, UINT message, WPARAM wParam,
                     LPARAM lParam) {
    WNDPROC previous = ThePlugin ? ThePlugin->*which : nullptr;
    if (!previous) return DefWindowProcW(window, message, wParam, lParam);
    return CallWindowProcW(previous, window, message, wParam, lParam);
}

bool IsMainWindow(HWND window) {
    return ThePlugin && window == ThePlugin->mainWindow;
}

// Docked, the slit owns the window's place: a Control-drag must not slide it
// around inside the slit (the Control-right-click menu still works).
bool IsDocked(HWND window) {
    return IsMainWindow(window) && MainWindowDocked();
}

// The window's own click target while Control is held: a child passes the
// test on to the main window, so a Control-drag anywhere moves the whole
// plug-in rather than one of its rows.
LRESULT HitTest(HWND window) {
    if (!(GetAsyncKeyState(VK_CONTROL) & 0x8000)) return HTCLIENT;
    return (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) && !IsMainWindow(window) ? HTTRANSPARENT
                                                                                   : HTCAPTION;
}

void OnWindowPosChanging(HWND window, WINDOWPOS* position) {
    if (IsMainWindow(window) && ThePlugin->snapToEdges && IsWindowVisible(window) && !PlacingWindow)
        Host.SnapWindowToEdge(position, 10, 1);
}

// A hide or a z-order change reports no position; only real moves are kept.
void OnWindowPosChanged(HWND window, const WINDOWPOS* position) {
    if (!IsMainWindow(window) || (position->flags & SWP_NOMOVE)) return;
    ThePlugin->x = position->x;
    ThePlugin->y = position->y;
}

// Where a Control-drag started, so that its end saves only a real move.
POINT MoveStart = {};

void OnEnterMove(HWND window) {
    if (!IsMainWindow(window)) return;
    MoveStart = {ThePlugin->x, ThePlugin->y};
    HoldReloads(true);
}

void OnExitMove(HWND window) {
    PluginInstance* p = ThePlugin;
    if (!IsMainWindow(window)) return;
    HoldReloads(false);
    if (p->x != MoveStart.x || p->y != MoveStart.y) SaveNow();
}

// The system's move loop (a Control-drag) runs inside this call: the shell
// may end the plug-in meanwhile, so the DLL is held until it returns.
LRESULT OnCaptionPress(HWND window, WPARAM wParam, LPARAM lParam) {
    ModalLoop loop;
    return DefWindowProcW(window, WM_NCLBUTTONDOWN, wParam, lParam);
}

void OnMainChar(HWND window, WPARAM key) {
    if (key != VK_RETURN) return;
    CommitEdit();
    InvalidateRgn(window, nullptr, FALSE);
}

// Keys reach here in whichever of zelk's own windows has the keyboard (the
// editor has its own): ui/Keyboard.h says what each does.
void OnKeyDown(WPARAM key) {
    if (OpensMenu(key)) {
        ShowConfigurationMenu();
    } else {
        OnListKey(key);
    }
}

// Shift+F10 comes as a system key; every other one goes the system's way.
bool OnSysKeyDown(WPARAM key) {
    if (!OpensMenu(key)) return false;
    ShowConfigurationMenu();
    return true;
}

void OnSetFocus(HWND window, HWND previous) {
    if (IsMainWindow(window)) OnMainSetFocus(previous);
}

void OnKillFocus(HWND window) {
    if (IsMainWindow(window)) OnMainKillFocus();
}

// Every window shows the new style: the main window and, since it clips
// its children, each child as well.
void OnReconfigure(HWND window) {
    if (!IsMainWindow(window)) return;
    PluginInstance& p = *ThePlugin;
    ReleaseConfigurationMenu();
    char oldFace[FontFaceSize];
    CopyText(oldFace, sizeof oldFace, p.fontFace);
    p.ReadStyle();
    if (!EqualsIgnoringCase(oldFace, p.fontFace)) ApplyEditFont(p);
    LayOutRows();
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// The pointer is over the window: the tooltip is made now, the first time,
// rather than at every start, where most sessions never need it.
void OnSetCursor() {
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    EnsureToolTip(*ThePlugin);
}

void OnBroadcast(HWND window, LPARAM text) {
    if (IsMainWindow(window)) HandleCommand(reinterpret_cast<const char*>(text));
}

// A left click toggles the tick, a middle click takes it off. A click here
// also stores an open edit, as a click anywhere else in the window does.
// The change is saved at once, with the stored edit in the same save; a
// click that changes nothing writes nothing. Only the row's own two windows
// change their look.
void OnDoneBoxClick(HWND box, bool toggle) {
    ListItem* item = FindItem(box);
    if (item) SetEntryDone(item, toggle && !item->done ? 1 : 0);
}

// Quick clicks on Add Item (see PressContinuesAdding): a press or a
// double-click that continues them gives the keyboard to Add Item as a
// press on it would, and its release adds. True when the message was one.
bool OnQuickAddClick(HWND window, UINT message, LPARAM position) {
    if (!ThePlugin) return false;
    if (message == WM_LBUTTONUP) {
        if (!AddsOnRelease(window)) return false;
        AddItemClicked(window, position);
        return true;
    }
    if (!PressContinuesAdding(window, position)) return false;
    OnClickTakesKeyboard(ThePlugin->addButton);
    return true;
}

void OnSettingsFolderChanged(HWND window, bool quiet) {
    if (!IsMainWindow(window)) return;
    if (quiet) {
        OnReloadTimer(window);
    } else {
        OnSettingsFolderChanged(window);
    }
}

// Free-floating, the main window hears the system's broadcasts; docked, the
// hidden listener does.
void OnSystemBroadcast(HWND window) {
    if (window == ThePlugin->listener ? MainWindowDocked()
                                      : IsMainWindow(window) && !MainWindowDocked())
        OnSystemLookChanged();
}

void OnTellSettingsProblem(HWND window) {
    if (IsMainWindow(window)) TellSettingsProblem(); // may outlive the plug-in: nothing after it
}

} // namespace

// The main window clips its children: a change to one row, or to the
// window's height, repaints what changed and leaves every other row's
// pixels as they are.
int CreatePluginWindows() {
    PluginInstance* p = ThePlugin;
    ListHead = ListTail = nullptr;

    WNDCLASSW windowClass = {};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = MainWndProc;
    windowClass.hInstance = p->module;
    windowClass.lpszClassName = PluginWideClassName;
    if (!RegisterClassW(&windowClass)) {
        ModalLoop loop;
        MessageBoxA(p->hostWindow, "Yo, Error registering window class", "zelk 1.0",
                    MB_ICONERROR | MB_TOPMOST);
        return 1;
    }

    SetScrollOffset(0);
    if (!(InSlit && SlitWindow)) WorkAreaFor(*p, false, p->width, p->height);
    p->mainWindow = CreateWindowExW(WS_EX_TOOLWINDOW, PluginWideClassName, nullptr,
                                    WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, p->x, p->y,
                                    p->width, p->height, nullptr, nullptr, p->module, nullptr);
    if (!p->mainWindow) {
        // The box has no owner, so the shell stays usable and may end the
        // plug-in meanwhile; the class then went with the instance.
        ModalLoop loop;
        MessageBoxA(nullptr, "Error creating window", "zelk 1.0", MB_ICONERROR | MB_TOPMOST);
        if (!loop.InstanceEnded()) UnregisterClassW(PluginWideClassName, p->module);
        return 1;
    }
    ReadDisplay(*p);
    p->editControl = CreateChildWindow("EDIT", 5, 5, p->width - 10, p->fontHeight);
    p->editPreviousProc = SubclassWindow(p->editControl, EditWndProc);
    UseRowProcedures(DoneBoxWndProc, LabelWndProc, ScrollBarWndProc);
    LimitEditorText(p->editControl);

    // An entry whose windows cannot be made stays in the list without a row.
    int rows = 0;
    for (int i = 0; i < ItemCount && i < MaxListed; ++i) {
        ListItem* item = AppendItem(LoadedText[i], LoadedDone[i]);
        if (!item) break; // out of memory: the staging tables still hold the rest
        if (CreateRow(item, rows)) ++rows;
    }

    const RECT button = CurrentLayout(rows).addButton;
    p->addButton = CreateChildWindow(PluginClassName, button.left, button.top,
                                     button.right - button.left, RowHeight());
    p->addButtonPreviousProc = SubclassWindow(p->addButton, AddButtonWndProc);
    LayOutRows();

    if (p->transparencySupported && p->transparencyOn && !p->highContrast)
        ApplyTranslucency(p->mainWindow, true, p->alpha);

    SubscribeWindow(p->editControl);
    SubscribeWindow(p->mainWindow);
    SubscribeWindow(p->addButton);
    ApplyEditFont(*p);

    if (InSlit && SlitWindow) {
        EnsureListener(*p);
        SendMessageA(SlitWindow, SLITMSG_ADD, 0, reinterpret_cast<LPARAM>(p->mainWindow));
        SendMessageA(SlitWindow, SLITMSG_UPDATE, 0, 0);
    }
    if (p->alwaysOnTop) {
        SetWindowPos(p->mainWindow, HWND_TOPMOST, 0, 0, 0, 0,
                     SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
    }
    // The editor is hidden before the window shows: hiding it in a shown
    // window would paint the window twice. Showing takes no keyboard from
    // the shell: the Focus command or a click gives it to zelk.
    ShowWindow(p->editControl, SW_HIDE);
    ShowWindow(p->mainWindow, SW_SHOWNA);
    SetKeyboardHome(p->mainWindow);
    InvalidateRect(p->mainWindow, nullptr, TRUE);
    // A problem met before the windows existed (or told to a window since
    // destroyed) is told now.
    if (p->warnings) PostMessageA(p->mainWindow, TellSettingsProblemMessage, 0, 0);
    StartWatching(p->target, p->mainWindow, SettingsFolderChangedMessage);
    return 0;
}

void DestroyPluginWindows() {
    PluginInstance* p = ThePlugin;
    if (!p) return;
    StopWatching(); // before the windows it posts to, and before the DLL can go
    DisconnectAccessible();
    SetKeyboardHome(nullptr);
    DestroyToolTip(*p);
    ForgetKeyboardOwner();
    ForgetKeyboard();
    UnsubscribeAndDestroy(p->mainWindow);
    UnsubscribeAndDestroy(p->editControl);
    UnsubscribeAndDestroy(p->addButton);
    if (p->listener) DestroyWindow(p->listener);
    p->mainWindow = p->editControl = p->addButton = p->scrollBar = p->listener = nullptr;
    for (ListItem* item = ListHead; item;) {
        ListItem* next = item->next;
        EndReorderOn(item->label);
        UnsubscribeAndDestroy(item->doneBox);
        UnsubscribeAndDestroy(item->label);
        ReleaseItem(item);
        item = next;
    }
    ItemCount = 0;
    ListHead = ListTail = nullptr;
    EditingLabel = nullptr;
    Edit.open = false;
    ForgetQuickClicks();
    ForgetFocus();   // after the windows, whose going may still ask for it
    ForgetHistory(); // an undo is for the session that made the change
    ForgetPending(); // what no save could write ends with the session
    UnregisterClassW(PluginWideClassName, p->module);
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!ThePlugin) return DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
    case WM_PAINT:
        PaintBackground(window);
        return 0;
    case WM_SETCURSOR:
        OnSetCursor();
        return 0;
    case WM_WINDOWPOSCHANGING:
        OnWindowPosChanging(window, reinterpret_cast<WINDOWPOS*>(lParam));
        return 0;
    case WM_WINDOWPOSCHANGED:
        OnWindowPosChanged(window, reinterpret_cast<const WINDOWPOS*>(lParam));
        return 0;
    case WM_NCHITTEST:
        return HitTest(window);
    case WM_CHAR:
        OnMainChar(window, wParam);
        return 0;
    case WM_KEYDOWN:
        OnKeyDown(wParam);
        return 0;
    case WM_SYSKEYDOWN:
        if (OnSysKeyDown(wParam)) return 0;
        break;
    case WM_CONTEXTMENU: // the keys above open the menu; docked, the slit must not
        return 0;
    case WM_SETFOCUS:
        OnSetFocus(window, reinterpret_cast<HWND>(wParam));
        return 0;
    case WM_KILLFOCUS:
        OnKillFocus(window);
        return 0;
    case WM_MOUSEACTIVATE:
        NoteKeyboardOwner();
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (OnQuickAddClick(window, message, lParam) || message == WM_LBUTTONDBLCLK) return 0;
        OnClickTakesKeyboard(window);
        return 0;
    case WM_MBUTTONDOWN:
    case WM_RBUTTONDOWN:
        OnClickTakesKeyboard(window);
        return 0;
    case WM_GETOBJECT:
        if (LRESULT answer = AnswerGetObject(window, wParam, lParam)) return answer;
        break;
    case CarriedCallMessage:
        RunCarriedCall();
        return 0;
    case WM_LBUTTONUP:
        if (!OnQuickAddClick(window, message, lParam)) CommitEdit();
        return 0;
    case WM_RBUTTONUP:
        return 0;
    case WM_NCLBUTTONDOWN:
        if (IsDocked(window)) return 0;
        return OnCaptionPress(window, wParam, lParam);
    case WM_NCRBUTTONDOWN:
        // The system's own handling would wait for the release itself and
        // never deliver it: the release is where the menu opens.
        if (GetAsyncKeyState(VK_CONTROL) & 0x8000) return 0;
        break;
    case WM_NCRBUTTONUP:
        if (GetAsyncKeyState(VK_CONTROL) & 0x8000) {
            ShowConfigurationMenu();
            return 0;
        }
        break;
    case HOSTMSG_RECONFIGURE:
        OnReconfigure(window);
        return 0;
    case HOSTMSG_BROADCAST:
        OnBroadcast(window, lParam);
        return 0;
    case WM_NOTIFY:
        return OnToolTipNotify(reinterpret_cast<const NMHDR*>(lParam));
    case WM_NOTIFYFORMAT: // the tooltip asks for its texts in Unicode
        return NFR_UNICODE;
    case WM_ENTERSIZEMOVE:
        OnEnterMove(window);
        return 0;
    case WM_EXITSIZEMOVE:
        OnExitMove(window);
        return 0;
    case WM_CLOSE: // Alt+F4 or another program: the window ends only with the plug-in
        return 0;
    case TellSettingsProblemMessage:
        OnTellSettingsProblem(window);
        return 0;
    case SettingsFolderChangedMessage:
        OnSettingsFolderChanged(window, false);
        return 0;
    case WM_TIMER:
        if (wParam == ReloadTimer) OnSettingsFolderChanged(window, true);
        return 0;
    case WM_MOUSEWHEEL:
        OnMouseWheel(GET_WHEEL_DELTA_WPARAM(wParam));
        return 0;
    case WM_VSCROLL:
        OnScrollBar(LOWORD(wParam));
        return 0;
    case WM_DPICHANGED:
        if (IsMainWindow(window)) OnDpiChanged(reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_DPICHANGED_AFTERPARENT:
        if (IsMainWindow(window)) OnDpiChangedAfterParent();
        return 0;
    case WM_DISPLAYCHANGE:
        ForgetWorkArea();
        break;
    case WM_SETTINGCHANGE:
        ForgetWorkArea();
        OnSystemBroadcast(window);
        break;
    case WM_SYSCOLORCHANGE:
        OnSystemBroadcast(window);
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Dragging the thumb or holding an arrow runs the scroll bar's own modal
// loop, inside which the shell may end the plug-in: the loop is guarded,
// and nothing of the instance is touched after it.
LRESULT CALLBACK ScrollBarWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK) {
        ModalLoop loop;
        return CallPrevious(&PluginInstance::scrollBarPreviousProc, window, message, wParam,
                            lParam);
    }
    return CallPrevious(&PluginInstance::scrollBarPreviousProc, window, message, wParam, lParam);
}

LRESULT CALLBACK LabelWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if ((message == WM_LBUTTONDOWN || message == WM_LBUTTONUP || message == WM_LBUTTONDBLCLK) &&
        OnQuickAddClick(window, message, lParam))
        return 0;
    switch (message) {
    case WM_PAINT:
        PaintItemLabel(window, InsertionMarkOn(window), ShowsFocusMark(window));
        return 0;
    case WM_LBUTTONDOWN:
        OnClickTakesKeyboard(window);
        if (ReorderOnButtonDown(window, lParam)) return 0;
        break;
    case WM_MOUSEMOVE:
        if (ReorderOnMouseMove(window, lParam)) return 0;
        break;
    case WM_LBUTTONUP:
        if (ReorderOnButtonUp(window, lParam)) return 0;
        break;
    case WM_CAPTURECHANGED:
        ReorderOnCaptureLost(window);
        return 0;
    case WM_TIMER:
        if (ReorderOnTimer(window, wParam)) return 0;
        break;
    case WM_LBUTTONDBLCLK:
        BeginEdit(window);
        return 0;
    case WM_RBUTTONUP:
        return 0;
    case WM_RBUTTONDBLCLK:
        DeleteItem(window); // destroys this window: nothing may touch it afterwards
        return 0;
    }
    return CallPrevious(&PluginInstance::labelPreviousProc, window, message, wParam, lParam);
}

LRESULT CALLBACK DoneBoxWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        PaintDoneBox(window);
        return 0;
    case WM_LBUTTONUP:
        if (!OnQuickAddClick(window, message, lParam)) OnDoneBoxClick(window, true);
        return 0;
    case WM_MBUTTONUP:
        OnDoneBoxClick(window, false);
        return 0;
    }
    return CallPrevious(&PluginInstance::doneBoxPreviousProc, window, message, wParam, lParam);
}

LRESULT CALLBACK AddButtonWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        PaintAddButton(window, ShowsFocusMark(window));
        return 0;
    case WM_LBUTTONUP:
        AddItemClicked(window, lParam);
        return 0;
    }
    return CallPrevious(&PluginInstance::addButtonPreviousProc, window, message, wParam, lParam);
}

LRESULT CALLBACK EditWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CHAR && wParam == VK_RETURN) {
        CommitEdit();
        return 0;
    }
    if (message == WM_CHAR && wParam == VK_ESCAPE) {
        CancelEdit();
        return 0;
    }
    if (message == WM_KILLFOCUS) EditorLostKeyboard();
    if (IsTextInput(message, wParam) && ThePlugin && ThePlugin->editPreviousProc)
        return PassTextInput(ThePlugin->editPreviousProc, window, message, wParam, lParam);
    return CallPrevious(&PluginInstance::editPreviousProc, window, message, wParam, lParam);
}
