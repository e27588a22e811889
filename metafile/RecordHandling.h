#pragma once
// What a player does with one record type, for the census of a corpus.

// Drawn: the record's work is done. Ignored: read and set aside on purpose,
// with the reason. Unknown types have no name.
struct RecordHandling {
    const char *name = nullptr;
    bool drawn = false;
    const char *ignoredBecause = nullptr;
};

// The handling of a table entry with a name, a handler and a reason.
template <typename Entry> RecordHandling handlingOf(const Entry *entry)
{
    if (!entry)
        return {};
    return {entry->name, entry->play != nullptr, entry->ignoredBecause};
}
