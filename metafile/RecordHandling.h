#pragma once
// The table of record types each player plays from, and what a player does
// with one record type, for the census of a corpus.

#include <QtGlobal>

#include <array>
#include <cstddef>
#include <cstdint>

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

// One row of a player's table: a record type, its name in the format's
// document, and its handler or the reason it is set aside.
template <typename Type, typename Handler> struct RecordEntry {
    Type type;
    const char *name;
    Handler play;
    const char *ignoredBecause = nullptr;
};

// A row's handler that is a member function of its player: for records
// with work of their own. A record whose fields go straight to the canvas
// has its row hand them on.
template <auto Method, typename Player, typename Record> void playMember(Player &player, const Record &record)
{
    (player.*Method)(record);
}

// A player's rows found by type: through the remainder of the type by
// Slots, which the types of one format leave distinct, then checked whole.
template <typename Entry, std::size_t Slots> class RecordTable
{
public:
    template <std::size_t Count> explicit RecordTable(const Entry (&entries)[Count])
    {
        for (const Entry &e : entries) {
            const Entry *&slot = m_slots[std::size_t(e.type) % Slots];
            Q_ASSERT(!slot);
            slot = &e;
        }
    }
    const Entry *find(std::uint32_t type) const
    {
        const Entry *entry = m_slots[type % Slots];
        return entry && std::uint32_t(entry->type) == type ? entry : nullptr;
    }

private:
    std::array<const Entry *, Slots> m_slots{};
};
