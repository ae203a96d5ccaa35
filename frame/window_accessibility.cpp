#include "window_accessibility.h"

#include <QAccessibleWidget>
#include <QWidget>

namespace frame {

namespace {

QAccessibleInterface *plainWindowAsWindow(const QString &, QObject *object)
{
    auto *widget = qobject_cast<QWidget *>(object);
    // Dialogs, message boxes and the like have interfaces of their own.
    if (!widget || !widget->isWindow() || widget->metaObject()->superClass() != &QWidget::staticMetaObject)
        return nullptr;
    return new QAccessibleWidget(widget, QAccessible::Window);
}

} // namespace

void installWindowAccessibility() { QAccessible::installFactory(plainWindowAsWindow); }

} // namespace frame
