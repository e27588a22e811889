#include "ui/WindowRules.h"

#include "ui/WindowSupport.h"

#include <QEvent>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>

namespace {

bool isModalWindow(const QObject *object)
{
    if (!object->isWidgetType())
        return false;
    const auto *widget = static_cast<const QWidget *>(object);
    return widget->isWindow() && widget->isModal();
}

void bringBack(QWidget *window)
{
    if (QWidget *owner = window->parentWidget() ? window->parentWidget()->window() : nullptr;
        owner && owner->isMinimized())
        owner->setWindowState(owner->windowState() & ~Qt::WindowMinimized);
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

bool ModalWindowGuard::eventFilter(QObject *watched, QEvent *event)
{
    if (!isModalWindow(watched))
        return QObject::eventFilter(watched, event);
    auto *window = static_cast<QWidget *>(watched);
    if (event->type() == QEvent::Show) {
        // Sent before the window is mapped, while the manager can still
        // read how to treat it.
        offerNoMinimise(window);
    } else if (event->type() == QEvent::WindowStateChange && window->isMinimized()) {
        // Undone once the state change has run its course.
        QTimer::singleShot(0, window, [window] {
            if (window->isVisible() || window->isMinimized())
                bringBack(window);
        });
    }
    return QObject::eventFilter(watched, event);
}

bool AltKeyGuard::typesUnderAlt(Qt::KeyboardModifiers modifiers, const QString &text)
{
    if (!modifiers.testFlag(Qt::AltModifier) || text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c.isPrint())
            return true;
    }
    return false;
}

bool AltKeyGuard::eventFilter(QObject *watched, QEvent *event)
{
    // Shortcuts and access keys have had their turn before a key press
    // reaches a control; in one that takes text, what is left would only be
    // typed. Open menus keep their letters.
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<const QWidget *>(watched)->testAttribute(Qt::WA_InputMethodEnabled)) {
        const auto *key = static_cast<const QKeyEvent *>(event);
        if (typesUnderAlt(key->modifiers(), key->text()))
            return true;
    }
    return QObject::eventFilter(watched, event);
}
