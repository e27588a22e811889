#pragma once
// What one playback of a picture, with the metafiles nested inside it, has
// spent so far. Carried down through the players, so that playbacks on
// several threads at once share nothing.

#include <QtGlobal>

struct PlaybackBudget {
    // Metafile images inside metafile images: how deep this one lies.
    int nesting = 0;
    // Bytes of nested metafiles played so far.
    qint64 nestedBytes = 0;
    // Nested metafiles played so far.
    int nestedPlays = 0;
};
