#include "data/FilePaths.h"

#include <string.h>
#include <wchar.h>

namespace {

bool StartsWith(const wchar_t* text, const wchar_t* start) {
    return wcsncmp(text, start, wcslen(start)) == 0;
}

} // namespace

bool LongFormPath(wchar_t (&out)[LongPathSize], const wchar_t* path, const wchar_t* suffix) {
    const size_t length = wcslen(path), extra = wcslen(suffix);
    // Only a whole path from a drive or a share has a long form.
    const wchar_t* prefix = L"";
    size_t skip = 0;
    if (length + extra >= MAX_PATH && !StartsWith(path, L"\\\\?\\")) {
        if (StartsWith(path, L"\\\\")) {
            prefix = L"\\\\?\\UNC\\";
            skip = 2;
        } else if (length > 2 && path[1] == L':' && path[2] == L'\\') {
            prefix = L"\\\\?\\";
        }
    }
    const size_t head = wcslen(prefix);
    if (head + length - skip + extra >= LongPathSize) return false;
    memcpy(out, prefix, head * sizeof(wchar_t));
    memcpy(out + head, path + skip, (length - skip) * sizeof(wchar_t));
    memcpy(out + head + length - skip, suffix, (extra + 1) * sizeof(wchar_t));
    return true;
}

bool FinalPathOf(wchar_t (&out)[LongPathSize], const wchar_t* path) {
    typedef DWORD(WINAPI * FinalPathFn)(HANDLE, LPWSTR, DWORD, DWORD);
    const auto finalPath = reinterpret_cast<FinalPathFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32"), "GetFinalPathNameByHandleW")));
    if (!finalPath) return false;
    wchar_t opened[LongPathSize];
    if (!LongFormPath(opened, path, L"")) return false;
    HANDLE file = CreateFileW(opened, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const DWORD length = finalPath(file, out, LongPathSize, 0);
    CloseHandle(file);
    if (!length || length >= LongPathSize) return false;
    // \\?\UNC\server\share becomes \\server\share; \\?\C:\ becomes C:\.
    if (StartsWith(out, L"\\\\?\\UNC\\")) {
        memmove(out + 2, out + 8, (length - 7) * sizeof(wchar_t));
    } else if (StartsWith(out, L"\\\\?\\")) {
        memmove(out, out + 4, (length - 3) * sizeof(wchar_t));
    }
    return true;
}
