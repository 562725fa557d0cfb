// A shell that exports none of the functions zelk calls: loading zelk.dll
// into it must refuse the start with a message box that names what is
// missing, and leave nothing behind. Usage: bare_shell.exe PATH\zelk.dll
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "core/HostInterface.h"

namespace {

int passed = 0, failed = 0;

void Check(bool ok, const char* what) {
    ok ? ++passed : ++failed;
    printf("%s %s\n", ok ? "ok  " : "FAIL", what);
}

struct Seen {
    int boxes = 0;
    std::string caption, text;
};

BOOL CALLBACK CollectText(HWND child, LPARAM out) {
    char cls[32], text[512];
    if (GetClassNameA(child, cls, sizeof cls) && lstrcmpiA(cls, "Static") == 0 &&
        GetWindowTextA(child, text, sizeof text))
        *reinterpret_cast<std::string*>(out) += text;
    return TRUE;
}

struct ClassSearch {
    const char* name;
    int count;
};

BOOL CALLBACK CountOfClass(HWND window, LPARAM context) {
    ClassSearch* search = reinterpret_cast<ClassSearch*>(context);
    char cls[64];
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == GetCurrentProcessId() && GetClassNameA(window, cls, sizeof cls) &&
        lstrcmpA(cls, search->name) == 0)
        ++search->count;
    return TRUE;
}

// Counts top-level windows of a class in this process.
int WindowsOfClass(const char* name) {
    ClassSearch search = {name, 0};
    EnumWindows(CountOfClass, reinterpret_cast<LPARAM>(&search));
    return search.count;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    HMODULE plugin = LoadLibraryA(argv[1]);
    Check(plugin != nullptr, "zelk.dll loads");
    if (!plugin) return 1;
    auto begin = reinterpret_cast<BeginPluginFn>(
        reinterpret_cast<void*>(GetProcAddress(plugin, "beginPlugin")));
    auto end =
        reinterpret_cast<EndPluginFn>(reinterpret_cast<void*>(GetProcAddress(plugin, "endPlugin")));

    Seen seen;
    std::atomic<bool> done{false};
    std::thread watcher([&] {
        while (!done) {
            HWND box = FindWindowA("#32770", "zelk 1.0");
            if (box) {
                ++seen.boxes;
                char caption[64] = {};
                GetWindowTextA(box, caption, sizeof caption);
                seen.caption = caption;
                EnumChildWindows(box, CollectText, reinterpret_cast<LPARAM>(&seen.text));
                SendMessageA(box, WM_CLOSE, 0, 0);
                while (IsWindow(box))
                    Sleep(5);
            }
            Sleep(10);
        }
    });
    int result = begin(plugin);
    done = true;
    watcher.join();

    Check(result == 1, "beginPlugin refuses to start");
    Check(seen.boxes == 1, "one message box");
    Check(seen.caption == "zelk 1.0", "captioned \"zelk 1.0\"");
    Check(seen.text.find("GetCorvaneWnd") != std::string::npos, "naming the missing function");
    Check(WindowsOfClass("zelk") == 0, "no plug-in window left behind");
    WNDCLASSA cls;
    Check(!GetClassInfoA(plugin, "zelk", &cls), "no window class left registered");
    end(); // the shell may still call it: nothing to end, nothing written
    char path[MAX_PATH];
    GetModuleFileNameA(plugin, path, MAX_PATH);
    std::string rc = path;
    rc = rc.substr(0, rc.find_last_of('\\') + 1) + "zelk.rc";
    Check(GetFileAttributesA(rc.c_str()) == INVALID_FILE_ATTRIBUTES, "no settings file created");
    FreeLibrary(plugin);
    printf("%d passed, %d failed\n", passed, failed);
    return failed ? 1 : 0;
}
