#include "data/SaveLock.h"

#include <wchar.h>

#include "core/PluginInstance.h"
#include "data/SettingsText.h"
#include "data/Text.h"

namespace {

// A copy that hangs while holding the lock must not stall this one for good.
constexpr DWORD LockPatience = 2000;

// Paths differ in case only on the same file: the name hashes the path
// upper-cased, as bytes.
HANDLE MutexFor(const wchar_t* path) {
    wchar_t upper[LongPathSize];
    wcsncpy(upper, path, LongPathSize - 1);
    upper[LongPathSize - 1] = L'\0';
    CharUpperBuffW(upper, static_cast<DWORD>(wcslen(upper)));
    unsigned long long hash = HashStart;
    for (const wchar_t* c = upper; *c; ++c) {
        const char unit[2] = {static_cast<char>(*c & 0xff), static_cast<char>(*c >> 8)};
        hash = HashBytes(unit, 2, hash);
    }
    char ascii[64];
    FormatText(ascii, sizeof ascii, "Local\\zelk-settings-%08lx%08lx",
               static_cast<unsigned long>(hash >> 32),
               static_cast<unsigned long>(hash & 0xffffffffu));
    wchar_t name[64];
    Utf8ToWide(name, sizeof name / sizeof name[0], ascii);
    return CreateMutexW(nullptr, FALSE, name);
}

} // namespace

SaveLock::SaveLock(PluginInstance& p) {
    // Named after the file replaced: copies reaching it through a link, or
    // by another name, share the lock.
    if (!p.saveMutex) p.saveMutex = MutexFor(p.target);
    if (!p.saveMutex) return;
    DWORD waited = WaitForSingleObject(p.saveMutex, LockPatience);
    // An abandoned lock (a copy that died inside a save) is ours now.
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) held_ = p.saveMutex;
}

SaveLock::~SaveLock() {
    if (held_) ReleaseMutex(held_);
}
