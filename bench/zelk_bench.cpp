// zelk_bench: times the real zelk.dll, loaded into this program acting as the
// shell, against the bare lower bound (BareWindows.h) in the same run, and
// prints each figure as "zelk / bare = ratio". Repetitions of zelk and of the
// bare routine alternate (which one goes first alternates too), so noise on
// the machine falls on both alike.
//
//   zelk_bench [--reps N] [--dll PATH] [--style PATH] [--markdown FILE] [--raw FILE]
//
// --markdown writes the figures as a Markdown section (make bench turns it
// into docs/performance.md); --raw writes every timing, in the order taken,
// as CSV (step, repetition, side, ms) for looking at drift and outliers.
#include <windows.h>

#include <algorithm>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <utility>
#include <vector>

#include "BareWindows.h"
#include "Bench.h"
#include "CorvaneHost.h"

namespace {

// ---- measuring ----

double Frequency;

double NowMs() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) * 1000.0 / Frequency;
}

enum Step {
    Start0,
    Start10,
    Start50,
    Unload0,
    Unload10,
    Unload50,
    Add,
    Delete,
    Tick,
    AddAgainstRebuild,
    DeleteAgainstRebuild,
    Repaint,
    Reload,
    MoveUp,
    UndoDeleteTop,
    ReloadInsert,
    StepCount
};

// The last two rows before the repaint set zelk's add and delete against
// the bare whole rebuild; their zelk figures are the add's and the delete's.
struct StepInfo {
    const char* name;
    double goal; // highest acceptable ratio of medians; 0: none
};
const StepInfo Steps[StepCount] = {
    {"start, 0 entries", 1.3},
    {"start, 10 entries", 1.3},
    {"start, 50 entries", 1.3},
    {"unload, 0 entries", 1.3},
    {"unload, 10 entries", 1.3},
    {"unload, 50 entries", 1.3},
    {"add, 49 -> 50 entries", 1.3},
    {"delete of entry 1, 50 -> 49 entries", 1.3},
    {"tick with its save, 50 entries", 1.3},
    {"add, against the bare full rebuild", 0.1},
    {"delete, against the bare full rebuild", 0.1},
    {"full repaint, 50 entries", 1.2},
    {"reload of one renamed entry, 50 entries", 1.3},
    {"Control+Up on entry 50, with its save", 1.3},
    {"Undo Delete of entry 1, 49 -> 50 entries", 1.3},
    {"reload of an entry inserted at place 25, 49 -> 50", 1.3},
};

struct Series {
    std::vector<double> zelk, bare;
};
Series Results[StepCount];

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double Minimum(const std::vector<double>& v) {
    return v.empty() ? 0 : *std::min_element(v.begin(), v.end());
}

[[noreturn]] void Fail(const char* what) {
    fprintf(stderr, "zelk_bench: %s\n", what);
    fflush(stderr);
    ExitProcess(1);
}

// Lets late messages (window manager traffic from the X server, deferred
// activation) arrive and be handled between timed steps, not inside them.
void Quiesce() {
    bench::Settle();
    Sleep(2);
    bench::Settle();
}

// ---- what a step paints ----

// Counts the WM_PAINT messages this thread handles while counting is on:
// those sent by an update (RedrawWindow, UpdateWindow) and those taken from
// the queue. Only in the discarded first round, so the hooks cost no timed
// figure anything.
int PaintsSeen = 0;
HHOOK SentHook = nullptr, QueuedHook = nullptr;

LRESULT CALLBACK CountSentPaint(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && reinterpret_cast<const CWPSTRUCT*>(lParam)->message == WM_PAINT)
        ++PaintsSeen;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK CountQueuedPaint(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && wParam == PM_REMOVE &&
        reinterpret_cast<const MSG*>(lParam)->message == WM_PAINT)
        ++PaintsSeen;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void StartCountingPaints() {
    PaintsSeen = 0;
    SentHook = SetWindowsHookExA(WH_CALLWNDPROC, CountSentPaint, nullptr, GetCurrentThreadId());
    QueuedHook = SetWindowsHookExA(WH_GETMESSAGE, CountQueuedPaint, nullptr, GetCurrentThreadId());
    if (!SentHook || !QueuedHook) Fail("cannot count paints");
}

int StopCountingPaints() {
    UnhookWindowsHookEx(SentHook);
    UnhookWindowsHookEx(QueuedHook);
    return PaintsSeen;
}

// ---- paths and files ----

std::string ExeDirectory() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path, n);
    return s.substr(0, s.find_last_of('\\') + 1);
}

std::string FullPath(const std::string& path) {
    char full[MAX_PATH * 2];
    DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    return n > 0 && n < sizeof full ? std::string(full, n) : path;
}

// Settings as they are when the shell starts: written in an earlier session,
// so the host may keep its parsed copy. Each repetition dates the file a
// second differently, so the host still reads it once per start, as it
// would in a freshly started shell.
void PrepareSettings(const std::string& path, int entries, int x, int serial) {
    if (!bench::WriteWholeFile(path, bench::SettingsText(bench::MakeEntries(entries), x, 10)))
        Fail("cannot write the settings file");
    HANDLE f = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) Fail("cannot date the settings file");
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t;
    t.LowPart = now.dwLowDateTime;
    t.HighPart = now.dwHighDateTime;
    t.QuadPart -= (3600ull + unsigned(serial)) * 10000000ull;
    FILETIME old = {t.LowPart, t.HighPart};
    SetFileTime(f, nullptr, nullptr, &old);
    CloseHandle(f);
}

// The host reader calls zelk makes to read its settings file of 50 entries:
// eight settings, then a text and a done value per entry. Gives the number
// of entries found.
const int ZelkReadCalls = 8 + 2 * 50;
int ReadKeysLikeZelk(const char* path) {
    ReadInt(path, "zelk.position.x:", 10);
    ReadInt(path, "zelk.position.y:", 10);
    ReadInt(path, "zelk.width:", 100);
    ReadBool(path, "zelk.transparency:", false);
    ReadInt(path, "zelk.transparency.alpha:", 200);
    ReadBool(path, "zelk.inSlit:", false);
    ReadBool(path, "zelk.alwaysOnTop:", true);
    ReadBool(path, "zelk.snapWindow:", true);
    int found = 0;
    for (int n = 1; n <= 50; ++n) {
        char key[64];
        snprintf(key, sizeof key, "zelk.zelk%d.text:", n);
        if (!*ReadString(path, key, "")) break;
        snprintf(key, sizeof key, "zelk.zelk%d.done:", n);
        ReadInt(path, key, 0);
        ++found;
    }
    return found;
}

std::string ReadWhole(const std::string& path) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (f == INVALID_HANDLE_VALUE) return std::string();
    char buffer[16384];
    DWORD got = 0;
    bool ok = ReadFile(f, buffer, sizeof buffer, &got, nullptr);
    CloseHandle(f);
    return ok ? std::string(buffer, got) : std::string();
}

// Another program's safe save, the way a sync tool makes it: a temporary
// file written whole, then renamed over the settings file.
void WriteLikeSyncTool(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".sync";
    if (!bench::WriteWholeFile(temporary, text) ||
        !MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING))
        Fail("cannot replace a settings file as another program");
}

// Control as held down, or as let go, in this thread's key state: what
// GetKeyState reports while a key message is handled.
void HoldControl(bool down) {
    BYTE keys[256];
    if (!GetKeyboardState(keys)) Fail("cannot read the keyboard state");
    keys[VK_CONTROL] = down ? 0x80 : 0;
    if (!SetKeyboardState(keys)) Fail("cannot set the keyboard state");
}

// Fails unless the bare routine shows these entries, in this order.
void CheckBareShows(const std::vector<bench::Entry>& expected, const char* after) {
    const std::vector<bench::Entry>& shown = bare::Entries();
    bool same = shown.size() == expected.size();
    for (size_t i = 0; same && i < shown.size(); ++i)
        same = shown[i].text == expected[i].text && shown[i].done == expected[i].done;
    if (!same) {
        fprintf(stderr, "zelk_bench: after %s\n", after);
        Fail("the bare windows do not show the expected entries");
    }
}

// The timer zelk's main window runs when its settings folder has been quiet
// for 200 ms (ReloadTimer in src/ui/ChangePath.h): sending it ends that
// deliberate wait at once, so the reload is timed without it.
const UINT_PTR ZelkReloadTimer = 0x2a2;

// ---- zelk.dll's windows, found from outside as the shell's user sees them ----

struct Plugin {
    HMODULE module = nullptr;
    BeginPluginFn begin = nullptr;
    EndPluginFn end = nullptr;
};

template <typename Fn> Fn EntryPoint(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

BOOL CALLBACK FindZelkWindow(HWND window, LPARAM result) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char cls[32];
    if (pid == GetCurrentProcessId() && GetClassNameA(window, cls, sizeof cls) &&
        strcmp(cls, "zelk") == 0 && (GetWindowLongA(window, GWL_STYLE) & WS_POPUP)) {
        *reinterpret_cast<HWND*>(result) = window;
        return FALSE;
    }
    return TRUE;
}

HWND ZelkMainWindow() {
    HWND found = nullptr;
    EnumWindows(FindZelkWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

struct ChildSearch {
    HWND parent;
    std::vector<HWND> children;
};

BOOL CALLBACK CollectChild(HWND child, LPARAM search) {
    auto* s = reinterpret_cast<ChildSearch*>(search);
    if (GetParent(child) == s->parent) s->children.push_back(child);
    return TRUE;
}

struct ZelkView {
    HWND button = nullptr;
    std::vector<HWND> boxes, labels; // from the top
};

// zelk's windows told apart by place, not by the order they were made in (a
// row added to a living window comes after the button): the done boxes are
// 10 wide at the left, the labels start at 20, the button lies below every
// row. Checked against the expected number of entries, so that no figure
// comes from a wrong layout.
ZelkView ZelkWindows(int entries) {
    HWND main = ZelkMainWindow();
    if (!main) Fail("zelk's main window was not found");
    ChildSearch search = {main, {}};
    EnumChildWindows(main, CollectChild, reinterpret_cast<LPARAM>(&search));
    std::vector<std::pair<LONG, HWND>> boxes, labels;
    ZelkView view;
    int edits = 0;
    for (HWND child : search.children) {
        char cls[32];
        GetClassNameA(child, cls, sizeof cls);
        RECT r;
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&r), 2);
        if (_stricmp(cls, "Edit") == 0) {
            ++edits;
        } else if (strcmp(cls, "zelk") != 0) {
            Fail("a child of zelk's window has an unexpected class");
        } else if (r.left == 20) {
            labels.push_back({r.top, child});
        } else if (r.right - r.left == 10) {
            boxes.push_back({r.top, child});
        } else if (!view.button) {
            view.button = child;
        } else {
            Fail("zelk shows two Add Item buttons");
        }
    }
    if (edits != 1 || !view.button || int(boxes.size()) != entries ||
        int(labels.size()) != entries) {
        char text[160];
        snprintf(text, sizeof text,
                 "zelk shows %d edit controls, %d done boxes and %d labels, expected 1, %d and %d",
                 edits, int(boxes.size()), int(labels.size()), entries, entries);
        Fail(text);
    }
    std::sort(boxes.begin(), boxes.end());
    std::sort(labels.begin(), labels.end());
    for (const auto& b : boxes)
        view.boxes.push_back(b.second);
    for (const auto& l : labels)
        view.labels.push_back(l.second);
    return view;
}

void CheckBare(int entries) {
    if (bare::EntryCount() != entries || !IsWindow(bare::MainWindow()))
        Fail("the bare windows do not show the expected entries");
}

// ---- what the screen shows ----

// The window's pixels (its children included) as painted.
std::vector<unsigned> Capture(HWND window, int& width, int& height) {
    RECT r;
    GetWindowRect(window, &r);
    width = r.right - r.left;
    height = r.bottom - r.top;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC dc = GetDC(window);
    HBITMAP dib = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, width, height, dc, 0, 0, SRCCOPY);
    GdiFlush();
    std::vector<unsigned> pixels(static_cast<unsigned*>(bits),
                                 static_cast<unsigned*>(bits) + size_t(width) * size_t(height));
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(dib);
    ReleaseDC(window, dc);
    return pixels;
}

// Each check of equal output that failed, for the verdict: a run that timed
// unequal work fails, whatever its figures.
std::vector<std::string> Mismatches;

// Returns the line for the report, and keeps it in Mismatches too when bad.
std::string Checked(bool good, const std::string& line) {
    if (!good) Mismatches.push_back(line);
    return good ? line : "FAILED: " + line;
}

// A capture of one colour shows nothing (a window not drawn, or not there
// to read), so two of them agreeing proves nothing.
bool Blank(const std::vector<unsigned>& pixels) {
    if (pixels.empty()) return true;
    for (unsigned p : pixels)
        if ((p & 0xffffff) != (pixels[0] & 0xffffff)) return false;
    return true;
}

// The bare routine is only a fair lower bound if it shows what zelk shows.
// Returns a line for the report.
std::string ComparePixels(const char* when) {
    int zw, zh, bw, bh;
    std::vector<unsigned> z = Capture(ZelkMainWindow(), zw, zh);
    std::vector<unsigned> b = Capture(bare::MainWindow(), bw, bh);
    char line[200];
    if (zw != bw || zh != bh) {
        snprintf(line, sizeof line, "%s: sizes differ (zelk %dx%d, bare %dx%d)", when, zw, zh, bw,
                 bh);
        return Checked(false, line);
    }
    if (Blank(z) || Blank(b)) {
        snprintf(line, sizeof line, "%s: a capture is blank (zelk %s, bare %s)", when,
                 Blank(z) ? "one colour" : "drawn", Blank(b) ? "one colour" : "drawn");
        return Checked(false, line);
    }
    size_t differing = 0;
    for (size_t i = 0; i < z.size(); ++i)
        differing += (z[i] & 0xffffff) != (b[i] & 0xffffff);
    snprintf(line, sizeof line, "%s: %u of %u pixels differ", when, unsigned(differing),
             unsigned(z.size()));
    return Checked(differing == 0, line);
}

// The file zelk saved against the bytes the bare routine saved for the same
// entries, at zelk's own place on the screen. Returns a line for the report.
std::string CompareFiles(const char* when, const std::string& zelkSettings) {
    RECT r;
    GetWindowRect(ZelkMainWindow(), &r);
    std::string expected = bench::SettingsText(bare::Entries(), r.left, r.top);
    std::string saved = ReadWhole(zelkSettings);
    size_t at = 0;
    while (at < saved.size() && at < expected.size() && saved[at] == expected[at])
        ++at;
    char line[200];
    if (saved == expected)
        snprintf(line, sizeof line, "%s: the same %u bytes", when, unsigned(saved.size()));
    else
        snprintf(line, sizeof line, "%s: differ from byte %u on (zelk.rc %u bytes, bare %u)", when,
                 unsigned(at), unsigned(saved.size()), unsigned(expected.size()));
    return Checked(saved == expected, line);
}

// ---- the DLL file ----

struct DllFacts {
    DWORD size = 0;
    std::vector<std::string> imports;
    std::vector<std::string> nonSystem;
};

// Reads the import table straight from the PE file.
DllFacts InspectDll(const std::string& path) {
    DllFacts facts;
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (f == INVALID_HANDLE_VALUE) Fail("cannot open zelk.dll");
    facts.size = GetFileSize(f, nullptr);
    std::vector<unsigned char> image(facts.size);
    DWORD got = 0;
    bool ok = ReadFile(f, image.data(), facts.size, &got, nullptr) && got == facts.size;
    CloseHandle(f);
    if (!ok) Fail("cannot read zelk.dll");

    auto at = [&](size_t offset, size_t length) -> const unsigned char* {
        if (offset > image.size() || length > image.size() - offset) Fail("zelk.dll is truncated");
        return image.data() + offset;
    };
    IMAGE_DOS_HEADER dos;
    memcpy(&dos, at(0, sizeof dos), sizeof dos);
    // The 32-bit and the 64-bit headers share their start; only where the
    // data directories lie differs.
    IMAGE_NT_HEADERS32 nt;
    memcpy(&nt, at(size_t(dos.e_lfanew), sizeof nt), sizeof nt);
    bool pe64 = nt.OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
    if (dos.e_magic != IMAGE_DOS_SIGNATURE || nt.Signature != IMAGE_NT_SIGNATURE ||
        (nt.OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC && !pe64))
        Fail("zelk.dll is not a PE32 or PE32+ file");
    IMAGE_DATA_DIRECTORY dir = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (pe64) {
        IMAGE_NT_HEADERS64 nt64;
        memcpy(&nt64, at(size_t(dos.e_lfanew), sizeof nt64), sizeof nt64);
        dir = nt64.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    }
    size_t sectionsAt = size_t(dos.e_lfanew) + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) +
                        nt.FileHeader.SizeOfOptionalHeader;
    std::vector<IMAGE_SECTION_HEADER> sections(nt.FileHeader.NumberOfSections);
    if (!sections.empty())
        memcpy(sections.data(), at(sectionsAt, sections.size() * sizeof sections[0]),
               sections.size() * sizeof sections[0]);
    auto fileOffset = [&](DWORD rva) -> size_t {
        for (const IMAGE_SECTION_HEADER& s : sections) {
            DWORD extent = std::max(s.Misc.VirtualSize, s.SizeOfRawData);
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + extent)
                return rva - s.VirtualAddress + s.PointerToRawData;
        }
        Fail("an import table address lies outside every section");
    };

    if (!dir.VirtualAddress) return facts;
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof system);
    for (size_t offset = fileOffset(dir.VirtualAddress);;
         offset += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        IMAGE_IMPORT_DESCRIPTOR d;
        memcpy(&d, at(offset, sizeof d), sizeof d);
        if (!d.Name) break;
        size_t nameAt = fileOffset(d.Name);
        const char* name = reinterpret_cast<const char*>(at(nameAt, 1));
        size_t length = strnlen(name, image.size() - nameAt);
        facts.imports.emplace_back(name, length);
        // A system DLL is one the system folder holds.
        std::string inSystem = std::string(system) + "\\" + facts.imports.back();
        if (GetFileAttributesA(inSystem.c_str()) == INVALID_FILE_ATTRIBUTES)
            facts.nonSystem.push_back(facts.imports.back());
    }
    return facts;
}

// ---- the report ----

std::string Figure(double zelk, double bare) {
    char text[80];
    snprintf(text, sizeof text, "%.2f / %.2f ms = %.2f", zelk, bare, bare > 0 ? zelk / bare : 0);
    return text;
}

struct Report {
    std::string text, markdown;
    void Line(const std::string& plain, const std::string& md) {
        text += plain + "\n";
        markdown += md + "\n";
    }
};

} // namespace

int main(int argc, char** argv) {
    setvbuf(stdout, nullptr, _IONBF, 0);
    int reps = 40;
    std::string dllSource = ExeDirectory() + "..\\zelk.dll";
    std::string style = ExeDirectory() + "..\\host\\styles\\default.style";
    std::string markdownPath, rawPath;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string option = argv[i];
        if (option == "--reps")
            reps = std::max(1, atoi(argv[i + 1]));
        else if (option == "--dll")
            dllSource = argv[i + 1];
        else if (option == "--style")
            style = argv[i + 1];
        else if (option == "--markdown")
            markdownPath = argv[i + 1];
        else if (option == "--raw")
            rawPath = argv[i + 1];
        else
            Fail("usage: zelk_bench [--reps N] [--dll PATH] [--style PATH] [--markdown FILE] "
                 "[--raw FILE]");
    }
    const int warmup = 3;

    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    Frequency = double(frequency.QuadPart);
    double benchBegan = NowMs();

    // The shell: its window, its folder (the scratch folder), its style.
    std::string run = ExeDirectory() + "run\\";
    CreateDirectoryA(run.c_str(), nullptr);
    std::string dll = run + "zelk.dll";
    if (!CopyFileA(FullPath(dllSource).c_str(), dll.c_str(), FALSE)) Fail("cannot copy zelk.dll");
    if (GetFileAttributesA(FullPath(style).c_str()) == INVALID_FILE_ATTRIBUTES)
        Fail("the style file is missing");
    if (!HostStart(GetModuleHandleA(nullptr))) Fail("the host did not start");
    HostSetPath(run.c_str());
    HostSetStyle(FullPath(style).c_str());
    const std::string zelkSettings = run + "zelk.rc";
    // The bare file has a folder of its own, so that each side's watch
    // wakes for its own file only.
    CreateDirectoryA((run + "bare").c_str(), nullptr);
    const std::string bareSettings = run + "bare\\bare.rc";
    const bench::Look look = bench::ReadLook();
    const int bareX = 300; // beside zelk's window, not over it

    Plugin plugin;
    plugin.module = LoadLibraryA(dll.c_str());
    if (!plugin.module) Fail("cannot load zelk.dll");
    plugin.begin = EntryPoint<BeginPluginFn>(plugin.module, "beginPlugin");
    plugin.end = EntryPoint<EndPluginFn>(plugin.module, "endPlugin");
    if (!plugin.begin || !plugin.end) Fail("zelk.dll lacks its entry points");

    Report report;
    int serial = 0;
    std::string raw = "step,repetition,side,ms\n";
    auto record = [&](int rep, Step step, bool zelk, double ms) {
        char row[96];
        snprintf(row, sizeof row, "\"%s\",%d,%s,%.3f\n", Steps[step].name, rep,
                 zelk ? "zelk" : "bare", ms);
        raw += row;
        if (rep < 0) return;
        (zelk ? Results[step].zelk : Results[step].bare).push_back(ms);
        if (zelk && step == Add) Results[AddAgainstRebuild].zelk.push_back(ms);
        if (zelk && step == Delete) Results[DeleteAgainstRebuild].zelk.push_back(ms);
    };

    // Start and unload, at each size of list.
    fprintf(stderr, "zelk_bench: start and unload, %d repetitions\n", reps);
    const int sizes[] = {0, 10, 50};
    for (int rep = -warmup; rep < reps; ++rep) {
        for (int s = 0; s < 3; ++s) {
            int n = sizes[s];
            for (int turn = 0; turn < 2; ++turn) {
                bool zelk = (turn == 0) == ((rep + s) % 2 == 0);
                ++serial;
                PrepareSettings(zelk ? zelkSettings : bareSettings, n, zelk ? 10 : bareX, serial);
                Quiesce();
                double t0 = NowMs();
                if (zelk) {
                    if (plugin.begin(plugin.module) != 0) Fail("beginPlugin failed");
                } else if (!bare::Start(bareSettings, look)) {
                    Fail("the bare windows could not be made");
                }
                bench::Settle();
                double t1 = NowMs();
                if (zelk)
                    ZelkWindows(n);
                else
                    CheckBare(n);
                Quiesce();
                double t2 = NowMs();
                if (zelk)
                    plugin.end();
                else
                    bare::Unload();
                bench::Settle();
                double t3 = NowMs();
                if (zelk && ZelkMainWindow()) Fail("zelk's window outlived endPlugin");
                record(rep, Step(Start0 + s), zelk, t1 - t0);
                record(rep, Step(Unload0 + s), zelk, t3 - t2);
            }
        }
    }

    // Add, repaint, tick and delete of entry 1, with both running side by
    // side at 49/50 entries, then the bare whole rebuild's add and delete.
    fprintf(stderr, "zelk_bench: add, repaint, tick, delete, rebuild, %d repetitions\n", reps);
    PrepareSettings(zelkSettings, 49, 10, ++serial);
    PrepareSettings(bareSettings, 49, bareX, ++serial);
    if (plugin.begin(plugin.module) != 0) Fail("beginPlugin failed");
    if (!bare::Start(bareSettings, look)) Fail("the bare windows could not be made");
    Quiesce();
    std::vector<std::string> pixelChecks, fileChecks;
    pixelChecks.push_back(ComparePixels("49 entries, none ticked"));
    // The first round shows whether both sides end every step with the same
    // pixels and the same file.
    auto check = [&](int rep, const char* when) {
        if (rep != -warmup) return;
        Quiesce();
        pixelChecks.push_back(ComparePixels(when));
        fileChecks.push_back(CompareFiles(when, zelkSettings));
    };
    // Sends what starts a step (a click's message, a key, a command) to zelk
    // or to the bare routine, times it until everything has painted and
    // records it; in the first round it also counts the windows painted.
    int paints[StepCount][2] = {}; // [step][zelk]
    auto timed = [&](int rep, Step step, bool zelk, auto&& send) {
        if (rep == -warmup) StartCountingPaints();
        double t0 = NowMs();
        send();
        bench::Settle();
        double ms = NowMs() - t0;
        if (rep == -warmup) paints[step][zelk] = StopCountingPaints();
        record(rep, step, zelk, ms);
    };
    auto click = [&](int rep, Step step, bool zelk, HWND window, UINT message, WPARAM wParam = 0) {
        timed(rep, step, zelk, [&] { SendMessageA(window, message, wParam, MAKELPARAM(5, 5)); });
    };
    std::vector<double> saveAlone;

    for (int rep = -warmup; rep < reps; ++rep) {
        for (int turn = 0; turn < 2; ++turn) {
            bool zelk = (turn == 0) == (rep % 2 == 0);
            Quiesce();
            click(rep, Add, zelk, zelk ? ZelkWindows(49).button : bare::AddButton(), WM_LBUTTONUP);
            if (zelk)
                ZelkWindows(50);
            else
                CheckBare(50);
        }
        check(rep, "50 entries after an add");
        for (int turn = 0; turn < 2; ++turn) {
            bool zelk = (turn == 0) == (rep % 2 == 0);
            Quiesce();
            HWND main = zelk ? ZelkMainWindow() : bare::MainWindow();
            if (rep == -warmup) StartCountingPaints();
            double t0 = NowMs();
            RedrawWindow(main, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
            bench::Settle();
            double ms = NowMs() - t0;
            if (rep == -warmup) paints[Repaint][zelk] = StopCountingPaints();
            record(rep, Repaint, zelk, ms);
        }
        for (int turn = 0; turn < 2; ++turn) {
            bool zelk = (turn == 0) == (rep % 2 == 0);
            Quiesce();
            HWND box = zelk ? ZelkWindows(50).boxes[49] : bare::DoneBox(49);
            click(rep, Tick, zelk, box, WM_LBUTTONUP);
        }
        check(rep, "50 entries, the last one ticked");
        // The bare write of the same bytes, on its own.
        Quiesce();
        double t0 = NowMs();
        if (!bare::Save()) Fail("the bare routine could not save");
        double saved = NowMs() - t0;
        if (rep >= 0) saveAlone.push_back(saved);
        raw += "\"save alone, 50 entries\"," + std::to_string(rep) + ",bare," +
               std::to_string(saved) + "\n";
        for (int turn = 0; turn < 2; ++turn) {
            bool zelk = (turn == 0) == (rep % 2 == 0);
            Quiesce();
            HWND label = zelk ? ZelkWindows(50).labels[0] : bare::Label(0);
            click(rep, Delete, zelk, label, WM_RBUTTONDBLCLK);
            if (zelk)
                ZelkWindows(49);
            else
                CheckBare(49);
        }
        check(rep, "49 entries after deleting entry 1");
        // The bare whole rebuild: the same add, then the deletion of the entry
        // it added, so that both sides keep showing the same list. A whole
        // rebuild does the same work whichever entry goes.
        bare::SetChanges(bare::Changes::Rebuild);
        Quiesce();
        click(rep, AddAgainstRebuild, false, bare::AddButton(), WM_LBUTTONUP);
        CheckBare(50);
        Quiesce();
        click(rep, DeleteAgainstRebuild, false, bare::Label(49), WM_RBUTTONDBLCLK);
        CheckBare(49);
        bare::SetChanges(bare::Changes::OneRow);
        check(rep, "49 entries after the bare whole rebuild");
    }
    Quiesce();
    pixelChecks.push_back(ComparePixels("49 entries at the end of the run"));
    fileChecks.push_back(CompareFiles("49 entries at the end of the run", zelkSettings));
    plugin.end();
    bare::Unload();
    bench::Settle();

    // A reload: another program renames entry 25 in a 50-entry file (every
    // round renames it one way or back). Once the watch's notices have come
    // in, the quiet time's timer is sent at once, and the reload is timed
    // from that message until painted.
    fprintf(stderr, "zelk_bench: reload, %d repetitions\n", reps);
    PrepareSettings(zelkSettings, 50, 10, ++serial);
    PrepareSettings(bareSettings, 50, bareX, ++serial);
    if (plugin.begin(plugin.module) != 0) Fail("beginPlugin failed");
    if (!bare::Start(bareSettings, look)) Fail("the bare windows could not be made");
    std::vector<bench::Entry> outside = bench::MakeEntries(50);
    const std::string entry25 = outside[24].text;
    for (int rep = -warmup; rep < reps; ++rep) {
        outside[24].text = rep % 2 ? "Renamed " + entry25 : entry25;
        for (int turn = 0; turn < 2; ++turn) {
            bool zelk = (turn == 0) == (rep % 2 == 0);
            WriteLikeSyncTool(zelk ? zelkSettings : bareSettings,
                              bench::SettingsText(outside, zelk ? 10 : bareX, 10));
            Sleep(20);
            Quiesce();
            click(rep, Reload, zelk, zelk ? ZelkMainWindow() : bare::MainWindow(), WM_TIMER,
                  zelk ? ZelkReloadTimer : bare::ReloadTimer);
        }
        if (bare::Entries().size() != outside.size() ||
            bare::Entries()[24].text != outside[24].text)
            Fail("the bare windows do not show the file another program wrote");
        check(rep, "50 entries after another program renamed entry 25");
    }
    Quiesce();
    pixelChecks.push_back(ComparePixels("50 entries at the end of the reloads"));
    // A reload writes nothing: zelk.rc is still the other program's file.
    fileChecks.push_back(CompareFiles("50 entries at the end of the reloads", zelkSettings));
    plugin.end();
    bare::Unload();
    bench::Settle();

    // Control+Up on entry 50. The keys come as messages to each main window,
    // which keeps no keyboard focus, so no focus mark shows on either side.
    // Before each turn, End puts the focus on entry 50 (untimed); the timed
    // key is Up with Control held in the thread's key state. Each round swaps
    // the last two entries one way or back.
    fprintf(stderr, "zelk_bench: Control+Up, %d repetitions\n", reps);
    PrepareSettings(zelkSettings, 50, 10, ++serial);
    PrepareSettings(bareSettings, 50, bareX, ++serial);
    if (plugin.begin(plugin.module) != 0) Fail("beginPlugin failed");
    if (!bare::Start(bareSettings, look)) Fail("the bare windows could not be made");
    std::vector<bench::Entry> expected = bench::MakeEntries(50);
    for (int rep = -warmup; rep < reps; ++rep) {
        std::swap(expected[48], expected[49]);
        for (int turn = 0; turn < 2; ++turn) {
            bool zelk = (turn == 0) == (rep % 2 == 0);
            HWND main = zelk ? ZelkMainWindow() : bare::MainWindow();
            SendMessageA(main, WM_KEYDOWN, VK_END, 1);
            Quiesce();
            if (GetFocus() == ZelkMainWindow()) Fail("zelk's window holds the keyboard");
            HoldControl(true);
            timed(rep, MoveUp, zelk, [&] { SendMessageA(main, WM_KEYDOWN, VK_UP, 1); });
            HoldControl(false);
        }
        CheckBareShows(expected, "Control+Up");
        check(rep, "50 entries after Control+Up on entry 50");
    }
    plugin.end();
    bare::Unload();
    bench::Settle();

    // Undo Delete of entry 1: entry 1 is deleted (untimed, as the delete
    // step does it), then the command the menu's Undo Delete sends goes out
    // through the host to zelk; the bare routine gets one message.
    fprintf(stderr, "zelk_bench: Undo Delete, %d repetitions\n", reps);
    PrepareSettings(zelkSettings, 50, 10, ++serial);
    PrepareSettings(bareSettings, 50, bareX, ++serial);
    if (plugin.begin(plugin.module) != 0) Fail("beginPlugin failed");
    if (!bare::Start(bareSettings, look)) Fail("the bare windows could not be made");
    expected = bench::MakeEntries(50);
    for (int rep = -warmup; rep < reps; ++rep) {
        for (int turn = 0; turn < 2; ++turn) {
            bool zelk = (turn == 0) == (rep % 2 == 0);
            Quiesce();
            SendMessageA(zelk ? ZelkWindows(50).labels[0] : bare::Label(0), WM_RBUTTONDBLCLK, 0,
                         MAKELPARAM(5, 5));
            if (zelk)
                ZelkWindows(49);
            else
                CheckBare(49);
            Quiesce();
            timed(rep, UndoDeleteTop, zelk, [&] {
                if (zelk)
                    HostBroadcast("@ovletInternal UndoDelete");
                else
                    SendMessageA(bare::MainWindow(), bare::UndoDeleteMessage, 0, 0);
            });
            if (zelk)
                ZelkWindows(50);
            else
                CheckBare(50);
        }
        CheckBareShows(expected, "Undo Delete");
        check(rep, "50 entries after Undo Delete of entry 1");
    }
    plugin.end();
    bare::Unload();
    bench::Settle();

    // A reload at 49 entries in which another program inserted an entry at
    // place 25, timed as the rename's reload is; then, untimed, the other
    // program removes it again.
    fprintf(stderr, "zelk_bench: reload of an insertion, %d repetitions\n", reps);
    PrepareSettings(zelkSettings, 49, 10, ++serial);
    PrepareSettings(bareSettings, 49, bareX, ++serial);
    if (plugin.begin(plugin.module) != 0) Fail("beginPlugin failed");
    if (!bare::Start(bareSettings, look)) Fail("the bare windows could not be made");
    const std::vector<bench::Entry> without = bench::MakeEntries(49);
    std::vector<bench::Entry> with = without;
    with.insert(with.begin() + 24, {"Inserted elsewhere: pick up the parcel", 0});
    // Another program writes `entries`; the reload is timed, or only waited for.
    auto reload = [&](int rep, bool zelk, const std::vector<bench::Entry>& entries, bool isTimed) {
        WriteLikeSyncTool(zelk ? zelkSettings : bareSettings,
                          bench::SettingsText(entries, zelk ? 10 : bareX, 10));
        Sleep(20);
        Quiesce();
        HWND main = zelk ? ZelkMainWindow() : bare::MainWindow();
        WPARAM timer = zelk ? ZelkReloadTimer : bare::ReloadTimer;
        if (isTimed) {
            click(rep, ReloadInsert, zelk, main, WM_TIMER, timer);
        } else {
            SendMessageA(main, WM_TIMER, timer, 0);
            bench::Settle();
        }
        if (zelk)
            ZelkWindows(int(entries.size()));
        else
            CheckBare(int(entries.size()));
    };
    for (int rep = -warmup; rep < reps; ++rep) {
        for (int turn = 0; turn < 2; ++turn)
            reload(rep, (turn == 0) == (rep % 2 == 0), with, true);
        CheckBareShows(with, "another program's insertion");
        check(rep, "50 entries after another program inserted one at place 25");
        for (int turn = 0; turn < 2; ++turn)
            reload(rep, turn == 0, without, false);
        CheckBareShows(without, "another program's removal");
        check(rep, "49 entries after another program removed it again");
    }
    plugin.end();
    bare::Unload();
    bench::Settle();
    FreeLibrary(plugin.module);

    // Where a rebuild's reading goes: the keys of a settings file saved just
    // before, read through the host's readers one call at a time in the
    // order zelk asks for them, against one read of the whole file.
    std::vector<double> keyByKey, wholeFile;
    const std::string readBack = run + "readback.rc";
    for (int rep = -warmup; rep < reps; ++rep) {
        bench::WriteWholeFile(readBack, bench::SettingsText(bench::MakeEntries(50)));
        double t0 = NowMs();
        int found = ReadKeysLikeZelk(readBack.c_str());
        double t1 = NowMs();
        std::string bytes = ReadWhole(readBack);
        double t2 = NowMs();
        if (found != 50 || bytes.empty()) Fail("the read-back file did not read back");
        if (rep >= 0) {
            keyByKey.push_back(t1 - t0);
            wholeFile.push_back(t2 - t1);
        }
    }
    HostStop();

    // The figures.
    DllFacts facts = InspectDll(dll);
    std::string importList;
    for (const std::string& name : facts.imports)
        importList += (importList.empty() ? "" : ", ") + name;
    double kib = facts.size / 1024.0;
    // This wave's budget for the DLL of this program's own architecture.
    const unsigned sizeGoalKiB = sizeof(void*) == 8 ? 76 : 68;
    bool sizeMet = facts.size <= sizeGoalKiB * 1024;
    char line[512];

    report.markdown += "| step | median: zelk / bare = ratio | minimum: zelk / bare = ratio | "
                       "goal (median ratio) |\n|---|---|---|---|\n";
    report.text += "figures in ms, median and minimum of each, as zelk / bare = ratio\n";
    for (int s = 0; s < StepCount; ++s) {
        const Series& r = Results[s];
        double zm = Median(r.zelk), bm = Median(r.bare);
        std::string goal = "none";
        if (Steps[s].goal > 0) {
            char g[64];
            snprintf(g, sizeof g, "at most %.1f%s: %s", Steps[s].goal,
                     Steps[s].goal < 1 ? " (10x faster)" : "",
                     zm <= Steps[s].goal * bm ? "met" : "missed");
            goal = g;
        }
        std::string median = Figure(zm, bm), minimum = Figure(Minimum(r.zelk), Minimum(r.bare));
        snprintf(line, sizeof line, "  %-34s median %-28s min %-28s goal %s", Steps[s].name,
                 median.c_str(), minimum.c_str(), goal.c_str());
        report.text += std::string(line) + "\n";
        snprintf(line, sizeof line, "| %s | %s | %s | %s |", Steps[s].name, median.c_str(),
                 minimum.c_str(), goal.c_str());
        report.markdown += std::string(line) + "\n";
    }

    report.Line("", "");
    snprintf(line, sizeof line, "zelk.dll: %lu bytes (%.1f KiB); goal at most %u KiB: %s",
             static_cast<unsigned long>(facts.size), kib, sizeGoalKiB, sizeMet ? "met" : "missed");
    report.Line(line, std::string("- ") + line);
    snprintf(line, sizeof line, "zelk.dll imports: %s; only system DLLs: %s", importList.c_str(),
             facts.nonSystem.empty() ? "yes, goal met" : "no, goal missed");
    report.Line(line, std::string("- ") + line);
    snprintf(line, sizeof line,
             "repetitions: %d of each step for zelk and for bare (after %d "
             "discarded warm-up rounds)",
             reps, warmup);
    report.Line(line, std::string("- ") + line);
    for (const std::string& check : pixelChecks) {
        std::string l = "bare picture against zelk's, " + check;
        report.Line(l, "- " + l);
    }
    snprintf(line, sizeof line,
             "windows painted (WM_PAINT handled) in the first round, zelk / bare: add %d / %d; "
             "delete of entry 1 %d / %d; tick %d / %d; full repaint %d / %d; reload %d / %d; "
             "Control+Up %d / %d; Undo Delete %d / %d; reload of an insertion %d / %d; the "
             "bare whole rebuild: add %d, delete %d",
             paints[Add][1], paints[Add][0], paints[Delete][1], paints[Delete][0], paints[Tick][1],
             paints[Tick][0], paints[Repaint][1], paints[Repaint][0], paints[Reload][1],
             paints[Reload][0], paints[MoveUp][1], paints[MoveUp][0], paints[UndoDeleteTop][1],
             paints[UndoDeleteTop][0], paints[ReloadInsert][1], paints[ReloadInsert][0],
             paints[AddAgainstRebuild][0], paints[DeleteAgainstRebuild][0]);
    report.Line(line, std::string("- ") + line);
    for (const std::string& check : fileChecks) {
        std::string l = "zelk.rc against the bare save of the same entries, " + check;
        report.Line(l, "- " + l);
    }
    // What the 10x goals ask set against what the bare one-row routines
    // themselves reach over the bare whole rebuild.
    snprintf(
        line, sizeof line,
        "the bare one-row routines against the bare whole rebuild, medians: add %s; "
        "delete %s",
        Figure(Median(Results[Add].bare), Median(Results[AddAgainstRebuild].bare)).c_str(),
        Figure(Median(Results[Delete].bare), Median(Results[DeleteAgainstRebuild].bare)).c_str());
    report.Line(line, std::string("- ") + line);
    snprintf(line, sizeof line,
             "the bare save alone (the 50-entry file: temporary file, flush, a look at the file, "
             "replace): median %.2f ms, minimum %.2f ms",
             Median(saveAlone), Minimum(saveAlone));
    report.Line(line, std::string("- ") + line);
    snprintf(line, sizeof line,
             "reading back a 50-entry settings file saved just before: through the host's "
             "readers one key at a time, as the whole rebuild reads it after an add or a delete "
             "(%d calls), median %.2f ms, minimum %.2f ms; the same file read once, median "
             "%.2f ms, minimum %.2f ms",
             ZelkReadCalls, Median(keyByKey), Minimum(keyByKey), Median(wholeFile),
             Minimum(wholeFile));
    report.Line(line, std::string("- ") + line);
    snprintf(line, sizeof line, "bench ran %.1f s", (NowMs() - benchBegan) / 1000.0);
    report.Line(line, std::string("- ") + line);

    if (!Mismatches.empty()) {
        std::string verdict = "FAILED: the bare lower bound did not give zelk's output, so these "
                              "figures compare unequal work:";
        for (const std::string& m : Mismatches)
            verdict += " " + m + ";";
        report.text = verdict + "\n" + report.text;
        report.markdown = "**" + verdict + "**\n\n" + report.markdown;
    }
    fputs(report.text.c_str(), stdout);
    if (!markdownPath.empty() && !bench::WriteWholeFile(markdownPath, report.markdown))
        Fail("cannot write the Markdown figures");
    if (!rawPath.empty() && !bench::WriteWholeFile(rawPath, raw)) Fail("cannot write the timings");
    return Mismatches.empty() ? 0 : 1;
}
