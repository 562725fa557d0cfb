// Another program writing the settings file: an editor or a script that
// empties it first and writes later, a program that holds it open while it
// writes. Until that write has landed, zelk neither shows the file nor
// merges with it nor replaces it.
#include <stdlib.h>

#include "core/PluginInstance.h"
#include "data/SettingsText.h"

namespace {

unsigned long long Ticks(const FILETIME& time) {
    return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

} // namespace

// Whether the file differs from the bytes zelk last read or wrote: another
// program wrote, replaced or deleted it. A file held for the moment counts
// as changed, so it is read (and waited for) before it is replaced.
bool PluginInstance::FileChangedSinceSeen() const {
    char* bytes = nullptr;
    size_t length = 0;
    DWORD error = 0;
    FileRead read = ReadWholeFile(settingsPath, bytes, length, error, 0);
    bool changed = read == FileRead::missing ? fileHashKnown
                                             : read != FileRead::ok || !fileHashKnown ||
                                                   HashBytes(bytes, length, HashStart) != fileHash;
    free(bytes);
    return changed;
}

// A Windows program's hold for writing shows as a refusal to share the file
// with a reader that does not share writing (it shares deleting, so that a
// replacement by another program is never refused for this look). A Linux
// program's write cannot be seen that way: it shows as an empty file or a
// recent change.
bool PluginInstance::OtherWriteUnderWay() const {
    HANDLE file = CreateFileW(settingsPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_SHARING_VIOLATION;
    BY_HANDLE_FILE_INFORMATION info = {};
    const bool known = GetFileInformationByHandle(file, &info);
    CloseHandle(file);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    // File times count 100 ns; one a little ahead of the clock is recent too.
    const bool recent = Ticks(now) < Ticks(info.ftLastWriteTime) + QuietTime * 10000ull;
    const bool empty = !(info.nFileSizeLow | info.nFileSizeHigh);
    return known && (empty || recent) && FileChangedSinceSeen();
}

// The 2 s run from the first time zelk waited, until a save or a reload ends
// the wait; then the file is taken as it is. At unload nothing waits here.
bool PluginInstance::WaitsFor(bool busy) {
    const DWORD now = GetTickCount() | 1;
    if (!busy || lastSave) return false;
    if (!waitingSince) waitingSince = now;
    return now - waitingSince < WriterPatience;
}

// The one wait on the shell's thread: the shell is ending zelk, and what
// is not saved now is lost.
void PluginInstance::AwaitOtherWrite() {
    lastSave = true;
    for (DWORD start = GetTickCount();
         OtherWriteUnderWay() && GetTickCount() - start < UnloadPatience;)
        Sleep(50);
}
