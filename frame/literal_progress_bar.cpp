#include "literal_progress_bar.h"

#include <QPainter>
#include <QStyleOptionProgressBar>
#include <QStylePainter>
#include <cmath>

namespace frame {

LiteralProgressBar::LiteralProgressBar(QWidget *parent) : QProgressBar(parent)
{
    setRange(0, 100);
    setValue(0);
    setTextVisible(true);
    setAlignment(Qt::AlignCenter);
}

void LiteralProgressBar::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    update();
}

void LiteralProgressBar::setPercent(double percent)
{
    setValue(int(std::lround(std::clamp(percent, 0.0, 100.0))));
}

void LiteralProgressBar::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionProgressBar option;
    initStyleOption(&option);
    option.text = m_text;
    option.textVisible = true;
    option.textAlignment = Qt::AlignCenter;
    painter.drawControl(QStyle::CE_ProgressBar, option);
    // Assistive technology reads the status text too; following it here keeps
    // the change events no more frequent than the repaints.
    if (accessibleDescription() != m_text)
        setAccessibleDescription(m_text);
}

} // namespace frame
