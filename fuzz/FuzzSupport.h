#pragma once
// Shared set-up of the fuzz targets: an offscreen GUI application, so that
// pictures and fonts can be used.

#include <QByteArray>
#include <QGuiApplication>

#include <cstdint>
#include <cstdlib>

inline void EnsureGuiApplication()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("QT_LOGGING_RULES", "*.warning=false", 1);
        new QGuiApplication(argc, argv);
    }
}

inline QByteArray BytesOf(const std::uint8_t *data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}
