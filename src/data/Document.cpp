#include "data/Document.h"

#include <string.h>

#include "data/Text.h"

int FindEntry(const Document& document, const char* text, int index) {
    int best = -1;
    int bestDistance = 0;
    for (int i = 0; i < document.count; ++i) {
        if (strcmp(document.entries[i].text, text) != 0) continue;
        const int distance = i > index ? i - index : index - i;
        if (best < 0 || distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

bool InsertEntry(Document& document, int index, const char* text, int done) {
    if (document.count >= MaxDocumentEntries) return false;
    if (index < 0 || index > document.count) index = document.count;
    memmove(&document.entries[index + 1], &document.entries[index],
            sizeof(EntryRecord) * static_cast<size_t>(document.count - index));
    CopyText(document.entries[index].text, ItemTextSize, text);
    document.entries[index].done = done;
    ++document.count;
    return true;
}

void RemoveEntry(Document& document, int index) {
    if (index < 0 || index >= document.count) return;
    memmove(&document.entries[index], &document.entries[index + 1],
            sizeof(EntryRecord) * static_cast<size_t>(document.count - index - 1));
    --document.count;
}
