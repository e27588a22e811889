#include "ui/WindowSupport.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

void centreOnScreen(QWidget *window)
{
    const QScreen *screen =
        window->parentWidget() ? window->parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    window->move(area.center() - QPoint(window->width() / 2, window->height() / 2));
}

QString withoutAccessKeys(const QString &text)
{
    QString shown;
    shown.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&')) {
            if (i + 1 < text.size() && text[i + 1] == QLatin1Char('&')) {
                shown += QLatin1Char('&');
                ++i;
            }
            continue;
        }
        shown += text[i];
    }
    return shown;
}

namespace {

xcb_atom_t internAtom(xcb_connection_t *connection, const char *name)
{
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(connection, 0, std::uint16_t(std::strlen(name)), name);
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

// The running window manager's name, as it announces itself on the root
// window; empty when none does.
QByteArray windowManagerName(xcb_connection_t *connection, xcb_window_t root)
{
    const xcb_atom_t check = internAtom(connection, "_NET_SUPPORTING_WM_CHECK");
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, root, check, XCB_ATOM_WINDOW, 0, 1), nullptr);
    xcb_window_t manager = XCB_WINDOW_NONE;
    if (reply && reply->format == 32 && xcb_get_property_value_length(reply) >= 4)
        std::memcpy(&manager, xcb_get_property_value(reply), sizeof manager);
    std::free(reply);
    if (manager == XCB_WINDOW_NONE)
        return {};
    const xcb_atom_t name = internAtom(connection, "_NET_WM_NAME");
    reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, manager, name, XCB_GET_PROPERTY_TYPE_ANY, 0, 64), nullptr);
    QByteArray text;
    if (reply && reply->format == 8)
        text =
            QByteArray(static_cast<const char *>(xcb_get_property_value(reply)), xcb_get_property_value_length(reply));
    std::free(reply);
    return text;
}

xcb_window_t rootOf(xcb_connection_t *connection, xcb_window_t window)
{
    xcb_get_geometry_reply_t *reply = xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr);
    const xcb_window_t root = reply ? reply->root : xcb_window_t(XCB_WINDOW_NONE);
    std::free(reply);
    return root;
}

// The X11 connection, where the program runs on an X server.
xcb_connection_t *x11Connection()
{
    const auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

} // namespace

void offerNoMinimise(QWidget *window)
{
    xcb_connection_t *connection = x11Connection();
    if (!connection || !window->internalWinId())
        return;
    const auto id = xcb_window_t(window->internalWinId());
    if (windowManagerName(connection, rootOf(connection, id)) != "Openbox")
        return;
    const bool closes = window->windowFlags().testFlag(Qt::WindowCloseButtonHint);
    const xcb_atom_t type =
        internAtom(connection, closes ? "_NET_WM_WINDOW_TYPE_TOOLBAR" : "_NET_WM_WINDOW_TYPE_SPLASH");
    const xcb_atom_t property = internAtom(connection, "_NET_WM_WINDOW_TYPE");
    if (type == XCB_ATOM_NONE || property == XCB_ATOM_NONE)
        return;
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, property, XCB_ATOM_ATOM, 32, 1, &type);
    xcb_flush(connection);
}

void showEmptyTitle(QWidget *window)
{
    xcb_connection_t *connection = x11Connection();
    if (!connection || !window->windowHandle())
        return;
    const auto id = xcb_window_t(window->winId());
    const xcb_atom_t netName = internAtom(connection, "_NET_WM_NAME");
    const xcb_atom_t utf8 = internAtom(connection, "UTF8_STRING");
    if (netName != XCB_ATOM_NONE && utf8 != XCB_ATOM_NONE)
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, netName, utf8, 8, 0, nullptr);
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 0, nullptr);
    xcb_flush(connection);
}
