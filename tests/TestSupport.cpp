#include "TestSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "CorvaneHost.h"
#include "plugin/EntryPoints.h"
#include "core/HostBinding.h"
#include "core/PluginInstance.h"
#include "data/ItemList.h"

namespace test {

namespace {
// Installs the box recorder and the save counter once, on the main thread.
void InstallRecorders();
} // namespace

std::string ProgramDirectory() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path, n);
    return s.substr(0, s.find_last_of('\\') + 1);
}

std::string HostDirectory() {
    std::string dir = ProgramDirectory() + "hostdir\\";
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

std::string SettingsPath() {
    return ProgramDirectory() + "zelk.rc";
}

std::string StyleFile(const char* name) {
    return ProgramDirectory() + "styles\\" + name;
}

bool FileExistsAt(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> TemporaryFiles(const std::string& settingsPath) {
    std::vector<std::string> found;
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA((settingsPath + ".*tmp").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return found;
    const std::string folder = settingsPath.substr(0, settingsPath.rfind('\\') + 1);
    do
        found.push_back(folder + data.cFileName);
    while (FindNextFileA(search, &data));
    FindClose(search);
    return found;
}

void RemoveSettingsFiles() {
    for (const std::string& dir : {ProgramDirectory(), HostDirectory()}) {
        for (const char* name : {"zelk.rc", "zelkrc"}) {
            std::string path = dir + name;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(path.c_str());
        }
        for (const std::string& path : TemporaryFiles(dir + "zelk.rc"))
            DeleteFileA(path.c_str());
    }
    HostSetPath(HostDirectory().c_str());
    InstallRecorders();
}

void UseStyleText(const std::string& text) {
    std::string path = ProgramDirectory() + "test.style";
    WriteFileText(path, text);
    HostSetStyle(path.c_str());
}

void UseStyle(const char* name) {
    HostSetStyle(StyleFile(name).c_str());
}

void BindHost() {
    InstallRecorders();
    BindHostFunctions(GetModuleHandleA(nullptr));
}

void PumpMessages(int milliseconds) {
    DWORD end = GetTickCount() + milliseconds;
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (milliseconds) Sleep(5);
    } while (static_cast<int>(end - GetTickCount()) > 0);
}

void PressControl(bool down) {
    if (down) PumpMessages(100);
    keybd_event(VK_CONTROL, 0, down ? 0 : KEYEVENTF_KEYUP, 0);
}

std::string SettingsText(const std::vector<std::pair<std::string, int>>& entries,
                         const std::string& extra) {
    std::string s = "zelk.position.x: 10\nzelk.position.y: 10\nzelk.width: 100\n"
                    "zelk.alwaysOnTop: true\nzelk.snapWindow: true\n"
                    "zelk.transparency: false\r\nzelk.inSlit: false\r\n"
                    "zelk.transparency.alpha: 200\r\n";
    int n = 1;
    for (const auto& e : entries) {
        s += "zelk.zelk" + std::to_string(n) + ".text: " + e.first + "\n";
        s += "zelk.zelk" + std::to_string(n) + ".done: " + std::to_string(e.second) + "\n";
        ++n;
    }
    return s + extra;
}

bool Start(const std::string& settings) {
    RemoveSettingsFiles();
    WriteFileText(SettingsPath(), settings);
    HostClearRecords();
    bool ok = beginPlugin(GetModuleHandleA(nullptr)) == 0;
    PumpMessages();
    return ok;
}

bool StartSlit(const std::string& settings, HWND slit) {
    RemoveSettingsFiles();
    WriteFileText(SettingsPath(), settings);
    HostClearRecords();
    bool ok = beginSlitPlugin(GetModuleHandleA(nullptr), slit) == 0;
    PumpMessages();
    return ok;
}

void Stop() {
    endPlugin();
    PumpMessages();
}

namespace {

std::vector<MessageBoxSeen> boxes;
std::function<void()> whileOpen;
HWND boxHelper = nullptr;
const UINT BoxActivated = WM_APP + 77;

BOOL CALLBACK CollectStatic(HWND child, LPARAM context) {
    char cls[64], text[1024];
    if (GetClassNameA(child, cls, sizeof cls) && _stricmp(cls, "Static") == 0 &&
        GetWindowTextA(child, text, sizeof text) && text[0]) {
        *reinterpret_cast<std::string*>(context) += text;
    }
    return TRUE;
}

bool IsDialog(HWND window) {
    char cls[64];
    return GetClassNameA(window, cls, sizeof cls) && strcmp(cls, "#32770") == 0;
}

// Inside the box's own message loop: run the test's action, then close it.
LRESULT CALLBACK BoxHelperProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != BoxActivated) return DefWindowProcA(window, message, wParam, lParam);
    HWND box = reinterpret_cast<HWND>(wParam);
    if (!IsWindow(box)) return 0;
    if (boxes.empty()) boxes.emplace_back(); // a box not shown through MessageBoxA
    MessageBoxSeen& seen = boxes.back();
    EnumChildWindows(box, CollectStatic, reinterpret_cast<LPARAM>(&seen.shownText));
    if (whileOpen) whileOpen();
    if (IsWindow(box)) PostMessageA(box, WM_CLOSE, 0, 0);
    return 0;
}

HHOOK boxHook = nullptr;
std::vector<HWND> announced;

LRESULT CALLBACK BoxHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        HWND window = reinterpret_cast<HWND>(wParam);
        announced.erase(
            std::remove_if(announced.begin(), announced.end(), [](HWND w) { return !IsWindow(w); }),
            announced.end());
        if (IsDialog(window) &&
            std::find(announced.begin(), announced.end(), window) == announced.end()) {
            announced.push_back(window);
            PostMessageA(boxHelper, BoxActivated, wParam, 0);
        }
    }
    return CallNextHookEx(boxHook, code, wParam, lParam);
}

void InstallBoxRecorder() {
    if (boxHook) return;
    WNDCLASSA c = {};
    c.lpfnWndProc = BoxHelperProc;
    c.hInstance = GetModuleHandleA(nullptr);
    c.lpszClassName = "zelk test boxes";
    RegisterClassA(&c);
    boxHelper = CreateWindowExA(0, c.lpszClassName, nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                c.hInstance, nullptr);
    boxHook = SetWindowsHookExA(WH_CBT, BoxHook, nullptr, GetCurrentThreadId());
}

// Replaces the program's own import of a kernel32 or user32 function, which
// the plug-in's code linked into the program calls; returns the real one.
void* PatchImport(const char* module, const char* name, void* replacement) {
    HMODULE self = GetModuleHandleA(nullptr);
    void* real = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(module), name));
    auto base = reinterpret_cast<BYTE*>(self);
    auto dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    auto import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
    for (; real && import->Name; ++import) {
        auto thunk = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->FirstThunk);
        for (; thunk->u1.Function; ++thunk) {
            if (reinterpret_cast<void*>(thunk->u1.Function) != real) continue;
            DWORD old = 0;
            VirtualProtect(&thunk->u1.Function, sizeof thunk->u1.Function, PAGE_READWRITE, &old);
            thunk->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&thunk->u1.Function, sizeof thunk->u1.Function, old, &old);
        }
    }
    return real;
}

// Counts replacements of the settings file: one per completed save.
int replacements = 0;
typedef BOOL(WINAPI* MoveFileExFn)(LPCWSTR, LPCWSTR, DWORD);
MoveFileExFn realMoveFileEx = nullptr;

BOOL WINAPI CountingMoveFileEx(LPCWSTR from, LPCWSTR to, DWORD flags) {
    BOOL ok = realMoveFileEx(from, to, flags);
    if (ok && to) {
        size_t n = wcslen(to);
        if ((n >= 7 && _wcsicmp(to + n - 7, L"zelk.rc") == 0) ||
            (n >= 6 && _wcsicmp(to + n - 6, L"zelkrc") == 0))
            ++replacements;
    }
    return ok;
}

// Counts the warning sounds made.
int beeps = 0;
typedef BOOL(WINAPI* MessageBeepFn)(UINT);
MessageBeepFn realMessageBeep = nullptr;

BOOL WINAPI CountingMessageBeep(UINT type) {
    beeps += type == MB_ICONWARNING;
    return realMessageBeep(type);
}

// Records what each box is asked to show, with its flags and owner.
void Record(HWND owner, const std::string& text, const std::string& caption, UINT style) {
    MessageBoxSeen seen;
    seen.count = 1;
    seen.owner = owner;
    seen.text = text;
    seen.caption = caption;
    seen.style = style;
    boxes.push_back(seen);
}

typedef int(WINAPI* MessageBoxFn)(HWND, LPCSTR, LPCSTR, UINT);
MessageBoxFn realMessageBox = nullptr;

int WINAPI RecordingMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
    Record(owner, text ? text : "", caption ? caption : "", style);
    return realMessageBox(owner, text, caption, style);
}

typedef int(WINAPI* MessageBoxWFn)(HWND, LPCWSTR, LPCWSTR, UINT);
MessageBoxWFn realMessageBoxW = nullptr;

int WINAPI RecordingMessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT style) {
    Record(owner, Utf8(text ? text : L""), Utf8(caption ? caption : L""), style);
    return realMessageBoxW(owner, text, caption, style);
}

void InstallRecorders() {
    InstallBoxRecorder();
    if (realMoveFileEx) return;
    realMoveFileEx = reinterpret_cast<MoveFileExFn>(
        PatchImport("kernel32", "MoveFileExW", reinterpret_cast<void*>(&CountingMoveFileEx)));
    realMessageBox = reinterpret_cast<MessageBoxFn>(
        PatchImport("user32", "MessageBoxA", reinterpret_cast<void*>(&RecordingMessageBox)));
    realMessageBoxW = reinterpret_cast<MessageBoxWFn>(
        PatchImport("user32", "MessageBoxW", reinterpret_cast<void*>(&RecordingMessageBoxW)));
    realMessageBeep = reinterpret_cast<MessageBeepFn>(
        PatchImport("user32", "MessageBeep", reinterpret_cast<void*>(&CountingMessageBeep)));
}

} // namespace

std::vector<MessageBoxSeen> BoxesShown() {
    return boxes;
}

void ForgetBoxes() {
    InstallRecorders();
    boxes.clear();
}

void WhileABoxIsOpen(const std::function<void()>& action) {
    InstallRecorders();
    whileOpen = action;
}

MessageBoxSeen WatchMessageBoxes(const std::function<void()>& action) {
    ForgetBoxes();
    action();
    PumpMessages(50);
    MessageBoxSeen seen;
    if (!boxes.empty()) seen = boxes.back();
    seen.count = static_cast<int>(boxes.size());
    return seen;
}

int SettingsFileReplacements() {
    InstallRecorders();
    return replacements;
}

int WarningSounds() {
    InstallRecorders();
    return beeps;
}

std::string SystemMessage(DWORD error) {
    char text[512] = {};
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             error, 0, text, sizeof text, nullptr);
    while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == ' '))
        text[--n] = '\0';
    return text;
}

COLORREF PixelOf(HWND window, int x, int y) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    PumpMessages();
    HDC dc = GetDC(window);
    COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return c;
}

std::string Utf8(const std::wstring& text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
    out.resize(strlen(out.c_str()));
    return out;
}

bool Near(COLORREF a, COLORREF b) {
    return std::abs(GetRValue(a) - GetRValue(b)) + std::abs(GetGValue(a) - GetGValue(b)) +
               std::abs(GetBValue(a) - GetBValue(b)) <
           90;
}

double Contrast(COLORREF a, COLORREF b) {
    auto luminance = [](COLORREF c) {
        auto channel = [](int v) {
            double s = v / 255.0;
            return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(GetRValue(c)) + 0.7152 * channel(GetGValue(c)) +
               0.0722 * channel(GetBValue(c));
    };
    double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

Shot Capture(HWND window) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    PumpMessages();
    Shot s;
    RECT r;
    GetClientRect(window, &r);
    s.width = r.right;
    s.height = r.bottom;
    HDC dc = GetDC(window);
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x)
            s.pixels.push_back(GetPixel(dc, x, y));
    ReleaseDC(window, dc);
    return s;
}

LabelShots CaptureLabel(int i) {
    ListItem* item = Entry(i);
    LabelShots shots;
    shots.withText = Capture(item->label);
    const auto first = item->text[0];
    item->text[0] = 0;
    shots.withoutText = Capture(item->label);
    item->text[0] = first;
    InvalidateRect(item->label, nullptr, FALSE);
    return shots;
}

ListItem* Entry(int i) {
    ListItem* item = ListHead;
    while (item && i-- > 0)
        item = item->next;
    return item;
}

int HighestFreshGdiSlot() {
    HDC probes[64];
    int highest = 0;
    for (HDC& probe : probes) {
        probe = CreateCompatibleDC(nullptr);
        highest = std::max(highest, static_cast<int>(reinterpret_cast<UINT_PTR>(probe) & 0xffff));
    }
    for (HDC probe : probes)
        DeleteDC(probe);
    return highest;
}

std::vector<std::pair<std::string, int>> ListedEntries() {
    std::vector<std::pair<std::string, int>> out;
    for (ListItem* item = ListHead; item; item = item->next)
        out.emplace_back(item->text, item->done);
    return out;
}

} // namespace test
