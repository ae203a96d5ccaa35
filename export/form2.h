#pragma once

#include "export_window.h"
#include "login.h"
#include "window_pointer.h"

#include <QWidget>
#include <memory>

namespace Ui {
class Form2;
}

// The table selection window: the list of tables to tick, and the export.
class Form2 : public QWidget, public ExportWindow {
    Q_OBJECT
public:
    Form2();
    ~Form2() override;

    frame::WindowPointer &MousePointer() { return m_pointer; }

    // Fills the list with the tables of the database the string names.
    void listTables(const dbaccess::Login &login);

    void Form_Load();
    void PushButton2_Click();
    void PushButton5_Click();
    void PushButton8_Click();
    void PushButton9_Click();

    int entryCount() const override;
    bool entryTicked(int entry) const override;
    QString entryText(int entry) const override;
    void setProgressPercent(double percent) override;
    void setProgressText(const QString &text) override;
    void setProgressTextMaker(std::function<QString()> makeText) override;
    void setPointer(int value) override;
    bool busy() const override { return m_busy; }
    void setBusy(bool busy) override { m_busy = busy; }
    QString listedDatabase() const override { return m_listedDatabase; }
    void restoreIfMinimized() override;
    void yieldToEvents() override;

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void setAllTicks(const char *procedure, Qt::CheckState state);

    std::unique_ptr<Ui::Form2> m_ui;
    frame::WindowPointer m_pointer;
    bool m_busy = false;
    QString m_listedDatabase;
};

// The one table selection window, created and loaded on first reference.
Form2 &form2();
bool form2Loaded();
void unloadForm2ForTesting();
