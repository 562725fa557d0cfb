// devhost: runs a plug-in DLL the way the desktop shell does, and talks to a
// running devhost from the command line.
//
//   devhost [--slit] [--style FILE] PLUGIN.dll   run the plug-in
//   devhost [--style FILE] --send TEXT           broadcast TEXT in the running host
//                                                ("reconfigure": reload the style)
//   devhost --quit                               end the running host cleanly
//
// The command line is read in Unicode and the plug-in loaded by its wide
// path, so a plug-in in a folder named outside the code page runs; the
// message loop is a Unicode one, as a modern shell's is, so typed characters
// reach the plug-in's Unicode windows whole. The style file and the text
// sent stay 8-bit, as the shell's own interfaces are.
#include <cstdarg>
#include <cstdio>
#include <string>

#include <windows.h>

#include <shellapi.h>

#include "CorvaneHost.h"

namespace {

// Reports an error on stderr and gives the exit code to return.
__attribute__((format(printf, 2, 3))) int fail(int code, const char* format, ...) {
    va_list args;
    va_start(args, format);
    fprintf(stderr, "devhost: ");
    vfprintf(stderr, format, args);
    fprintf(stderr, "\n");
    va_end(args);
    return code;
}

int usage() {
    fprintf(stderr, "usage: devhost [--slit] [--style FILE] PLUGIN.dll\n"
                    "       devhost [--style FILE] --send TEXT\n"
                    "       devhost --quit\n");
    return 2;
}

template <typename Fn> Fn entryPoint(HMODULE module, const char* name) {
    // Through void* because FARPROC's own signature never matches the real one.
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

HWND runningHost() {
    return FindWindowA(HOST_WINDOW_CLASS, DEVHOST_WINDOW_TITLE);
}

std::string fullPath(const char* path) {
    char full[MAX_PATH * 2];
    DWORD n = GetFullPathNameA(path, sizeof full, full, NULL);
    return n > 0 && n < sizeof full ? std::string(full, n) : std::string(path);
}

std::wstring fullPath(const wchar_t* path) {
    wchar_t full[MAX_PATH * 2];
    DWORD n = GetFullPathNameW(path, MAX_PATH * 2, full, NULL);
    return n > 0 && n < MAX_PATH * 2 ? std::wstring(full, n) : std::wstring(path);
}

// An argument in the code page, for the 8-bit interfaces and for messages.
std::string narrow(const wchar_t* text) {
    int n = WideCharToMultiByte(CP_ACP, 0, text, -1, NULL, 0, NULL, NULL);
    std::string out(n > 0 ? n : 1, '\0');
    if (n > 0) WideCharToMultiByte(CP_ACP, 0, text, -1, &out[0], n, NULL, NULL);
    out.resize(n > 0 ? n - 1 : 0);
    return out;
}

bool sendText(HWND host, ULONG_PTR kind, const std::string& text) {
    COPYDATASTRUCT data;
    data.dwData = kind;
    data.cbData = DWORD(text.size() + 1);
    data.lpData = const_cast<char*>(text.c_str());
    return SendMessageA(host, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)) != 0;
}

int sendToHost(const char* style, const char* text) {
    HWND host = runningHost();
    if (!host) return fail(1, "no devhost is running");
    if (style) {
        if (!FileExists(style)) return fail(2, "style file not found: %s", style);
        if (!sendText(host, HOSTCOPY_STYLE, fullPath(style)))
            return fail(1, "the running host refused the style %s", style);
    }
    if (!sendText(host, HOSTCOPY_COMMAND, text)) return fail(1, "could not deliver \"%s\"", text);
    return 0;
}

int quitHost() {
    HWND host = runningHost();
    if (!host) return fail(1, "no devhost is running");
    PostMessageA(host, WM_CLOSE, 0, 0);
    for (int waited = 0; waited < 10000; waited += 50) {
        if (!IsWindow(host)) return 0;
        Sleep(50);
    }
    return fail(1, "the running host did not end within 10 seconds");
}

BOOL WINAPI onConsoleBreak(DWORD) {
    // Ctrl+C ends the host the clean way, so the plug-in still saves its settings.
    HWND host = GetCorvaneWnd();
    if (host) PostMessageA(host, WM_CLOSE, 0, 0);
    return TRUE;
}

int runPlugin(const wchar_t* pluginPath, const char* style, bool slit) {
    if (runningHost()) return fail(2, "a devhost is already running");
    if (style && !FileExists(style)) return fail(2, "style file not found: %s", style);
    DWORD attributes = GetFileAttributesW(pluginPath);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return fail(2, "plug-in not found: %s", narrow(pluginPath).c_str());

    HINSTANCE instance = GetModuleHandleA(NULL);
    HWND hostWindow = HostStart(instance);
    if (!hostWindow) return fail(1, "cannot create the host window");
    SetWindowTextA(hostWindow, DEVHOST_WINDOW_TITLE);
    HostSetPath(NULL);
    if (style) HostSetStyle(style);
    HostSetMenuInteractive(true);

    std::wstring widePath = fullPath(pluginPath);
    std::string path = narrow(widePath.c_str());
    HMODULE plugin = LoadLibraryW(widePath.c_str());
    if (!plugin) {
        DWORD error = GetLastError();
        HostStop();
        if (error == ERROR_BAD_EXE_FORMAT)
            return fail(2, "cannot load the plug-in %s: not a 32-bit Windows DLL", path.c_str());
        return fail(2, "cannot load the plug-in %s (error %lu)", path.c_str(), error);
    }
    auto begin = entryPoint<BeginPluginFn>(plugin, "beginPlugin");
    auto beginSlit = entryPoint<BeginSlitPluginFn>(plugin, "beginSlitPlugin");
    auto end = entryPoint<EndPluginFn>(plugin, "endPlugin");
    const char* missing = !begin       ? "beginPlugin"
                          : !beginSlit ? "beginSlitPlugin"
                          : !end       ? "endPlugin"
                                       : NULL;
    if (missing) {
        FreeLibrary(plugin);
        HostStop();
        return fail(2, "not a zelk-style plug-in: missing %s", missing);
    }

    int started = slit ? beginSlit(plugin, HostCreateSlit()) : begin(plugin);
    if (started != 0) {
        // A plug-in whose start failed has nothing to end.
        FreeLibrary(plugin);
        HostStop();
        return fail(1, "the plug-in failed to start (result %d)", started);
    }
    SetConsoleCtrlHandler(onConsoleBreak, TRUE);

    MSG msg;
    while (GetMessageW(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    end();
    FreeLibrary(plugin);
    HostStop();
    return 0;
}

} // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) return fail(1, "cannot read the command line");
    bool slit = false, quit = false;
    std::string style, send;
    bool haveStyle = false, haveSend = false;
    const wchar_t* plugin = NULL;
    for (int i = 1; i < argc; ++i) {
        std::wstring a = argv[i];
        if (a == L"--slit") {
            slit = true;
        } else if (a == L"--quit") {
            quit = true;
        } else if (a == L"--style" && i + 1 < argc) {
            style = narrow(argv[++i]);
            haveStyle = true;
        } else if (a == L"--send" && i + 1 < argc) {
            send = narrow(argv[++i]);
            haveSend = true;
        } else if (a.size() > 1 && a[0] == L'-') {
            return usage();
        } else if (!plugin) {
            plugin = argv[i];
        } else {
            return usage();
        }
    }
    const char* styleFile = haveStyle ? style.c_str() : NULL;
    if (quit) return (haveSend || plugin || slit || haveStyle) ? usage() : quitHost();
    if (haveSend) return (plugin || slit) ? usage() : sendToHost(styleFile, send.c_str());
    if (!plugin) return usage();
    return runPlugin(plugin, styleFile, slit);
}
