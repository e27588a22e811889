#pragma once
// Shared helpers of the tests that need no window: whole files read and
// written, pictures encoded, and AppPath pointed at a temporary folder.

#include "base/Environment.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryDir>

// The whole content of a file; empty when it cannot be read.
inline QByteArray readWholeFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes a file anew; false when it cannot be written.
inline bool writeWholeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A picture in a file format, as the bytes of a file.
inline QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(image);
    return bytes;
}

// A picture whose every pixel tells its place: red its x, green its y,
// blue 128 (up to 256 pixels a side).
inline QImage coordinateCoded(int width, int height)
{
    QImage coded(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            coded.setPixel(x, y, qRgb(x, y, 128));
    return coded;
}

// The shared corpus of real pictures: where VANTRIX_CORPUS points, else
// beside the project. Tests that need it skip when it is absent.
inline QString corpusDir()
{
    const QString fromEnvironment = qEnvironmentVariable("VANTRIX_CORPUS");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    return QStringLiteral(VANTRIX_SOURCE_DIR "/../shared/corpus");
}

// Points AppPath at a fresh temporary folder for the life of the object,
// and the user's configuration home at another, so that no test touches
// the settings of the user who runs it.
class TemporaryAppPath
{
public:
    TemporaryAppPath() : m_saved(AppPath), m_savedConfigHome(qgetenv("XDG_CONFIG_HOME"))
    {
        AppPath = AddBackslash(m_dir.path());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_configHome.path()));
    }
    ~TemporaryAppPath()
    {
        AppPath = m_saved;
        qputenv("XDG_CONFIG_HOME", m_savedConfigHome);
    }
    QString path() const { return AppPath; }
    QString file(const QString &name) const { return AppPath + name; }
    QString configHome() const { return m_configHome.path(); }

private:
    QTemporaryDir m_dir;
    QTemporaryDir m_configHome;
    QString m_saved;
    QByteArray m_savedConfigHome;
};
