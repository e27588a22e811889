#pragma once
// Opens picture files on the worker threads, so that a big photo or scan
// never holds the window. The newest request wins: what an older one still
// brings is dropped, without waiting for it.

#include "base/ReplyChannel.h"
#include "picture/Picture.h"

#include <QObject>

class PictureLoader : public QObject
{
    Q_OBJECT
public:
    // A photo of more pixels than this shows a reduced decode first.
    static constexpr qint64 FirstViewPixels = 4'000'000;
    // The longer side of that first view, at most.
    static constexpr int FirstViewSide = 1200;

    explicit PictureLoader(QObject *parent = nullptr);

    // Starts opening FileName; a request still in flight is dropped.
    void load(const QString &fileName);
    // Whether a request is in flight.
    bool busy() const { return m_busy; }

signals:
    // A reduced view of the photo, whose full size is FullSize, while the
    // full picture decodes.
    void firstView(const QImage &reduced, QSize fullSize);
    void loaded(const Picture &picture);
    // The message of the failure, as the picture reader words it.
    void failed(const QString &message);

private:
    ReplyChannel m_reply;
    int m_request = 0;
    bool m_busy = false;
};
