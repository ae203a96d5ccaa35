#pragma once

#include "ui_form2.h"
#include "window_pointer.h"

#include <QWidget>

// The table selection window: the list of tables to tick, and the export.
class Form2 : public QWidget, public Ui::Form2 {
    Q_OBJECT
public:
    Form2();

    frame::WindowPointer &MousePointer() { return m_pointer; }

    // Set from the start of an export to its end; a second "Finish" during
    // an export does nothing.
    bool exportRunning = false;

    void Form_Load();
    void PushButton2_Click();
    void PushButton5_Click();
    void PushButton8_Click();
    void PushButton9_Click();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void setAllTicks(const char *procedure, Qt::CheckState state);

    frame::WindowPointer m_pointer;
};

// The one table selection window, created and loaded on first reference.
Form2 &form2();
bool form2Loaded();
void unloadForm2ForTesting();
