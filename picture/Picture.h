#pragma once
// A picture as the main window shows it: a bitmap, an icon or a metafile,
// chosen by the file's extension. Window-free.

#include "metafile/Metafile.h"

#include <QImage>
#include <QMetaType>
#include <QSize>
#include <QString>

#include <optional>
#include <vector>

class QPainter;

class Picture
{
public:
    enum class Kind { None, Bitmap, Icon, Metafile };

    // Standard size at which an icon is shown.
    static constexpr int IconSide = 32;
    // Files larger than this are not read at all.
    static constexpr qint64 MaxFileSize = qint64(1) << 30;
    // The most memory one decoded picture may take, in MiB: a 16384 x 16384
    // picture at 32 bits. A header that claims more is refused before any
    // pixel is read.
    static constexpr int MaxImageMiB = 1024;

    // The limit in force; lowered where many pictures are decoded in a row.
    static int imageLimitMiB();
    static void setImageLimitMiB(int mib);

    Picture() = default;

    // Reads a picture file. Throws VantrixError with the user-facing message
    // when the extension is unknown, the file cannot be opened, or its
    // content is not a valid picture of its kind.
    static Picture load(const QString &fileName);
    // The first half of that: the file's bytes, with the same failures.
    static QByteArray readBytes(const QString &fileName);

    // Reads picture bytes of a given extension (without dot, any case).
    static Picture fromBytes(const QByteArray &bytes, const QString &extension);

    // An all-white bitmap.
    static Picture blankBitmap(QSize size);

    // The extension as typed: what follows the last dot of the file name.
    static QString extensionOf(const QString &fileName);

    // The kind an extension (any case) stands for; throws "Unknown picture
    // file extension" for any other.
    static Kind kindOf(const QString &extension);

    // The message of a file that is not a valid picture of its kind.
    static QString invalidMessage(Kind kind);
    // The message of a bitmap or photo whose pixels would pass the memory
    // limit, naming its size.
    static QString tooLargeMessage(QSize size);

    Kind kind() const { return m_kind; }
    bool isEmpty() const { return m_kind == Kind::None; }
    bool isBitmap() const { return m_kind == Kind::Bitmap; }
    QSize size() const;

    // Draws the part of the picture that falls into Exposed, with the whole
    // picture scaled onto Target. Bitmaps keep hard pixel edges.
    void draw(QPainter &painter, const QRect &target, const QRect &exposed) const;

    // A metafile drawn whole, scaled onto Target; nothing for other kinds.
    void drawScaled(QPainter &painter, const QRectF &target) const;
    // Whether a playback of a metafile so far needed more work than it may
    // do and so drew it in part; any thread.
    bool drawnInPart() const { return m_metafile && m_metafile->drawnInPart(); }

    // Bitmaps and icons pixel by pixel onto device pixels: the device pixel
    // at DeviceTopLeft + (i, j) shows picture pixel (Columns[i], Rows[j]).
    // Both lists run upward and hold valid picture coordinates only.
    void drawPixels(QPainter &painter, QPoint deviceTopLeft, const std::vector<int> &columns,
                    const std::vector<int> &rows) const;

    // Bitmap access; throws "Can only modify an image if it contains a
    // bitmap" for icons and metafiles.
    QImage &bitmap();
    const QImage &image() const { return m_image; }

private:
    Kind m_kind = Kind::None;
    QImage m_image; // bitmaps in a 32-bit format, icons as shown
    std::optional<Metafile> m_metafile;
};

Q_DECLARE_METATYPE(Picture)
