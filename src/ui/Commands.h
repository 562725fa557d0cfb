// Broadcast commands and the configuration menu.
#pragma once

#include <windows.h>

void HandleCommand(const char* text);
void ShowConfigurationMenu();
