#pragma once
// What a player does with one record type, for the census of a corpus.

// Drawn: the record's work is done. Ignored: read and set aside on purpose,
// with the reason. Unknown types have no name.
struct RecordHandling {
    const char *name = nullptr;
    bool drawn = false;
    const char *ignoredBecause = nullptr;
};
