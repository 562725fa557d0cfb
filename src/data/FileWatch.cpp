#include "data/FileWatch.h"

#include <string.h>

#include "core/PluginInstance.h"

namespace {

HANDLE Thread = nullptr;
HANDLE Stop = nullptr;
HANDLE Notice = nullptr; // null while no folder is watched
HWND Window = nullptr;
UINT Message = 0;

DWORD WINAPI Watch(LPVOID) {
    HANDLE waits[2] = {Stop, Notice};
    while (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
        PostMessageA(Window, Message, 0, 0);
        if (!FindNextChangeNotification(Notice)) break;
    }
    return 0;
}

} // namespace

bool StartWatching(const wchar_t* path, HWND window, UINT message) {
    StopWatching();
    wchar_t folder[LongPathSize];
    const wchar_t* slash = wcsrchr(path, L'\\');
    if (!slash || static_cast<size_t>(slash - path) + 1 >= LongPathSize) return false;
    const size_t length = static_cast<size_t>(slash - path) + 1; // keeps "C:\"
    memcpy(folder, path, length * sizeof(wchar_t));
    folder[length] = L'\0';
    Notice = FindFirstChangeNotificationW(
        folder, FALSE,
        FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE);
    if (Notice == INVALID_HANDLE_VALUE) Notice = nullptr;
    if (!Notice) return false;
    Window = window;
    Message = message;
    Stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    Thread = Stop ? CreateThread(nullptr, 0, Watch, nullptr, 0, nullptr) : nullptr;
    if (Thread) return true;
    StopWatching();
    return false;
}

void StopWatching() {
    if (Thread) {
        SetEvent(Stop);
        WaitForSingleObject(Thread, INFINITE);
        CloseHandle(Thread);
        Thread = nullptr;
    }
    if (Stop) CloseHandle(Stop);
    Stop = nullptr;
    if (Notice) FindCloseChangeNotification(Notice);
    Notice = nullptr;
}
