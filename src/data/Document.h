// A whole list with its settings, as a value: the list on screen taken as a
// copy, or a settings file freshly read. Changes are applied to it, the
// window is brought in line with it, and it is what a save writes.
#pragma once

#include "data/ItemList.h"

enum Setting {
    KeyX,
    KeyY,
    KeyWidth,
    KeyOnTop,
    KeySnap,
    KeyTransparency,
    KeyInSlit,
    KeyAlpha,
    SettingCount
};

struct Document {
    int count;
    EntryRecord entries[MaxDocumentEntries];
    int settings[SettingCount]; // booleans as 0 and 1
};

// The entry with `text` nearest to `index` (the earlier one of two as near),
// or -1 when none has that text.
int FindEntry(const Document& document, const char* text, int index);
// Inserts at `index` (at the end when the list is shorter); false when full.
bool InsertEntry(Document& document, int index, const char* text, int done);
void RemoveEntry(Document& document, int index);

// The settings file as the last merge or reload left it, every change not
// yet in it applied.
const Document& MergedDocument();
