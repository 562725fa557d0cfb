#include "ui/PluginWindows.h"

#include <limits.h>
#include <string.h>

#include "core/HostBinding.h"
#include "core/ModalLoop.h"
#include "core/PluginInstance.h"
#include "data/DeletionMemory.h"
#include "data/ItemList.h"
#include "data/Text.h"
#include "ui/ChildWindows.h"
#include "ui/Commands.h"
#include "ui/Paint.h"
#include "ui/ReorderDrag.h"
#include "ui/RowLayout.h"
#include "ui/SaveWarning.h"
#include "ui/ToolTips.h"

const char PluginClassName[] = "zelk";

namespace {

// The window that had the keyboard when an edit began: it gets it back when
// the edit ends, if it still exists.
HWND FocusBeforeEdit = nullptr;
// Set while an edit is being ended, so that the editor losing the keyboard
// on the way does not end it a second time.
bool EndingEdit = false;
// Set while the window changes its parent: the editor loses the keyboard on
// the way, yet the edit stays open. True in HadKeyboard when the editor had
// it before, to have it back after.
bool Reparenting = false;
bool HadKeyboard = false;

// Hands a message a subclass procedure does not handle to the procedure it
// replaced, kept in the instance.
LRESULT CallPrevious(WNDPROC PluginInstance::*which, HWND window, UINT message, WPARAM wParam,
                     LPARAM lParam) {
    WNDPROC previous = ThePlugin ? ThePlugin->*which : nullptr;
    if (!previous) return DefWindowProcA(window, message, wParam, lParam);
    return CallWindowProcA(previous, window, message, wParam, lParam);
}

struct WorkAreaSearch {
    RECT window;
    bool touches;
};

BOOL CALLBACK FindWorkAreaTouching(HMONITOR monitor, HDC, LPRECT, LPARAM context) {
    WorkAreaSearch* search = reinterpret_cast<WorkAreaSearch*>(context);
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    RECT common;
    search->touches =
        GetMonitorInfoA(monitor, &info) && IntersectRect(&common, &info.rcWork, &search->window);
    return !search->touches;
}

// A free-floating window whose saved position lies wholly outside every
// monitor's work area (a monitor was unplugged, or the file was edited) is
// put back at the default position, where the user can reach it.
void KeepOnScreen(PluginInstance& p) {
    long long right = static_cast<long long>(p.x) + p.width;
    long long bottom = static_cast<long long>(p.y) + p.height;
    WorkAreaSearch search = {{p.x, p.y, 0, 0}, false};
    if (right <= INT_MAX && bottom <= INT_MAX) {
        search.window.right = static_cast<int>(right);
        search.window.bottom = static_cast<int>(bottom);
        EnumDisplayMonitors(nullptr, nullptr, FindWorkAreaTouching,
                            reinterpret_cast<LPARAM>(&search));
    }
    if (!search.touches) p.x = p.y = 10;
}

bool IsMainWindow(HWND window) {
    return ThePlugin && window == ThePlugin->mainWindow;
}

// Docked, the slit owns the window's place: a Control-drag must not slide it
// around inside the slit (the Control-right-click menu still works).
bool IsDocked(HWND window) {
    return IsMainWindow(window) && (GetWindowLongA(window, GWL_STYLE) & WS_CHILD);
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
    if (IsMainWindow(window)) MoveStart = {ThePlugin->x, ThePlugin->y};
}

void OnExitMove(HWND window) {
    PluginInstance* p = ThePlugin;
    if (!IsMainWindow(window) || (p->x == MoveStart.x && p->y == MoveStart.y)) return;
    p->movedThisSession = true;
    p->Save();
}

void OnMainChar(HWND window, WPARAM key) {
    if (key != VK_RETURN) return;
    CommitEdit();
    InvalidateRgn(window, nullptr, FALSE);
}

// Keys reach here in whichever of zelk's own windows has the keyboard (the
// editor has its own). Escape ends a drag; Control+Z undoes a deletion.
void OnKeyDown(WPARAM key) {
    if (key == VK_ESCAPE) {
        CancelReorder();
    } else if (key == 'Z' && (GetKeyState(VK_CONTROL) & 0x8000)) {
        UndoDelete();
    }
}

// The edit control's font follows the style's face. Nothing else moves on
// a style change: the font height is fixed, so the rows stay where they are.
void ApplyEditFont(PluginInstance& p) {
    HFONT font = CreateFontA(p.fontHeight, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE,
                             DEFAULT_CHARSET, 0, 0, NONANTIALIASED_QUALITY, 0, p.fontFace);
    SendMessageA(p.editControl, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
    if (p.editFont) DeleteObject(p.editFont);
    p.editFont = font;
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
    if (!item) return;
    const bool edited = EditingLabel && StoreEdit();
    const int done = toggle && !item->done ? 1 : 0;
    if (!edited && item->done == done) return;
    item->done = done;
    InvalidateRect(item->doneBox, nullptr, FALSE);
    InvalidateRect(item->label, nullptr, FALSE);
    ThePlugin->Save();
}

// Entries read at last from a file that could not be read at start joined
// the list without rows: each gets its row and every row moves to its
// place. An open edit is stored first, since its row may move.
void OnLayOutEntries(HWND window) {
    if (!IsMainWindow(window)) return;
    bool added = false;
    for (ListItem* item = ListHead; item; item = item->next) {
        if (item->label) continue;
        if (!added) CommitEdit();
        added = CreateRow(item, CountRows()) || added;
    }
    if (added) LayOutRows();
}

void OnTellSettingsProblem(HWND window) {
    if (IsMainWindow(window)) TellSettingsProblem(); // may outlive the plug-in: nothing after it
}

// The editor takes the keyboard with its whole text selected, so typing
// replaces the text, as renaming a file does.
void GiveEditorTheKeyboard(HWND editor) {
    FocusBeforeEdit = GetFocus();
    if (!FocusBeforeEdit) FocusBeforeEdit = GetForegroundWindow();
    SetFocus(editor);
    SendMessageA(editor, EM_SETSEL, 0, -1);
}

// Only while the editor still holds the keyboard: when it went to another
// window, it stays there.
void ReturnTheKeyboard(HWND editor) {
    HWND back = FocusBeforeEdit;
    FocusBeforeEdit = nullptr;
    if (GetFocus() != editor || !back || back == editor || !IsWindow(back)) return;
    if (GetWindowThreadProcessId(back, nullptr) == GetCurrentThreadId()) {
        SetFocus(back);
    } else {
        SetForegroundWindow(back);
    }
}

// The editor lost the keyboard to another window: what it holds is stored,
// and the keyboard stays where the user put it.
void OnEditorLostKeyboard() {
    if (!ThePlugin || EndingEdit || Reparenting || !EditingLabel) return;
    FocusBeforeEdit = nullptr;
    CommitEdit();
    InvalidateRgn(ThePlugin->mainWindow, nullptr, FALSE);
}

// An addition that would put a free-floating window's bottom below its
// monitor's work area moves the window up just enough, never above the work
// area's top, and never down. The new place is kept as a move is. Docked,
// the slit decides where the window goes.
void KeepGrowthInWorkArea(PluginInstance& p, int newHeight) {
    if (!p.mainWindow || IsDocked(p.mainWindow)) return;
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoA(MonitorFromWindow(p.mainWindow, MONITOR_DEFAULTTONEAREST), &info)) return;
    if (static_cast<long long>(p.y) + newHeight <= info.rcWork.bottom) return;
    long long top = static_cast<long long>(info.rcWork.bottom) - newHeight;
    if (top < info.rcWork.top) top = info.rcWork.top;
    if (top < p.y) p.y = static_cast<int>(top);
}

} // namespace

// The main window clips its children: a change to one row, or to the
// window's height, repaints what changed and leaves every other row's
// pixels as they are.
int CreatePluginWindows() {
    PluginInstance* p = ThePlugin;
    ListHead = ListTail = nullptr;

    WNDCLASSA windowClass = {};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = MainWndProc;
    windowClass.hInstance = p->module;
    windowClass.lpszClassName = PluginClassName;
    if (!RegisterClassA(&windowClass)) {
        ModalLoop loop;
        MessageBoxA(p->hostWindow, "Yo, Error registering window class", "zelk 1.0",
                    MB_ICONERROR | MB_TOPMOST);
        return 1;
    }

    if (!(InSlit && SlitWindow)) KeepOnScreen(*p);
    p->mainWindow = CreateWindowExA(WS_EX_TOOLWINDOW, PluginClassName, nullptr,
                                    WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, p->x, p->y,
                                    p->width, p->height, nullptr, nullptr, p->module, nullptr);
    if (!p->mainWindow) {
        // The box has no owner, so the shell stays usable and may end the
        // plug-in meanwhile; the class then went with the instance.
        ModalLoop loop;
        MessageBoxA(nullptr, "Error creating window", "zelk 1.0", MB_ICONERROR | MB_TOPMOST);
        if (!loop.InstanceEnded()) UnregisterClassA(PluginClassName, p->module);
        return 1;
    }
    const int fh = p->fontHeight;
    p->editControl = CreateChildWindow("EDIT", 5, 5, p->width - 10, fh);
    p->editPreviousProc = SubclassWindow(p->editControl, EditWndProc);

    // An entry whose windows cannot be made stays in the list without a row.
    int rows = 0;
    for (int i = 0; i < ItemCount && i < MaxListed; ++i) {
        ListItem* item = AppendItem(LoadedText[i], LoadedDone[i]);
        if (!item) break; // out of memory: the staging tables still hold the rest
        if (CreateRow(item, rows)) ++rows;
    }

    p->addButton =
        CreateChildWindow(PluginClassName, 5, LabelTop(rows) + 4, p->width - 10, RowHeight());
    p->addButtonPreviousProc = SubclassWindow(p->addButton, AddButtonWndProc);
    LayOutRows();

    if (p->transparencySupported && p->transparencyOn) {
        SetWindowLongA(p->mainWindow, GWL_EXSTYLE, WS_EX_LAYERED | WS_EX_TOOLWINDOW);
        ApplyWindowAlpha(p->mainWindow, p->alpha);
    }

    SubscribeWindow(p->editControl);
    SubscribeWindow(p->mainWindow);
    SubscribeWindow(p->addButton);
    ApplyEditFont(*p);

    if (InSlit && SlitWindow) {
        SendMessageA(SlitWindow, SLITMSG_ADD, 0, reinterpret_cast<LPARAM>(p->mainWindow));
        SendMessageA(SlitWindow, SLITMSG_UPDATE, 0, 0);
    }
    if (p->alwaysOnTop) {
        SetWindowPos(p->mainWindow, HWND_TOPMOST, 0, 0, 0, 0,
                     SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
    }
    ShowWindow(p->mainWindow, SW_SHOW);
    InvalidateRect(p->mainWindow, nullptr, TRUE);
    ShowWindow(p->editControl, SW_HIDE);
    // A problem met before the windows existed (or told to a window since
    // destroyed) is told now.
    if (p->warnings) PostMessageA(p->mainWindow, TellSettingsProblemMessage, 0, 0);
    return 0;
}

void DestroyPluginWindows() {
    PluginInstance* p = ThePlugin;
    if (!p) return;
    DestroyToolTip(*p);
    FocusBeforeEdit = nullptr;
    UnsubscribeAndDestroy(p->mainWindow);
    UnsubscribeAndDestroy(p->editControl);
    UnsubscribeAndDestroy(p->addButton);
    p->mainWindow = p->editControl = p->addButton = nullptr;
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
    ForgetDeletions(); // an undo is for the session that deleted
    UnregisterClassA(PluginClassName, p->module);
}

// What the user typed into an open editor is kept when the windows are about
// to change or to be torn down, rather than dropped with them. The action
// saves it with its own single save.
void CommitOpenEdit() {
    if (ThePlugin && EditingLabel) StoreEdit();
}

// One row is appended: its two windows are made, the window grows by a row
// (moving up where it would pass the bottom of the work area) and the Add
// Item button moves down. The list holds 50 entries: a 51st is refused with
// a warning sound. An entry whose windows cannot be made is kept all the
// same: it is saved and shows at the next start.
void AddItem() {
    PluginInstance* p = ThePlugin;
    if (!p) return;
    CommitOpenEdit();
    if (ItemCount >= MaxItems) {
        MessageBeep(MB_ICONWARNING);
        return;
    }
    ListItem* item = AppendItem("New Item", 0);
    if (!item) return;
    KeepGrowthInWorkArea(*p, WindowHeightFor(CountRows() + 1));
    ++ItemCount;
    CreateRow(item, CountRows());
    LayOutRows();
    p->Save();
}

// The row's two windows go and the rows below it move up into its place.
// Called from the entry's own label: nothing may touch that window after.
// The entry, its tick and its place are remembered for Undo Delete.
void DeleteItem(HWND window) {
    PluginInstance* p = ThePlugin;
    ListItem* item = FindItem(window);
    if (!p || !item) return;
    CommitOpenEdit();
    RememberDeleted(BeginDeletion(), IndexOfItem(item), *item);
    UnlinkItem(item);
    DestroyRow(item);
    ReleaseItem(item);
    --ItemCount;
    LayOutRows();
    p->Save();
}

// Every ticked entry goes in one step and one save, remembered as one
// deletion so that one Undo Delete brings the whole set back.
void RemoveTickedEntries() {
    PluginInstance* p = ThePlugin;
    if (!p || !AnyEntryTicked()) return;
    CommitOpenEdit();
    Deletion& deletion = BeginDeletion();
    int index = 0;
    for (ListItem* item = ListHead; item; ++index) {
        ListItem* next = item->next;
        if (item->done) {
            RememberDeleted(deletion, index, *item);
            UnlinkItem(item);
            DestroyRow(item);
            ReleaseItem(item);
            --ItemCount;
        }
        item = next;
    }
    LayOutRows();
    p->Save();
}

// The newest deletion comes back: each entry at the place it had, or at the
// end of a list now shorter, with its tick. One that would take the list
// past 50 entries is refused with a warning sound and stays to be undone.
void UndoDelete() {
    PluginInstance* p = ThePlugin;
    const Deletion* deletion = LatestDeletion();
    if (!p || !deletion) return;
    if (ItemCount + deletion->count > MaxItems) {
        MessageBeep(MB_ICONWARNING);
        return;
    }
    CommitOpenEdit();
    KeepGrowthInWorkArea(*p, WindowHeightFor(CountRows() + deletion->count));
    for (int i = 0; i < deletion->count; ++i) {
        const DeletedEntry& entry = deletion->entries[i];
        ListItem* item = InsertItemAt(entry.index, entry.text, entry.done);
        if (!item) break; // out of memory: what came back is kept and saved
        ++ItemCount;
        CreateRow(item, CountRows());
    }
    ForgetLatestDeletion();
    LayOutRows();
    p->Save();
}

bool AnyEntryTicked() {
    for (const ListItem* item = ListHead; item; item = item->next)
        if (item->done) return true;
    return false;
}

// The window, its rows and the Add Item button take the new width at once;
// every caption is drawn again, centred for it. The same width writes nothing.
void SetWindowWidth(int width) {
    PluginInstance* p = ThePlugin;
    if (!p || width < MinWindowWidth || width > MaxWindowWidth || width == p->width) return;
    p->width = width;
    LayOutRows();
    RedrawWindow(p->mainWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    p->Save();
}

void BeginEdit(HWND label) {
    PluginInstance* p = ThePlugin;
    if (!p) return;
    CommitEdit();
    ListItem* item = FindItem(label);
    if (!item) return;
    RECT client;
    GetClientRect(label, &client);
    ShowWindow(p->editControl, SW_SHOW);
    ShowWindow(label, SW_HIDE);
    EditingLabel = label;
    SetWindowTextA(p->editControl, item->text);
    MoveWindow(p->editControl, 20, item->labelTop, client.right, client.bottom, TRUE);
    GiveEditorTheKeyboard(p->editControl);
    InvalidateRgn(p->mainWindow, nullptr, FALSE);
}

void BeginReparenting() {
    Reparenting = true;
    HadKeyboard = ThePlugin && EditingLabel && GetFocus() == ThePlugin->editControl;
}

// The editor's own window may be left holding the keyboard while another
// top-level window is the active one: the window it now sits in is made
// active, so the keyboard stays with it.
void EndReparenting() {
    if (HadKeyboard && ThePlugin && EditingLabel) {
        HWND editor = ThePlugin->editControl;
        HWND root = GetAncestor(editor, GA_ROOT);
        if (GetActiveWindow() != root) SetActiveWindow(root);
        if (GetFocus() != editor) SetFocus(editor);
    }
    Reparenting = false;
    HadKeyboard = false;
}

// The editor's text goes into the entry trimmed, with control characters as
// spaces; a text with nothing left could not be stored, so the entry then
// keeps the text it had. True when the entry's text changed.
bool StoreEdit() {
    PluginInstance* p = ThePlugin;
    if (!p) return false;
    ReleaseConfigurationMenu();
    EndingEdit = true;
    ReturnTheKeyboard(p->editControl);
    ShowWindow(p->editControl, SW_HIDE);
    EndingEdit = false;
    HWND label = EditingLabel;
    EditingLabel = nullptr;
    if (!label) return false;
    ShowWindow(label, SW_SHOW);
    ListItem* item = FindItem(label);
    if (!item) return false;
    char text[ItemTextSize] = {};
    GetWindowTextA(p->editControl, text, ItemTextSize);
    CleanEntryText(text);
    if (!text[0] || strcmp(text, item->text) == 0) return false;
    CopyText(item->text, sizeof item->text, text);
    return true;
}

// Enter, a click elsewhere or the start of another edit: an edit that
// changed the text is saved at once.
void CommitEdit() {
    if (StoreEdit()) ThePlugin->Save();
}

// Escape in the editor: the editor closes and the entry keeps its text. The
// editor gets the entry's text back, since a later click commits whatever
// the hidden editor holds.
void CancelEdit() {
    PluginInstance* p = ThePlugin;
    if (!p || !EditingLabel) return;
    HWND label = EditingLabel;
    EditingLabel = nullptr;
    EndingEdit = true;
    ReturnTheKeyboard(p->editControl);
    ShowWindow(p->editControl, SW_HIDE);
    EndingEdit = false;
    ShowWindow(label, SW_SHOW);
    if (const ListItem* item = FindItem(label)) SetWindowTextA(p->editControl, item->text);
    InvalidateRgn(p->mainWindow, nullptr, FALSE);
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!ThePlugin) return DefWindowProcA(window, message, wParam, lParam);
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
    case WM_LBUTTONUP:
        CommitEdit();
        return 0;
    case WM_RBUTTONUP:
        return 0;
    case WM_NCLBUTTONDOWN:
        if (IsDocked(window)) return 0;
        break;
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
    case LayOutEntriesMessage:
        OnLayOutEntries(window);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK LabelWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        PaintItemLabel(window);
        return 0;
    case WM_LBUTTONDOWN:
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
        OnDoneBoxClick(window, true);
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
        PaintAddButton(window);
        return 0;
    case WM_LBUTTONUP:
        AddItem(); // destroys this window: nothing may touch it afterwards
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
    if (message == WM_KILLFOCUS) OnEditorLostKeyboard();
    return CallPrevious(&PluginInstance::editPreviousProc, window, message, wParam, lParam);
}
