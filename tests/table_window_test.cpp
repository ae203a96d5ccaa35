// The table window during an export's yields, and its list's buttons.

#include "form1.h"
#include "form2.h"
#include "platform.h"
#include "window_fixture.h"
#include "window_parts.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

using testing_support::part;
using testing_support::WindowFixture;

namespace {

class TableWindowExportTest : public WindowFixture {
protected:
    // Lists three tables of 200 records and ticks the named ones.
    Form2 &listAndTick(const QStringList &ticked)
    {
        for (const char *name : {"FIRST", "SECOND", "THIRD"})
            database->add(QString::fromLatin1(name), {{QStringLiteral("ID"), ado::adInteger}}, 200);
        form1().PushButton2_Click();
        Form2 &window = form2();
        QTreeWidget &list = part<QTreeWidget>(window, "ListView1");
        for (int i = 0; i < list.topLevelItemCount(); ++i) {
            QTreeWidgetItem *item = list.topLevelItem(i);
            item->setCheckState(0, ticked.contains(item->text(0)) ? Qt::Checked : Qt::Unchecked);
        }
        boxes->shown.clear();
        return window;
    }
    // Runs `action` from the event loop once the export has written ten cells.
    void duringExport(std::function<void()> action)
    {
        auto *timer = new QTimer;
        timer->setInterval(0);
        QObject::connect(timer, &QTimer::timeout, [this, timer, action] {
            if (spreadsheet->cellWrites < 10)
                return;
            timer->stop();
            timer->deleteLater();
            action();
        });
        timer->start();
        frame::setDoEventsIntervalForTesting(0);
    }
};

TEST_F(TableWindowExportTest, BackHidesTheWindowWhileTheExportGoesOn)
{
    Form2 &window = listAndTick({"FIRST", "SECOND"});
    window.show();
    duringExport([&] { part<QPushButton>(window, "PushButton2").click(); });
    window.PushButton5_Click();
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(form1().isVisible());
    EXPECT_EQ(spreadsheet->lastBook().names(), QStringList({"SECOND", "FIRST"}));
    EXPECT_EQ(boxes->prompts().back(), QStringLiteral("Done."));
}

TEST_F(TableWindowExportTest, ClosingTheWindowEndsTheProgram)
{
    Form2 &window = listAndTick({"FIRST"});
    window.show();
    duringExport([&] { window.close(); });
    window.PushButton5_Click();
    EXPECT_EQ(terminator->calls, 1);
}

TEST_F(TableWindowExportTest, HourglassStaysWhileTheMouseMovesAndAMinimizedWindowIsRestored)
{
    Form2 &window = listAndTick({"FIRST"});
    window.show();
    int pointerDuring = -1;
    duringExport([&] {
        window.showMinimized();
        QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), QPointF(2, 2), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&part<QPushButton>(window, "PushButton8"), &move);
        pointerDuring = window.MousePointer().value();
    });
    window.PushButton5_Click();
    EXPECT_EQ(pointerDuring, 11);
    EXPECT_FALSE(window.isMinimized());
}

TEST_F(TableWindowExportTest, SelectAllAndDeselectAllCoverListsBeyondThirtyTwoThousandEntries)
{
    Form2 &window = listAndTick({});
    for (int i = 0; i < 40000; ++i) {
        auto *item = new QTreeWidgetItem(QStringList{QStringLiteral("T%1").arg(i)});
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Unchecked);
        part<QTreeWidget>(window, "ListView1").addTopLevelItem(item);
    }
    window.PushButton8_Click();
    EXPECT_EQ(part<QTreeWidget>(window, "ListView1").topLevelItem(39999)->checkState(0), Qt::Checked);
    window.PushButton9_Click();
    EXPECT_EQ(part<QTreeWidget>(window, "ListView1").topLevelItem(39999)->checkState(0), Qt::Unchecked);
    EXPECT_TRUE(boxes->shown.empty());
}

} // namespace
