#include "Bench.h"

#include <stdio.h>
#include <string.h>

namespace bench {

std::vector<Entry> MakeEntries(int n) {
    static const char* const chores[] = {"water the plants", "answer the letters",
                                         "renew the parking permit", "call the plumber",
                                         "back up the photos"};
    std::vector<Entry> entries;
    for (int i = 0; i < n; ++i) {
        char text[64];
        snprintf(text, sizeof text, "Entry %02d: %s", i + 1, chores[i % 5]);
        entries.push_back({text, 0});
    }
    return entries;
}

std::string SettingsText(const std::vector<Entry>& entries, int x, int y) {
    char line[256];
    std::string s;
    snprintf(line, sizeof line,
             "zelk.position.x: %d\nzelk.position.y: %d\nzelk.width: 100\n"
             "zelk.alwaysOnTop: true\nzelk.snapWindow: true\n"
             "zelk.transparency: false\r\nzelk.inSlit: false\r\n"
             "zelk.transparency.alpha: 200\r\n",
             x, y);
    s += line;
    int n = 1;
    for (const Entry& e : entries) {
        snprintf(line, sizeof line, "zelk.zelk%d.text: %s\nzelk.zelk%d.done: %d\n", n,
                 e.text.c_str(), n, e.done);
        s += line;
        ++n;
    }
    return s;
}

bool WriteWholeFile(const std::string& path, const std::string& text) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD n = 0;
    bool ok = WriteFile(f, text.data(), DWORD(text.size()), &n, nullptr) && n == text.size();
    CloseHandle(f);
    return ok;
}

Look ReadLook() {
    Look l = {};
    const char* path = stylePath(nullptr);
    std::string style = path ? path : "";
    path = style.c_str();
    l.colour = ReadColor(path, "toolbar.color:", "#000000");
    l.colourTo = ReadColor(path, "toolbar.colorTo:", "#FFFFFF");
    l.borderColour = ReadColor(path, "borderColor:", "#000000");
    std::string item = ReadString(path, "toolbar:", "Flat Gradient Vertical");
    ParseItem(item.c_str(), &l.record);
    l.bevelWidth = ReadInt(path, "bevelWidth:", 1);
    l.borderWidth = ReadInt(path, "borderWidth:", 1);
    snprintf(l.fontFace, sizeof l.fontFace, "%s", ReadString(path, "toolbar.font:", ""));
    if (!l.fontFace[0])
        snprintf(l.fontFace, sizeof l.fontFace, "%s", ReadString(path, "*font:", "Tahoma"));
    l.fontHeight = 12;
    std::string label = ReadString(path, "toolbar.label.textColor:", "");
    l.textColour = label.empty() ? ReadColor(path, "toolbar.textColor:", "#FFFFFF")
                                 : ReadColor(path, "toolbar.label.textColor:", "#FFFFFF");
    l.doneTextColour = ReadColor(path, "window.label.unfocus.textColor:", "#000000");
    return l;
}

namespace {
BOOL CALLBACK UpdateNow(HWND window, LPARAM) {
    if (IsWindowVisible(window))
        RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    return TRUE;
}
} // namespace

void Settle() {
    EnumThreadWindows(GetCurrentThreadId(), UpdateNow, 0);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

} // namespace bench
