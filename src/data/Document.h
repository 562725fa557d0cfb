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

// What the user saw of an entry besides its text and place, so that among
// entries of the same text the one acted on is found: its tick, and the keys
// (TextKey) of the texts next to it, NoNeighbour past either end.
struct EntrySeen {
    int done;
    unsigned above, below; // 0 when not known: no `seen` is passed then
};
constexpr unsigned NoNeighbour = 1;
// A hash of the text, never 0 or NoNeighbour.
unsigned TextKey(const char* text);

// The entry with `text` the user meant, or -1 when none has that text. Among
// those with the text, prefer the tick the user saw, then the same neighbour
// above (else below) as the user saw, then the nearest place to `index`,
// then the earlier one. Without `seen`, only the place counts.
int FindEntry(const Document& document, const char* text, int index,
              const EntrySeen* seen = nullptr);
// Inserts at `index` (at the end when the list is shorter); false when full.
bool InsertEntry(Document& document, int index, const char* text, int done);
void RemoveEntry(Document& document, int index);

// The settings file as the last merge or reload left it, every change not
// yet in it applied.
const Document& MergedDocument();
