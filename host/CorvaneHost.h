// The development host: a small stand-in for the desktop shell, so that zelk
// can be run and tested. Its exported functions (HostInterface.h) are the
// shell's; the functions below are the host's own, used by devhost.exe and by
// test programs that act as a host.
//
// rc files: lines "key: value" ending in LF or CR LF (a lone CR also ends a
// line). A key matches case-insensitively, its colon included; the value is
// trimmed of surrounding blanks; the first matching line wins; a missing key
// gives the default. ReadBool takes true/false in any case, else the default;
// ReadInt a decimal with optional sign, else the default; ReadColor "#rrggbb"
// or "#rgb", else it parses the default. WriteBool replaces that key's line
// in place, keeping every other byte, or appends it, creating the file.
//
// Gradient descriptions (ParseItem): case-insensitive words in any order.
//   bevel kind (StyleRecord.valueA): flat 0, raised 1, sunken 2
//   bevel position (valueB): bevel1 1 (at the edge, default), bevel2 2 (one pixel in)
//   gradient type: solid 0; gradient with horizontal 1, vertical 2 (default),
//     diagonal 3, crossdiagonal 4, pipecross 5, elliptic 6, rectangle 7, pyramid 8
//   interlaced: sets the flag (byte 13)
#pragma once

#define CORVANE_HOST_EXPORT __declspec(dllexport)
#include "core/HostInterface.h"

#ifdef __cplusplus
extern "C" {
#endif

// Class of the host's main window. devhost.exe titles its window
// DEVHOST_WINDOW_TITLE, so its command-line modes find the running devhost and
// never a test program that happens to be a host too.
#define HOST_WINDOW_CLASS "DevHostMain"
#define DEVHOST_WINDOW_TITLE "devhost"

// WM_COPYDATA kinds (dwData) the host's main window understands; the data is
// text. A command is broadcast, except "reconfigure", which calls
// HostReconfigure. A style path switches the style file (the result is FALSE
// when the file does not exist). WM_CLOSE ends the host's message loop.
enum { HOSTCOPY_COMMAND = 1, HOSTCOPY_STYLE = 2 };

// Creates the host's hidden main window (the one GetCorvaneWnd returns), which
// keeps the subscriptions and delivers broadcasts. Idempotent.
HWND HostStart(HINSTANCE instance);
void HostStop(void);

// Directory GetCorvanePath reports (trailing backslash added when missing);
// default: the executable's directory.
void HostSetPath(const char* directory);
// Style file stylePath reports; NULL restores the default style beside the executable.
void HostSetStyle(const char* path);

// Sends HOSTMSG_BROADCAST with the text to every window subscribed to it.
void HostBroadcast(const char* text);
// Sends HOSTMSG_RECONFIGURE to every window subscribed to it.
void HostReconfigure(void);

// Subscriptions in the order they were made: window and message.
int HostSubscriptionCount(void);
HWND HostSubscriptionWindow(int index);
UINT HostSubscriptionMessage(int index);
// Windows passed to MakeSticky, in order.
int HostStickyCount(void);
HWND HostStickyWindow(int index);
void HostClearRecords(void);

// The slit: a visible dock window at the right screen edge that stacks the
// windows sent to it with SLITMSG_ADD.
HWND HostCreateSlit(void);
void HostDestroySlit(void);
int HostSlitCount(void);
HWND HostSlitWindow(int index);
int HostSlitUpdateCount(void); // SLITMSG_UPDATE received since the slit was made

// Menus. ShowMenu takes the menu: it and its submenus are freed once it
// closes; DelMenu frees a menu that was not shown. Stale or unknown handles
// are ignored. Interactive (devhost): ShowMenu pops the menu up at the cursor
// and posts the chosen item's command to the host window, which broadcasts it
// once the plug-in's call has returned. Otherwise (the default, so that test
// programs never block) ShowMenu only records the menu.
void HostSetMenuInteractive(bool interactive);
// Runs inside every ShowMenu while the menu is open, as input arriving during
// a real menu's loop would; NULL removes it. The menu may be deleted meanwhile.
typedef void (*HostMenuHook)(void* context);
void HostSetMenuHook(HostMenuHook hook, void* context);
// How many times ShowMenu was called, and the last menu shown as text: the
// title, then one line per item, indented two blanks per level:
//   "text -> command" with " [x]" appended when checked, or
//   "text >" for a submenu, followed by the submenu's own lines.
int HostMenuShowCount(void);
const char* HostLastMenu(void);
// Menus made and not yet freed (for catching leaks).
int HostMenuLiveCount(void);
// Every menu call since the records were cleared, one per line, e.g.
// "MakeMenu(ovlet) = 3", "MakeMenuItem(4, Always On Top, @ovletInternal AlwaysOnTop, true)".
const char* HostMenuCalls(void);

#ifdef __cplusplus
}
#endif
