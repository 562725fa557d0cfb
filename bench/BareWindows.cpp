#include "BareWindows.h"

#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <atomic>
#include <vector>

namespace bare {
namespace {

const char ClassName[] = "zelkBenchBare";
// Control ids tell the one window procedure which kind of window it is
// serving; which entry a row's window shows is its place in the row tables
// (RowOf), so that rows moving up after a deletion need no new ids.
const int DoneBoxId = 1000, LabelId = 2000, AddButtonId = 3000;
const UINT MoveOnly = SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;
const UINT SizeOnly = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE;
const UINT FolderChangedMessage = WM_APP + 1;
// The file is read once the folder has been quiet this long, as zelk waits.
const UINT QuietTime = 200;

struct State {
    std::string path;
    bench::Look look;
    std::vector<bench::Entry> entries;
    int x = 300, y = 10, width = 100;
    HWND main = nullptr, edit = nullptr, button = nullptr;
    std::vector<HWND> boxes, labels;
    HFONT editFont = nullptr;
    Changes changes = Changes::OneRow;
    // The row the keys act on: -1 until a key chooses one. Without the
    // keyboard, as in the benchmark, no mark shows on it.
    int focused = -1;
    // The last deletion, for Undo Delete: its place and its entry.
    size_t deletedAt = 0;
    bench::Entry deleted;
    bool canUndo = false;
    unsigned long long hash = 0; // of the bytes last read or written
    HANDLE notice = INVALID_HANDLE_VALUE, stop = nullptr, watch = nullptr;
};
State S;
// Where the watching thread posts; the whole rebuild makes a new window.
std::atomic<HWND> WatchTarget{nullptr};

[[noreturn]] void Fail(const char* what) {
    fprintf(stderr, "zelk_bench: %s\n", what);
    fflush(stderr);
    ExitProcess(1);
}

// FNV-1a 64-bit, as zelk hashes the file's bytes.
unsigned long long Hash(const std::string& bytes) {
    unsigned long long hash = 14695981039346656037ull;
    for (char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

int RowHeight() {
    return S.look.fontHeight + 3;
}
int LabelTop(int index) {
    return 10 - (S.look.fontHeight - 7) / 2 + RowHeight() * index;
}
int WindowHeight() {
    return RowHeight() * int(S.entries.size()) + S.look.fontHeight + 18;
}
int DoneBoxTop(int index) {
    return RowHeight() * index + 10;
}
int AddButtonTop() {
    return LabelTop(int(S.entries.size())) + 4;
}

// The row a done box or label belongs to.
size_t RowOf(HWND window) {
    const std::vector<HWND>& rows = GetDlgCtrlID(window) == DoneBoxId ? S.boxes : S.labels;
    return size_t(std::find(rows.begin(), rows.end(), window) - rows.begin());
}

// The settings file's bytes, read whole in one go.
bool ReadWholeFile(std::string& bytes) {
    HANDLE file = CreateFileA(S.path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    char buffer[16384];
    DWORD got = 0;
    bool ok = ReadFile(file, buffer, sizeof buffer, &got, nullptr);
    CloseHandle(file);
    bytes.assign(buffer, ok ? got : 0);
    return ok;
}

// Temporary file, flush, one-step replace: the same guarantees zelk gives.
// Right before the replacement the file is read and its bytes compared with
// those last read or written, as zelk looks for another program's write to
// merge. The benchmark never writes behind the bare routine's back, so here
// that is only ever the cost of looking.
bool WriteSettings() {
    std::string text = bench::SettingsText(S.entries, S.x, S.y);
    std::string temporary = S.path + ".tmp";
    HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr) &&
              written == text.size();
    ok = FlushFileBuffers(file) && ok;
    CloseHandle(file);
    std::string now;
    if (ok && (!ReadWholeFile(now) || Hash(now) != S.hash))
        Fail("the bare settings file was changed behind the bare routine's back");
    ok = ok && MoveFileExA(temporary.c_str(), S.path.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (ok) S.hash = Hash(text);
    return ok;
}

// The value after "key:" on a line, blanks trimmed.
std::string ValueAfterColon(const char* begin, const char* end) {
    const char* colon = static_cast<const char*>(memchr(begin, ':', size_t(end - begin)));
    if (!colon) return std::string();
    const char* v = colon + 1;
    while (v < end && (*v == ' ' || *v == '\t'))
        ++v;
    while (end > v && (end[-1] == ' ' || end[-1] == '\t'))
        --end;
    return std::string(v, size_t(end - v));
}

// Takes the position, width and entries from the file's bytes.
void Parse(const std::string& bytes, std::vector<bench::Entry>& entries, int& x, int& y,
           int& width) {
    entries.clear();
    const char* p = bytes.data();
    const char* end = p + bytes.size();
    while (p < end) {
        const char* lineEnd = p;
        while (lineEnd < end && *lineEnd != '\n' && *lineEnd != '\r')
            ++lineEnd;
        std::string line(p, size_t(lineEnd - p));
        std::string value = ValueAfterColon(p, lineEnd);
        int n = 0;
        if (line.compare(0, 16, "zelk.position.x:") == 0) {
            x = atoi(value.c_str());
        } else if (line.compare(0, 16, "zelk.position.y:") == 0) {
            y = atoi(value.c_str());
        } else if (line.compare(0, 11, "zelk.width:") == 0) {
            width = atoi(value.c_str());
        } else if (line.compare(0, 9, "zelk.zelk") == 0 && (n = atoi(line.c_str() + 9)) > 0) {
            if (int(entries.size()) < n) entries.resize(size_t(n));
            if (line.find(".text:") != std::string::npos) entries[size_t(n - 1)].text = value;
            if (line.find(".done:") != std::string::npos)
                entries[size_t(n - 1)].done = atoi(value.c_str());
        }
        p = lineEnd;
        while (p < end && (*p == '\n' || *p == '\r'))
            ++p;
    }
}

// Reads the file in one go and takes the position, width and entries from it.
bool ReadSettings() {
    std::string bytes;
    if (!ReadWholeFile(bytes)) return false;
    S.hash = Hash(bytes);
    Parse(bytes, S.entries, S.x, S.y, S.width);
    return true;
}

HWND CreateChild(const char* className, DWORD style, int id, int x, int y, int w, int h) {
    return CreateWindowExA(0, className, nullptr, WS_CHILD | style, x, y, w, h, S.main,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleA(nullptr), nullptr);
}

// A row's done box and label at `index` of the row tables, made visible and
// so painted at the next update.
void CreateRow(size_t index) {
    const int row = int(index);
    S.boxes.insert(S.boxes.begin() + std::ptrdiff_t(index),
                   CreateChild(ClassName, WS_VISIBLE, DoneBoxId, 5, DoneBoxTop(row), 10, 10));
    S.labels.insert(
        S.labels.begin() + std::ptrdiff_t(index),
        CreateChild(ClassName, WS_VISIBLE, LabelId, 20, LabelTop(row), S.width - 25, RowHeight()));
}

void CreateWindows() {
    const int fh = S.look.fontHeight;
    S.main = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, ClassName, nullptr,
                             WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, S.x, S.y, S.width,
                             WindowHeight(), nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    WatchTarget = S.main;
    S.edit = CreateChild("EDIT", ES_AUTOHSCROLL, 1, 5, 5, S.width - 10, fh);
    S.editFont = CreateFontA(fh, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0,
                             NONANTIALIASED_QUALITY, 0, S.look.fontFace);
    SendMessageA(S.edit, WM_SETFONT, reinterpret_cast<WPARAM>(S.editFont), 0);
    S.boxes.clear();
    S.labels.clear();
    for (size_t i = 0; i < S.entries.size(); ++i)
        CreateRow(i);
    S.button = CreateChild(ClassName, WS_VISIBLE, AddButtonId, 5, AddButtonTop(), S.width - 10,
                           RowHeight());
    ShowWindow(S.main, SW_SHOW);
}

void DestroyWindows() {
    WatchTarget = nullptr;
    DestroyWindow(S.main); // its children go with it
    DeleteObject(S.editFont);
    S.main = S.edit = S.button = nullptr;
    S.editFont = nullptr;
    S.boxes.clear();
    S.labels.clear();
}

void Rebuild() {
    WriteSettings();
    DestroyWindows();
    ReadSettings();
    CreateWindows();
}

// The popup's gradient spans its height, so a new height repaints all of it;
// its children are clipped out of that paint and keep their pixels.
void FitMainWindow() {
    SetWindowPos(S.main, nullptr, 0, 0, S.width, WindowHeight(), SizeOnly);
    InvalidateRect(S.main, nullptr, FALSE);
}

// The button is drawn the ticked way while the list is full: it paints
// again when an addition fills the list or a deletion frees a place.
void RepaintButtonIfFullnessChanged(size_t entriesBefore) {
    if ((entriesBefore >= 50) != (S.entries.size() >= 50)) InvalidateRect(S.button, nullptr, FALSE);
}

// The popup grows first, so that the button, moved down into the new space,
// can take its pixels along rather than be painted again.
void AppendRow() {
    S.entries.push_back({"New Item", 0});
    FitMainWindow();
    CreateRow(int(S.entries.size()) - 1);
    SetWindowPos(S.button, nullptr, 5, AddButtonTop(), 0, 0, MoveOnly);
    RepaintButtonIfFullnessChanged(S.entries.size() - 1);
    WriteSettings();
}

// The popup shrinks first, while every row still lies in the part it
// keeps; then the rows below move up in one batch, top first, each into the
// place the one above has left, and take their pixels along. Only the
// button, cut off by the shrink, paints again. (Shrinking after the moves
// instead makes Wine paint every moved row again: 100 paints, not 2.)
// The caller saves, or not when the file itself lost the entry.
void RemoveRow(size_t index) {
    DestroyWindow(S.boxes[index]);
    DestroyWindow(S.labels[index]);
    S.entries.erase(S.entries.begin() + std::ptrdiff_t(index));
    S.boxes.erase(S.boxes.begin() + std::ptrdiff_t(index));
    S.labels.erase(S.labels.begin() + std::ptrdiff_t(index));
    FitMainWindow();
    HDWP batch = BeginDeferWindowPos(int(2 * (S.entries.size() - index) + 1));
    for (size_t i = index; i < S.entries.size() && batch; ++i) {
        batch = DeferWindowPos(batch, S.boxes[i], nullptr, 5, DoneBoxTop(int(i)), 0, 0, MoveOnly);
        if (batch)
            batch =
                DeferWindowPos(batch, S.labels[i], nullptr, 20, LabelTop(int(i)), 0, 0, MoveOnly);
    }
    if (batch) batch = DeferWindowPos(batch, S.button, nullptr, 5, AddButtonTop(), 0, 0, MoveOnly);
    if (batch) EndDeferWindowPos(batch);
    RepaintButtonIfFullnessChanged(S.entries.size() + 1);
}

// The mirror of RemoveRow: the popup grows first, so that everything moving
// down lands inside it; then the button and the rows below the new one move
// down in one batch, bottom first, so that each reads its old pixels before
// another move lands on them, and take them along. The new row is made in
// the place they left. The caller saves, or not when the file itself
// brought the entry.
void InsertRow(size_t index, const bench::Entry& entry) {
    S.entries.insert(S.entries.begin() + std::ptrdiff_t(index), entry);
    FitMainWindow();
    const size_t moved = S.boxes.size() - index;
    HDWP batch = BeginDeferWindowPos(int(2 * moved + 1));
    if (batch) batch = DeferWindowPos(batch, S.button, nullptr, 5, AddButtonTop(), 0, 0, MoveOnly);
    for (size_t i = S.boxes.size(); i-- > index && batch;) {
        batch =
            DeferWindowPos(batch, S.boxes[i], nullptr, 5, DoneBoxTop(int(i + 1)), 0, 0, MoveOnly);
        if (batch)
            batch = DeferWindowPos(batch, S.labels[i], nullptr, 20, LabelTop(int(i + 1)), 0, 0,
                                   MoveOnly);
    }
    if (batch) EndDeferWindowPos(batch);
    CreateRow(index);
    RepaintButtonIfFullnessChanged(S.entries.size() - 1);
}

void DeleteRow(size_t index) {
    S.deletedAt = index;
    S.deleted = S.entries[index];
    S.canUndo = true;
    RemoveRow(index);
    WriteSettings();
}

void UndoDelete() {
    if (!S.canUndo) return;
    S.canUndo = false;
    InsertRow(std::min(S.deletedAt, S.entries.size()), S.deleted);
    WriteSettings();
}

// The focus moves; with no keyboard, no mark shows, and nothing paints.
void FocusRow(int row) {
    S.focused = row;
}

// Control+Up: the focused entry and the one above it swap places, and the
// focus goes along. The rows keep their windows; only what the two show
// changes, so those two labels repaint (their boxes too where the ticks
// differ).
void MoveFocusedUp() {
    if (S.focused < 1) return;
    const size_t below = size_t(S.focused), above = below - 1;
    std::swap(S.entries[above], S.entries[below]);
    S.focused = int(above);
    InvalidateRect(S.labels[above], nullptr, FALSE);
    InvalidateRect(S.labels[below], nullptr, FALSE);
    if (S.entries[above].done != S.entries[below].done) {
        InvalidateRect(S.boxes[above], nullptr, FALSE);
        InvalidateRect(S.boxes[below], nullptr, FALSE);
    }
    WriteSettings();
}

// A tick or an untick changes the look of its row's two windows and nothing
// else.
void TickRow(size_t index) {
    int& done = S.entries[index].done;
    done = done ? 0 : 1;
    InvalidateRect(S.boxes[index], nullptr, FALSE);
    InvalidateRect(S.labels[index], nullptr, FALSE);
    WriteSettings();
}

bool SameEntry(const bench::Entry& a, const bench::Entry& b) {
    return a.done == b.done && a.text == b.text;
}

// Where `longer` holds one entry that `shorter` lacks, and otherwise the
// same entries in the same order; npos when it does not.
size_t OneEntryMore(const std::vector<bench::Entry>& longer,
                    const std::vector<bench::Entry>& shorter) {
    if (longer.size() != shorter.size() + 1) return std::string::npos;
    size_t at = 0;
    while (at < shorter.size() && SameEntry(longer[at], shorter[at]))
        ++at;
    for (size_t i = at; i < shorter.size(); ++i)
        if (!SameEntry(longer[i + 1], shorter[i])) return std::string::npos;
    return at;
}

// Another program wrote the file and the folder has been quiet since: the
// file is read once and, unless its bytes are the ones last read or
// written, each row whose entry differs repaints, or the one entry inserted
// or removed gains or loses its row. The window keeps its place. Any other
// change of length, or a new width, builds the windows anew (the benchmark
// only renames, inserts or removes one entry).
void Reload() {
    KillTimer(S.main, ReloadTimer);
    std::string bytes;
    if (!ReadWholeFile(bytes) || Hash(bytes) == S.hash) return;
    S.hash = Hash(bytes);
    std::vector<bench::Entry> entries;
    int x = 0, y = 0, width = S.width;
    Parse(bytes, entries, x, y, width);
    const size_t inserted = OneEntryMore(entries, S.entries);
    const size_t removed = OneEntryMore(S.entries, entries);
    if (width == S.width && inserted != std::string::npos) {
        InsertRow(inserted, entries[inserted]);
        return;
    }
    if (width == S.width && removed != std::string::npos) {
        RemoveRow(removed);
        return;
    }
    if (entries.size() != S.entries.size() || width != S.width) {
        S.entries.swap(entries);
        S.width = width;
        DestroyWindows();
        CreateWindows();
        return;
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].done != S.entries[i].done) InvalidateRect(S.boxes[i], nullptr, FALSE);
        if (entries[i].done != S.entries[i].done || entries[i].text != S.entries[i].text)
            InvalidateRect(S.labels[i], nullptr, FALSE);
    }
    S.entries.swap(entries);
}

// A thread that only waits for a change in the folder (or for the stop) and
// posts a message.
DWORD WINAPI Watch(LPVOID) {
    HANDLE waits[2] = {S.stop, S.notice};
    while (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
        if (HWND target = WatchTarget) PostMessageA(target, FolderChangedMessage, 0, 0);
        if (!FindNextChangeNotification(S.notice)) break;
    }
    return 0;
}

// The settings file's folder, since a safe save replaces the file itself.
bool StartWatching() {
    wchar_t folder[MAX_PATH];
    std::string name = S.path.substr(0, S.path.find_last_of('\\') + 1);
    if (!MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, folder, MAX_PATH)) return false;
    S.notice = FindFirstChangeNotificationW(
        folder, FALSE,
        FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE);
    if (S.notice == INVALID_HANDLE_VALUE) return false;
    S.stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    S.watch = CreateThread(nullptr, 0, Watch, nullptr, 0, nullptr);
    return S.watch != nullptr;
}

void StopWatching() {
    SetEvent(S.stop);
    WaitForSingleObject(S.watch, INFINITE);
    CloseHandle(S.watch);
    CloseHandle(S.stop);
    FindCloseChangeNotification(S.notice);
    S.watch = S.stop = nullptr;
    S.notice = INVALID_HANDLE_VALUE;
}

void Paint(HWND window) {
    int id = GetDlgCtrlID(window);
    const bench::Look& l = S.look;
    COLORREF from = l.colour, to = l.colourTo, textColour = l.textColour;
    const char* text = nullptr;
    bool strikeOut = false;
    const bool box = window != S.main && id >= DoneBoxId && id < LabelId;
    if (window != S.main && id >= LabelId && id < AddButtonId) {
        const bench::Entry& entry = S.entries[RowOf(window)];
        text = entry.text.c_str();
        if (entry.done) {
            from = l.colourTo;
            to = l.colour;
            textColour = l.doneTextColour;
            strikeOut = true;
        }
    } else if (window != S.main && id == AddButtonId) {
        text = "Add Item";
        if (S.entries.size() >= 50) { // a full list: the button drawn the ticked way
            from = l.colourTo;
            to = l.colour;
            textColour = l.doneTextColour;
        }
    }

    RECT rect;
    GetClientRect(window, &rect);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, rect.right, rect.bottom);
    HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
    HFONT font = nullptr;
    HGDIOBJ oldFont = nullptr;
    if (text) {
        font = CreateFontA(l.fontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, strikeOut,
                           DEFAULT_CHARSET, 0, 0, DEFAULT_QUALITY, 0, l.fontFace);
        oldFont = SelectObject(memory, font);
    }
    MakeGradient(memory, rect, l.record.gradientType, from, to, l.record.flag != 0, l.record.valueA,
                 l.record.valueB, l.bevelWidth, l.borderColour, l.borderWidth);
    if (text) {
        SetTextColor(memory, textColour);
        SetBkMode(memory, TRANSPARENT);
        RECT inner = rect;
        InflateRect(&inner, -(l.bevelWidth + l.borderWidth), -(l.bevelWidth + l.borderWidth));
        DrawTextA(memory, text, int(strlen(text)), &inner,
                  DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
        SelectObject(memory, oldFont);
        DeleteObject(font);
    }
    if (box) { // a frame of the text colour, and a tick two pixels thick when done
        HBRUSH frame = CreateSolidBrush(l.textColour);
        FrameRect(memory, &rect, frame);
        DeleteObject(frame);
        if (S.entries[RowOf(window)].done) {
            HPEN pen = CreatePen(PS_SOLID, 1, l.textColour);
            HGDIOBJ oldPen = SelectObject(memory, pen);
            for (int t = 0; t < 2; ++t) {
                POINT stroke[3] = {{1, 4 + t}, {3, 6 + t}, {8, 1 + t}};
                Polyline(memory, stroke, 3);
            }
            SelectObject(memory, oldPen);
            DeleteObject(pen);
        }
    }
    BitBlt(dc, 0, 0, rect.right, rect.bottom, memory, 0, 0, SRCCOPY);
    SelectObject(memory, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(memory);
    EndPaint(window, &ps);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    int id = window == S.main ? 0 : GetDlgCtrlID(window);
    switch (message) {
    case WM_PAINT:
        Paint(window);
        return 0;
    case WM_LBUTTONUP:
        if (id == AddButtonId && S.changes == Changes::OneRow) {
            AppendRow();
        } else if (id == AddButtonId) {
            S.entries.push_back({"New Item", 0});
            Rebuild(); // destroys this window
        } else if (id >= DoneBoxId && id < LabelId) {
            TickRow(RowOf(window));
        }
        return 0;
    case WM_RBUTTONDBLCLK:
        if (id >= LabelId && id < AddButtonId && S.changes == Changes::OneRow) {
            DeleteRow(RowOf(window));
        } else if (id >= LabelId && id < AddButtonId) {
            S.entries.erase(S.entries.begin() + std::ptrdiff_t(RowOf(window)));
            Rebuild(); // destroys this window
        }
        return 0;
    case WM_KEYDOWN:
        if (window == S.main && wParam == VK_END && !S.entries.empty()) {
            FocusRow(int(S.entries.size()) - 1);
        } else if (window == S.main && wParam == VK_UP && (GetKeyState(VK_CONTROL) & 0x8000)) {
            MoveFocusedUp();
        }
        return 0;
    case UndoDeleteMessage:
        if (window == S.main) UndoDelete();
        return 0;
    case FolderChangedMessage: // each notice starts the quiet time again
        SetTimer(S.main, ReloadTimer, QuietTime, nullptr);
        return 0;
    case WM_TIMER:
        if (window == S.main && wParam == ReloadTimer) Reload();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

bool Start(const std::string& settingsPath, const bench::Look& look) {
    S.path = settingsPath;
    S.look = look;
    S.focused = -1;
    S.canUndo = false;
    WNDCLASSA windowClass = {};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = ClassName;
    if (!RegisterClassA(&windowClass)) return false;
    if (!ReadSettings()) return false;
    CreateWindows();
    return S.main != nullptr && StartWatching();
}

void Unload() {
    WriteSettings();
    StopWatching();
    DestroyWindows();
    UnregisterClassA(ClassName, GetModuleHandleA(nullptr));
}

void SetChanges(Changes changes) {
    S.changes = changes;
}

bool Save() {
    return WriteSettings();
}

const std::vector<bench::Entry>& Entries() {
    return S.entries;
}

HWND MainWindow() {
    return S.main;
}
HWND AddButton() {
    return S.button;
}
HWND Label(int index) {
    return S.labels.at(size_t(index));
}
HWND DoneBox(int index) {
    return S.boxes.at(size_t(index));
}
int EntryCount() {
    return int(S.entries.size());
}

} // namespace bare
