// Active Accessibility: the main window answers a screen reader with zelk's
// own IAccessible, a list of check buttons followed by the Add Item button.
// The system's accessibility DLLs load only when a client first asks.
#pragma once

#include <windows.h>

// WM_GETOBJECT: the object for OBJID_CLIENT of the main window, else 0 (the
// system's default then answers).
LRESULT AnswerGetObject(HWND window, WPARAM wParam, LPARAM lParam);
// At the end of the plug-in: clients still holding the object are cut off
// (every method then fails with RPC_E_DISCONNECTED), and COM, if zelk
// started it, is ended.
void DisconnectAccessible();
