#pragma once
// The threads that read and draw pictures away from the window's thread, as
// many as the machine has cores. Not Qt's global pool: Qt's own image
// scaling and conversion on the window's thread wait for threads of that
// one, and a long playback there would hold the window.

class QThreadPool;

QThreadPool *workerPool();

// Called by work on the pool as it starts: the thread yields to the
// window's thread, which shares the cores with it, but still gets its turn
// when other programs keep the machine busy, as it would not at idle
// priority.
void yieldToTheWindow();

// Set as the program ends: work in flight stops at its next step (a
// playback at its next record), since nobody will see what it makes.
void abandonWork();
bool workAbandoned();
