// Our code on the stack under a modal loop: a message box, or the shell's
// menu. The shell keeps running inside such a loop, and may reconfigure or
// end the plug-in there, and unload its DLL right after endPlugin returns.
#pragma once

#include <windows.h>

#include "core/HostInterface.h"

// Held around every message box and menu of ours. It holds a reference to
// our own module for the loop's length; when the instance was destroyed
// meanwhile, that reference is kept for good, so the DLL stays loaded rather
// than have the loop return into unloaded code. A loop takes the keyboard
// away (a box, the menu's owner): the keyboard's home window has it back
// after, if it had it before.
class ModalLoop {
  public:
    ModalLoop();
    ~ModalLoop();
    ModalLoop(const ModalLoop&) = delete;
    ModalLoop& operator=(const ModalLoop&) = delete;
    // The instance seen before the loop is gone: nothing of it may be read.
    bool InstanceEnded() const;

  private:
    HMODULE module_;
    unsigned destroyedBefore_;
    HWND keyboard_;
};

// Shows a menu through the shell. While that call runs, ReleaseHostMenu of
// the same menu only marks it; the release happens once the call returns.
void ShowHostMenu(HostMenu menu);
void ReleaseHostMenu(HostMenu menu);
bool HostMenuShowing();
// The window that gets the keyboard back after a loop (null: none).
void SetKeyboardHome(HWND window);
// True while a box, a menu or a move of ours runs its loop.
bool InModalLoop();
// Counts instances destroyed, so code that ran a modal loop can tell whether
// the instance it held was ended meanwhile.
extern unsigned InstancesDestroyed;
