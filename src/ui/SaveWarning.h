// The box that tells the user the settings file could not be read or saved.
#pragma once

#include <stddef.h>

class PluginInstance;

// Shows one box for what the instance has pending, from the plug-in's own
// posted message; touches nothing of the plug-in once the box is open.
void TellSettingsProblem();
// What the box at unload says when the last save failed.
void ComposeUnloadWarning(const PluginInstance& p, char* text, size_t size);
void ShowWarningBox(const char* text);
