#include "TestSupport.h"

#include <algorithm>
#include <atomic>
#include <thread>

#include "CorvaneHost.h"
#include "plugin/EntryPoints.h"
#include "core/HostBinding.h"
#include "core/PluginInstance.h"
#include "data/ItemList.h"

namespace test {

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

void RemoveSettingsFiles() {
    for (const std::string& dir : {ProgramDirectory(), HostDirectory()}) {
        for (const char* name : {"zelk.rc", "zelkrc", "zelk.rc.tmp"}) {
            std::string path = dir + name;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(path.c_str());
        }
    }
    HostSetPath(HostDirectory().c_str());
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
struct BoxSearch {
    DWORD process;
    HWND found;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM context) {
    BoxSearch* search = reinterpret_cast<BoxSearch*>(context);
    char cls[64];
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == search->process && GetClassNameA(window, cls, sizeof cls) &&
        strcmp(cls, "#32770") == 0 && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK CollectStatic(HWND child, LPARAM context) {
    char cls[64], text[1024];
    if (GetClassNameA(child, cls, sizeof cls) && _stricmp(cls, "Static") == 0 &&
        GetWindowTextA(child, text, sizeof text) && text[0]) {
        *reinterpret_cast<std::string*>(context) += text;
    }
    return TRUE;
}
} // namespace

MessageBoxSeen WatchMessageBoxes(const std::function<void()>& action) {
    MessageBoxSeen seen;
    std::atomic<bool> done{false};
    std::thread watcher([&] {
        while (!done) {
            BoxSearch search = {GetCurrentProcessId(), nullptr};
            EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
            if (search.found) {
                char caption[256] = {};
                GetWindowTextA(search.found, caption, sizeof caption);
                seen.caption = caption;
                seen.text.clear();
                EnumChildWindows(search.found, CollectStatic, reinterpret_cast<LPARAM>(&seen.text));
                seen.owner = GetWindow(search.found, GW_OWNER);
                ++seen.count;
                SendMessageA(search.found, WM_CLOSE, 0, 0);
                while (IsWindow(search.found) && !done)
                    Sleep(5);
            }
            Sleep(10);
        }
    });
    action();
    PumpMessages(50);
    done = true;
    watcher.join();
    return seen;
}

COLORREF PixelOf(HWND window, int x, int y) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    PumpMessages();
    HDC dc = GetDC(window);
    COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return c;
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
