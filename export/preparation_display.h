#pragma once

#include "database_access.h"
#include "export_window.h"

#include <QString>

// Shows on the window's progress bar how a long preparation of the database
// goes (the private copy a file's views are read from, made when the first
// of them is opened) and lets the user's events run meanwhile. Afterwards
// the bar shows the table's progress again.
class PreparationDisplay : public ado::PreparationProgress {
public:
    explicit PreparationDisplay(ExportWindow &window) : m_window(window) {}

    // What the bar shows for the table being exported, to come back to.
    void showingTable(double percent, const QString &text);

    void preparing(const QString &database, int percent) override;
    void prepared() override;

private:
    ExportWindow &m_window;
    double m_tablePercent = 0;
    QString m_tableText;
};

QString preparationProgressText(const QString &database, int percent);
