#include "data/Document.h"

#include <string.h>

#include "data/Text.h"

unsigned TextKey(const char* text) {
    unsigned hash = 2166136261u;
    for (; *text; ++text)
        hash = (hash ^ static_cast<unsigned char>(*text)) * 16777619u;
    return hash > NoNeighbour ? hash : hash + 2;
}

namespace {

unsigned KeyAt(const Document& document, int index) {
    if (index < 0 || index >= document.count) return NoNeighbour;
    return TextKey(document.entries[index].text);
}

} // namespace

// One score orders the candidates: what the user saw counts above any
// distance (a document holds far fewer than 1024 entries).
int FindEntry(const Document& document, const char* text, int index, const EntrySeen* seen) {
    int best = -1;
    int bestScore = 0;
    for (int i = 0; i < document.count; ++i) {
        if (strcmp(document.entries[i].text, text) != 0) continue;
        int score = -(i > index ? i - index : index - i);
        if (seen) {
            if ((document.entries[i].done != 0) == (seen->done != 0)) score += 4 * 1024;
            if (KeyAt(document, i - 1) == seen->above) {
                score += 2 * 1024;
            } else if (KeyAt(document, i + 1) == seen->below) {
                score += 1024;
            }
        }
        if (best < 0 || score > bestScore) {
            best = i;
            bestScore = score;
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
