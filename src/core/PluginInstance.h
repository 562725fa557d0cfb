// The one plug-in object: module, windows, settings, style values and paths.
#pragma once

#include <windows.h>

#include "core/HostInterface.h"

struct Change;
struct Document;

constexpr int PathSize = 260;
// Paths a save makes from the settings file's (its link's target, the
// temporary files, the backup) may run past MAX_PATH, in their long form.
constexpr int LongPathSize = 1024;
// Another program's write to the settings file: it is waited for until the
// file has been quiet this long (ms), for 2 s at most, and for 1 s at most
// when the shell ends zelk.
constexpr DWORD QuietTime = 200;
constexpr DWORD WriterPatience = 2000;
constexpr DWORD UnloadPatience = 1000;
constexpr int FontFaceSize = 256;
constexpr int CommandSize = 4096;
constexpr int MinWindowWidth = 30;
constexpr int MaxWindowWidth = 4000;

// Posted by the plug-in to its own main window: a box telling a problem with
// the settings file is shown from the message loop, never from inside the
// action that met the problem.
constexpr UINT TellSettingsProblemMessage = WM_APP + 0x2a0;
// The settings file's folder changed (posted by the watching thread).
constexpr UINT SettingsFolderChangedMessage = WM_APP + 0x2a1;

// What the next box about the settings file has to tell (bits of
// PluginInstance::warnings).
enum SettingsWarning {
    WarnUnreadable = 1, // the file exists but could not be read at start
    WarnSaveFailed = 2  // a save failed after a good one (or after the start)
};

class PluginInstance {
  public:
    // Made and released without the C++ allocator, whose failure path would
    // bring the exception machinery into the DLL. Create gives null when out
    // of memory.
    static PluginInstance* Create(HINSTANCE module);
    static void Destroy(PluginInstance* instance);

    explicit PluginInstance(HINSTANCE module);
    ~PluginInstance();
    PluginInstance(const PluginInstance&) = delete;
    PluginInstance& operator=(const PluginInstance&) = delete;

    void LocateSettings();
    void ReadSettings();
    // Writes the list and settings as they stand, without looking at the file.
    bool WriteSettings();
    // The one way an action saves. `change` (kept until it is in the file)
    // is what the action did; when the file changed since zelk last read or
    // wrote it, it is read and every change not yet in it is applied to it
    // (mergedOnSave, MergedDocument()), else the list is written as it
    // stands. Keeps the count of failures so that a run of them is told
    // once. False when not saved.
    // While another program writes the file, or the replacement is refused
    // (a sharing violation), the save waits (saveWaits): the change is kept
    // and a timer saves again, for 2 s at most before a failure is told.
    bool Save(Change* change = nullptr);
    // Another program is writing the file: it holds it open for writing, it
    // changed less than QuietTime ago, or it is empty (zelk never writes an
    // empty file); each only while it differs from what zelk last read or
    // wrote.
    bool OtherWriteUnderWay() const;
    // True while zelk is to wait for another program (`busy`: it writes the
    // file, or refused its replacement): the file is then neither shown,
    // merged nor replaced, until zelk has waited WriterPatience.
    bool WaitsFor(bool busy);
    // At unload: waits UnloadPatience at most for another program's write,
    // and from then on no save waits.
    void AwaitOtherWrite();
    // Finds the file saves replace (target) again; true when it moved, and
    // then the save lock and the folder watch follow it.
    bool FindTarget();
    // Reads the file another program changed, applying the changes not yet
    // in it; see MergedDocument(). False when it cannot be read.
    bool MergeWithFile(bool& missing, bool* unchanged = nullptr);
    bool FileChangedSinceSeen() const;
    // The list on screen and the settings, as a document.
    void Snapshot(Document& d) const;
    // The document's settings; the window's place and docking only withPlace.
    void TakeDocument(const Document& d, bool withPlace);
    void ReadStyle();

    HINSTANCE module;
    HWND mainWindow = nullptr;
    HWND hostWindow = nullptr;
    HWND editControl = nullptr;
    HWND addButton = nullptr;
    HWND toolTip = nullptr; // shows a cut label's whole text
    HFONT editFont = nullptr;
    WNDPROC editPreviousProc = nullptr;
    WNDPROC doneBoxPreviousProc = nullptr;
    WNDPROC addButtonPreviousProc = nullptr;
    WNDPROC labelPreviousProc = nullptr;
    int x = 10, y = 10;
    // Where the window last floated free in this session: it goes back
    // there when it leaves the slit.
    int floatingX = 10, floatingY = 10;
    int width = 100;
    int height = 30;
    bool alwaysOnTop = true;
    bool snapToEdges = true;
    bool transparencyOn = false;
    int alpha = 200;
    bool transparencySupported = false;
    COLORREF colour = 0, colourTo = 0, borderColour = 0;
    int bevelWidth = 1, borderWidth = 1;
    StyleRecord* styleRecord = nullptr;
    COLORREF textColour = 0, doneTextColour = 0;
    char fontFace[FontFaceSize] = {};
    int fontHeight = 12;
    // Wide, so that zelk works from a folder named outside the code page.
    wchar_t settingsPath[PathSize] = {};
    // The file a save replaces: the settings file, or the target of the
    // symbolic link it is, so that the link stays a link.
    wchar_t target[LongPathSize] = {};
    char stylePath[PathSize] = {};
    HostMenu menu = nullptr; // the configuration menu while one is held
    // The display: the DPI the window is laid out for, high contrast as last
    // read, the scroll bar shown while the rows do not fit, and the hidden
    // top-level window that hears the system's broadcasts while docked.
    int dpi = 96;
    bool highContrast = false;
    HWND scrollBar = nullptr;
    WNDPROC scrollBarPreviousProc = nullptr;
    HWND listener = nullptr;

    // Every line of the settings file that zelk did not load, verbatim and in
    // file order, from the one read at start; written back after zelk's own
    // lines at each save. Not re-read, so nothing it holds can be loaded and
    // then dropped by a later save.
    char* keptLines = nullptr;
    size_t keptLength = 0;
    // False while the file exists but could not be read: it is then never
    // replaced, and each save tries to read it first.
    bool settingsRead = false;
    // The hash of the file's bytes as zelk last read or wrote them: a save
    // or a change notice compares the file with it.
    unsigned long long fileHash = 0;
    bool fileHashKnown = false;
    bool mergedOnSave = false;         // the last save merged another program's write
    bool changesDroppedOnSave = false; // ... and a change's entry was gone from it
    // The file as read at start, kept for the backup at the first save.
    char* startBytes = nullptr;
    size_t startLength = 0;
    bool backupMade = false;
    bool straysRemoved = false;  // temporary files of copies killed mid-save
    bool saveWaits = false;      // the last save waits for another program
    bool replaceRefused = false; // the last write failed on another program's hold
    bool lastSave = false;       // the shell ends zelk: no save waits any more
    DWORD waitingSince = 0;      // when zelk began to wait for another program
    HANDLE saveMutex = nullptr;  // one per settings file, across copies of zelk
    // A run of failed saves: from the first failure after a good save (or
    // after the start) to the next good save.
    bool inFailureRun = false;
    bool failureBoxShown = false; // a box was shown in the current run
    int warnings = 0;             // SettingsWarning bits not yet told
    DWORD readError = 0;          // why the file could not be read
    DWORD saveError = 0;          // why the last save failed
    DWORD runError = 0;           // why the first save of the current run failed

  private:
    void TakeCreationDefaults();
    void CreateDefaultFile();
    bool TakeFileBytes(const char* bytes, size_t length, Document& d);
    bool WriteDocument(const Document& d, bool checkFirst);
    void MakeBackup();
    void RemoveStrayTemporaryFiles();
    void StartFailureRun(DWORD error);
    void Warn(int warning);
};

extern PluginInstance* ThePlugin;
// Lets go of the configuration menu the instance holds.
void ReleaseConfigurationMenu();
extern bool InSlit;
extern HWND SlitWindow;
