// Brings the list on screen in line with a document: rows that stay keep
// their windows and pixels, rows that differ are changed in place, and only
// rows new or gone are made or destroyed; then every row moves to its place
// in one batch.
#pragma once

struct Document;
struct ListItem;

// What changed, for whoever must be told.
struct RowChanges {
    bool reordered;          // an entry came, went or moved
    int renamed;             // rows whose text changed
    int reticked;            // rows whose tick changed
    const ListItem* changed; // the last row renamed or reticked
};

RowChanges BringRowsInLine(const Document& document);
