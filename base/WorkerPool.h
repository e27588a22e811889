#pragma once
// The threads that read and draw pictures away from the window's thread, as
// many as the machine has cores, running whenever the window's thread does
// not. Not Qt's global pool: Qt's own image
// scaling and conversion on the window's thread wait for threads of that
// one, and a long playback there would hold the window.

class QThreadPool;

QThreadPool *workerPool();
