#include "window_pointer.h"

#include <QApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QWidget>

namespace frame {

namespace {
const char *hoverProperty = "marrowbeckHoverPointer";
}

WindowPointer::WindowPointer(QWidget &window) : QObject(&window), m_window(window) {}

WindowPointer::~WindowPointer()
{
    if (m_overrideActive)
        QApplication::restoreOverrideCursor();
}

void WindowPointer::setValue(int value)
{
    m_value = value;
    // Line edits keep their own pointer against a window-wide one; the busy
    // pointer must show everywhere, so it is the application's override.
    if (value == vbHourglass && !m_overrideActive) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_overrideActive = true;
    } else if (value != vbHourglass && m_overrideActive) {
        QApplication::restoreOverrideCursor();
        m_overrideActive = false;
    }
    if (value == vbCustom && m_picture)
        m_window.setCursor(*m_picture);
    else
        m_window.unsetCursor();
}

void WindowPointer::setPicture(const QCursor &picture)
{
    m_picture = picture;
    if (m_value == vbCustom)
        m_window.setCursor(picture);
}

void WindowPointer::setHoverValue(QWidget &control, int value)
{
    control.setProperty(hoverProperty, value);
    control.setMouseTracking(true);
    control.installEventFilter(this);
}

bool WindowPointer::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter) {
        // A move over a child that has no rule of its own reaches its parent
        // too; only moves over the control's own surface count.
        auto *widget = static_cast<QWidget *>(watched);
        if (event->type() == QEvent::MouseMove
            && widget->childAt(static_cast<QMouseEvent *>(event)->position().toPoint()))
            return QObject::eventFilter(watched, event);
        const QVariant hover = watched->property(hoverProperty);
        if (hover.isValid() && m_value != vbHourglass)
            setValue(hover.toInt());
    }
    return QObject::eventFilter(watched, event);
}

} // namespace frame
