// Active Accessibility: the main window answers a screen reader with zelk's
// own IAccessible, a list of check buttons followed by the Add Item button.
// The system's accessibility DLLs load only when a client first asks. Every
// method runs on the window's thread: a shell in the multithreaded apartment
// hands the object out there, and calls then come on any thread.
#pragma once

#include <windows.h>

// Sent to the main window by a thread calling the object: the window's
// thread runs the call (RunCarriedCall).
constexpr UINT CarriedCallMessage = WM_APP + 0x2b0;

// WM_GETOBJECT: the object for OBJID_CLIENT of the main window, else 0 (the
// system's default then answers).
LRESULT AnswerGetObject(HWND window, WPARAM wParam, LPARAM lParam);
// A call from another thread, waiting for the window's: runs it there.
void RunCarriedCall();
// As the end of the plug-in begins: clients still holding the object are
// cut off (every method then fails with RPC_E_DISCONNECTED), and COM, if
// zelk started it, is ended.
void DisconnectAccessible();
