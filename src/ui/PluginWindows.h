// The plug-in's window set, the user actions that change the list, and the
// window procedures.
#pragma once

#include <windows.h>

int CreatePluginWindows();
void DestroyPluginWindows();
void AddItem();
void DeleteItem(HWND window);
void RemoveTickedEntries();
void UndoDelete();
bool AnyEntryTicked();
// A width outside 30 to 4000 changes nothing.
void SetWindowWidth(int width);
void BeginEdit(HWND label);
bool StoreEdit();
void CommitEdit();
void CommitOpenEdit();
void CancelEdit();
// Around a change of the main window's parent (docking, floating free): an
// open edit stays open, and its editor keeps the keyboard it had.
void BeginReparenting();
void EndReparenting();

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK LabelWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK DoneBoxWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK AddButtonWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK EditWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

extern const char PluginClassName[];
