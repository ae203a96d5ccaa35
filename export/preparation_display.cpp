#include "preparation_display.h"

void PreparationDisplay::showingTable(double percent, const QString &text)
{
    m_tablePercent = percent;
    m_tableText = text;
}

void PreparationDisplay::preparing(const QString &database, int percent)
{
    m_window.setProgressPercent(percent);
    m_window.setProgressText(preparationProgressText(database, percent));
    m_window.yieldToEvents();
}

void PreparationDisplay::prepared()
{
    m_window.setProgressPercent(m_tablePercent);
    m_window.setProgressText(m_tableText);
}

QString preparationProgressText(const QString &database, int percent)
{
    return QStringLiteral("Preparing views of %1: %2 %").arg(database, QString::number(percent));
}
