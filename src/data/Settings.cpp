// The settings file "zelk.rc": where it is, how it is read through the
// shell's rc readers, and how it is written whole.
#include <string.h>

#include "core/HostBinding.h"
#include "core/PluginInstance.h"
#include "data/ItemList.h"
#include "data/Text.h"

namespace {

// Joins a directory (with its trailing backslash) and a file name; false when
// the result would not fit a path buffer, so such a candidate is skipped.
bool JoinPath(char (&out)[PathSize], const char* directory, const char* name) {
    size_t d = strlen(directory), n = strlen(name);
    if (d + n >= PathSize) return false;
    memcpy(out, directory, d);
    memcpy(out + d, name, n + 1);
    return true;
}

// Sets out to the first candidate that exists in the directory.
bool FindCandidate(char (&out)[PathSize], const char* directory) {
    static const char* const names[] = {"zelk.rc", "zelkrc"};
    for (const char* name : names) {
        if (JoinPath(out, directory, name) && Host.FileExists(out)) return true;
    }
    return false;
}

const char* BoolText(bool value) {
    return value ? "true" : "false";
}

// Writes one whole buffer; on a full disk a short write is reported as
// success, so the count is checked too.
bool WriteAll(HANDLE file, const char* text, int length) {
    DWORD written = 0;
    return WriteFile(file, text, static_cast<DWORD>(length), &written, nullptr) &&
           written == static_cast<DWORD>(length);
}

} // namespace

void PluginInstance::TakeCreationDefaults() {
    x = 10;
    y = 10;
    alwaysOnTop = true;
    snapToEdges = true;
    transparencyOn = false;
    InSlit = false;
    alpha = 200;
    width = 100;
}

void PluginInstance::LocateSettings() {
    char directory[PathSize] = {};
    DWORD length = GetModuleFileNameA(module, directory, PathSize);
    if (length == 0 || length >= PathSize) {
        directory[0] = '\0'; // a cut module path names no directory
    } else {
        int i = static_cast<int>(length) - 1;
        while (i > 0 && directory[i] != '\\')
            --i;
        directory[directory[i] == '\\' ? i + 1 : 0] = '\0';
    }

    if (directory[0] && FindCandidate(settingsPath, directory)) return;

    char fallback[PathSize] = {};
    bool haveFallback = directory[0] && JoinPath(fallback, directory, "zelk.rc");

    char hostDirectory[PathSize] = {};
    Host.GetCorvanePath(hostDirectory, PathSize);
    hostDirectory[PathSize - 1] = '\0';
    if (hostDirectory[0] && FindCandidate(settingsPath, hostDirectory)) return;

    if (!haveFallback) JoinPath(fallback, hostDirectory, "zelk.rc");
    CopyText(settingsPath, sizeof settingsPath, fallback);
    TakeCreationDefaults();
    ItemCount = 0;
    WriteSettings();
}

void PluginInstance::ReadSettings() {
    if (!Host.FileExists(settingsPath)) {
        LocateSettings();
        return;
    }
    const char* path = settingsPath;
    x = Host.ReadInt(path, "zelk.position.x:", 10);
    y = Host.ReadInt(path, "zelk.position.y:", 10);
    width = Host.ReadInt(path, "zelk.width:", 100);
    // A width of zero, a negative one or one wider than any screen gives a
    // window nobody can see or use; such a value is taken as unset.
    if (width < MinWindowWidth || width > MaxWindowWidth) width = 100;
    ItemCount = 0;
    transparencyOn = Host.ReadBool(path, "zelk.transparency:", false);
    alpha = Host.ReadInt(path, "zelk.transparency.alpha:", 200);
    InSlit = Host.ReadBool(path, "zelk.inSlit:", false);
    alwaysOnTop = Host.ReadBool(path, "zelk.alwaysOnTop:", true);
    snapToEdges = Host.ReadBool(path, "zelk.snapWindow:", true);

    // The staging tables hold 50 entries: reading stops there. A longer text
    // is cut to its first 99 characters.
    for (int n = 1; n <= MaxItems; ++n) {
        char key[ItemTextSize];
        char text[ItemTextSize];
        FormatText(key, sizeof key, "zelk.zelk%d.text:", n);
        CopyText(text, sizeof text, Host.ReadString(path, key, ""));
        if (!text[0]) break;
        CopyText(LoadedText[n - 1], ItemTextSize, text);
        FormatText(key, sizeof key, "zelk.zelk%d.done:", n);
        LoadedDone[n - 1] = Host.ReadInt(path, key, 0);
        ++ItemCount;
    }
}

// The path the file is first written to, beside the settings file so that
// the final rename stays on one volume.
static bool TemporaryPathFor(char (&out)[PathSize], const char* settingsPath) {
    if (FormatText(out, sizeof out, "%s.tmp", settingsPath) ==
        static_cast<int>(strlen(settingsPath) + 4))
        return true;
    // No room for the suffix: a shorter name in the same folder still fits.
    CopyText(out, sizeof out, settingsPath);
    char* slash = strrchr(out, '\\');
    char* name = slash ? slash + 1 : out;
    if (static_cast<size_t>(name - out) + 6 > sizeof out) return false;
    memcpy(name, "~zelk", 6);
    return true;
}

// Writes the whole file so that it is never seen half-written: everything
// goes to a temporary file that replaces the settings file in one step. On
// any failure the previous file stays byte for byte as it was, the temporary
// file is removed, and false is returned.
bool PluginInstance::WriteSettings() {
    char temporary[PathSize];
    if (!settingsPath[0] || !TemporaryPathFor(temporary, settingsPath)) return false;
    // A file the user marked read-only is left alone. Windows refuses to
    // replace it anyway; saying so here keeps that true where the file
    // system would let the replacement through.
    DWORD attributes = GetFileAttributesA(settingsPath);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return false;
    HANDLE file = CreateFileA(temporary, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;

    char line[CommandSize];
    bool ok = true;
    auto put = [&](int length) { ok = ok && WriteAll(file, line, length); };
    put(FormatText(line, sizeof line, "zelk.position.x: %d\n", x));
    put(FormatText(line, sizeof line, "zelk.position.y: %d\n", y));
    put(FormatText(line, sizeof line, "zelk.width: %d\n", width));
    put(FormatText(line, sizeof line, "zelk.alwaysOnTop: %s\n", BoolText(alwaysOnTop)));
    put(FormatText(line, sizeof line, "zelk.snapWindow: %s\n", BoolText(snapToEdges)));
    put(FormatText(line, sizeof line, "zelk.transparency: %s\r\n", BoolText(transparencyOn)));
    put(FormatText(line, sizeof line, "zelk.inSlit: %s\r\n", BoolText(InSlit)));
    put(FormatText(line, sizeof line, "zelk.transparency.alpha: %d\r\n", alpha));

    // After a window construction failed the entries are only staged: write those.
    bool fromList = !EntriesAreStaged();
    const ListItem* item = ListHead;
    int n = 1;
    for (int i = 0; i < ItemCount && ok; ++i) {
        const char* text;
        int done;
        if (fromList) {
            text = item->text;
            done = item->done;
            item = item->next;
        } else {
            if (i >= MaxItems) break;
            text = LoadedText[i];
            done = LoadedDone[i];
        }
        // An empty or blank text reads back as the end of the list, hiding
        // every later entry: such an entry is left out and numbering goes on.
        if (IsBlankText(text)) continue;
        // A control character (a line break above all) would split the line
        // or plant keys, so each is written as a space.
        char safe[ItemTextSize];
        CopyText(safe, sizeof safe, text);
        ReplaceControlCharacters(safe);
        put(FormatText(line, sizeof line, "zelk.zelk%d.text: %s\n", n, safe));
        put(FormatText(line, sizeof line, "zelk.zelk%d.done: %d\n", n, done));
        ++n;
    }

    ok = ok && FlushFileBuffers(file);
    CloseHandle(file);
    ok = ok &&
         MoveFileExA(temporary, settingsPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) DeleteFileA(temporary);
    return ok;
}
