// Paths of the files a save touches. Past MAX_PATH Windows takes a path only
// in its long form (\\?\C:\... or \\?\UNC\server\share\...), so each is
// made in that form when it is that long; and a settings file that is a
// symbolic link is saved where the link points, so the link stays.
#pragma once

#include <windows.h>

#include "core/PluginInstance.h"

// `path` then `suffix`, in the long form when the whole reaches MAX_PATH;
// false when it does not fit.
bool LongFormPath(wchar_t (&out)[LongPathSize], const wchar_t* path, const wchar_t* suffix);
// The file `path` (shorter than MAX_PATH) names once every link on the way
// is followed, without the long form's prefix; false when it cannot be told
// (the file is missing, or the system is older than the function that tells
// it).
bool FinalPathOf(wchar_t (&out)[LongPathSize], const wchar_t* path);
