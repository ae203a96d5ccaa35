#pragma once

#include <QCursor>
#include <QObject>
#include <optional>

class QWidget;

namespace frame {

enum MousePointer { vbDefault = 0, vbHourglass = 11, vbCustom = 99 };

// The mouse pointer of one window: 0 the arrow, 11 the hourglass, 99 the
// window's own picture. The value belongs to the window, not to a control.
class WindowPointer : public QObject {
public:
    explicit WindowPointer(QWidget &window);
    ~WindowPointer() override;

    int value() const { return m_value; }
    void setValue(int value);

    bool hasPicture() const { return m_picture.has_value(); }
    void setPicture(const QCursor &picture);

    // Moving the mouse over `control` sets `value`, unless the hourglass is up.
    void setHoverValue(QWidget &control, int value);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget &m_window;
    int m_value = vbDefault;
    bool m_overrideActive = false;
    std::optional<QCursor> m_picture;
};

} // namespace frame
