#include "data/FilePaths.h"

#include <string.h>
#include <wchar.h>

bool LongFormPath(wchar_t (&out)[LongPathSize], const wchar_t* path, const wchar_t* suffix) {
    size_t length = wcslen(path), head = 0;
    const size_t extra = wcslen(suffix);
    // Only a whole path from a drive (C:\) or a share (\\server) has a long
    // form; \\server\share becomes \\?\UNC\server\share.
    if (length + extra >= MAX_PATH && path[0] && path[1] == L':') {
        memcpy(out, L"\\\\?\\", 4 * sizeof(wchar_t));
        head = 4;
    } else if (length + extra >= MAX_PATH && path[0] == L'\\' && path[1] == L'\\' &&
               path[2] != L'?') {
        memcpy(out, L"\\\\?\\UNC", 7 * sizeof(wchar_t));
        head = 7;
        ++path;
        --length;
    }
    if (head + length + extra >= LongPathSize) return false;
    memcpy(out + head, path, length * sizeof(wchar_t));
    memcpy(out + head + length, suffix, (extra + 1) * sizeof(wchar_t));
    return true;
}

// Looked up at run time: older systems lack the function.
bool FinalPathOf(wchar_t (&out)[LongPathSize], const wchar_t* path) {
    typedef DWORD(WINAPI * FinalPathFn)(HANDLE, LPWSTR, DWORD, DWORD);
    const auto finalPath = reinterpret_cast<FinalPathFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32"), "GetFinalPathNameByHandleW")));
    if (!finalPath) return false;
    HANDLE file = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const DWORD length = finalPath(file, out, LongPathSize, 0);
    CloseHandle(file);
    if (!length || length >= LongPathSize) return false;
    // \\?\UNC\server\share becomes \\server\share; \\?\C:\ becomes C:\.
    if (!memcmp(out, L"\\\\?\\UNC\\", 8 * sizeof(wchar_t))) {
        memmove(out + 1, out + 7, (length - 6) * sizeof(wchar_t));
    } else if (!memcmp(out, L"\\\\?\\", 4 * sizeof(wchar_t))) {
        memmove(out, out + 4, (length - 3) * sizeof(wchar_t));
    }
    return true;
}
