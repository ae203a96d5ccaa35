#include "window_styling.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QWidget>

namespace frame {
namespace {

void setColours(QWidget &widget, const QColor &background, QPalette::ColorRole textRole, const QColor &text)
{
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::Button, background);
    palette.setColor(QPalette::Base, background);
    palette.setColor(textRole, text);
    widget.setPalette(palette);
    widget.setAutoFillBackground(true);
}

} // namespace

void styleWizardWindow(QWidget &window)
{
    const QColor white(255, 255, 255);
    const QColor buttonText = QApplication::palette().color(QPalette::ButtonText);
    setColours(window, white, QPalette::WindowText, QApplication::palette().color(QPalette::WindowText));

    // uic drops a fractional point size, so the buttons' font is set here.
    QFont buttonFont(QStringLiteral("Arial"));
    buttonFont.setPointSizeF(11.25);
    buttonFont.setBold(true);
    for (QPushButton *button : window.findChildren<QPushButton *>()) {
        button->setFont(buttonFont);
        setColours(*button, white, QPalette::ButtonText, buttonText);
    }
    for (QProgressBar *bar : window.findChildren<QProgressBar *>())
        setColours(*bar, white, QPalette::Text, buttonText);

    window.setFixedSize(window.size());
    window.setWindowFlag(Qt::WindowMaximizeButtonHint, false);
    if (QScreen *screen = QApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        window.move(area.center() - QPoint(window.width() / 2, window.height() / 2));
    }
}

} // namespace frame
