#include "qt_platform.h"

#include <QApplication>
#include <QMessageBox>
#include "settings_store.h"
#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace frame {

int QtMessageBoxService::show(const QString &prompt, int style, const QString &title)
{
    QString text = prompt;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));

    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title);
    // Screen readers read a box by its accessible name, which Qt leaves empty.
    box.setAccessibleName(title);
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.setIcon((style & vbExclamation) ? QMessageBox::Warning : QMessageBox::NoIcon);
    if ((style & 7) == vbYesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    const int answer = box.exec();
    if (answer == QMessageBox::Yes)
        return vbYes;
    if (answer == QMessageBox::No)
        return vbNo;
    return vbOK;
}

void QuickExitTerminator::endProgram()
{
    // Settings are written as they are typed; make sure the last write is on
    // disk, since no destructor runs after this.
    flushSettings();
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    std::quick_exit(0);
}

void installQtPlatform()
{
    setMessageBoxService(std::make_shared<QtMessageBoxService>());
    setTerminator(std::make_shared<QuickExitTerminator>());
}

} // namespace frame
