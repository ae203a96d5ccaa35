#pragma once

#include "desktop_services.h"
#include "login.h"
#include "window_pointer.h"

#include <QLineEdit>
#include <QWidget>
#include <memory>

namespace Ui {
class Form1;
}

// The connection window: database file, user name and password.
class Form1 : public QWidget {
    Q_OBJECT
public:
    Form1();
    ~Form1() override;

    QLineEdit &databaseEntry();
    QLineEdit &userEntry();
    QLineEdit &passwordEntry();
    // Made afresh from the three entries.
    dbaccess::Login login() const;

    frame::WindowPointer &MousePointer() { return m_pointer; }

    void Form_Load();

    void Text1_Change();
    void Text2_Change();
    void Text7_Change();

    void PushButton1_Click();
    void PushButton2_Click();
    void PushButton3_Click();
    void PushButton4_Click();
    void PushButton5_Click();
    void PushButton7_Click();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void connectHandlers();
    void setUpPointerRules();

    std::unique_ptr<Ui::Form1> m_ui;
    frame::WindowPointer m_pointer;
    frame::FileDialogSettings m_commonDialog;
};

// The one connection window, created and loaded on first reference.
Form1 &form1();

// Start-up: loads the connection window and displays it in front, also when
// its load has already moved on to the table list.
void showStartWindow();

// Tests start every case from unloaded windows.
void unloadWindowsForTesting();
