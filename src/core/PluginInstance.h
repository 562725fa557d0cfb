// The one plug-in object: module, windows, settings, style values and paths.
#pragma once

#include <windows.h>

#include "core/HostInterface.h"

constexpr int PathSize = 260;
constexpr int FontFaceSize = 256;
constexpr int CommandSize = 4096;
constexpr int MinWindowWidth = 30;
constexpr int MaxWindowWidth = 4000;

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
    bool WriteSettings();
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
    char settingsPath[PathSize] = {};
    char stylePath[PathSize] = {};
    HostMenu menu = nullptr; // the configuration menu while one is held

  private:
    void TakeCreationDefaults();
};

extern PluginInstance* ThePlugin;
extern bool InSlit;
extern HWND SlitWindow;
