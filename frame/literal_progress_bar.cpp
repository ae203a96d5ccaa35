#include "literal_progress_bar.h"

#include <QPainter>
#include <QStyleOptionProgressBar>
#include <QStylePainter>
#include <cmath>
#include <utility>

namespace frame {

LiteralProgressBar::LiteralProgressBar(QWidget *parent) : QProgressBar(parent)
{
    setRange(0, 100);
    setValue(0);
    setTextVisible(true);
    setAlignment(Qt::AlignCenter);
}

QString LiteralProgressBar::text() const
{
    if (m_makeText)
        m_text = std::exchange(m_makeText, nullptr)();
    return m_text;
}

void LiteralProgressBar::setText(const QString &text)
{
    // A text still to be made is taken as different, rather than made just
    // to be compared.
    if (!m_makeText && text == m_text)
        return;
    m_makeText = nullptr;
    m_text = text;
    update();
}

void LiteralProgressBar::setText(std::function<QString()> makeText)
{
    m_makeText = std::move(makeText);
    // A repaint already asked for shows the newest text when it comes;
    // asking again, once a cell, costs Qt more than the cell costs us.
    if (!m_repaintRequested) {
        m_repaintRequested = true;
        update();
    }
}

void LiteralProgressBar::setPercent(double percent)
{
    setValue(int(std::lround(std::clamp(percent, 0.0, 100.0))));
}

void LiteralProgressBar::paintEvent(QPaintEvent *)
{
    m_repaintRequested = false;
    QStylePainter painter(this);
    QStyleOptionProgressBar option;
    initStyleOption(&option);
    option.text = text();
    option.textVisible = true;
    option.textAlignment = Qt::AlignCenter;
    painter.drawControl(QStyle::CE_ProgressBar, option);
    // Assistive technology reads the status text too; following it here keeps
    // the change events no more frequent than the repaints.
    if (accessibleDescription() != option.text)
        setAccessibleDescription(option.text);
}

} // namespace frame
