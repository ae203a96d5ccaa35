#include "add_tables.h"
#include "connection_string.h"
#include "form1.h"
#include "form2.h"
#include "guidance.h"
#include "is_installed.h"
#include "main_module.h"
#include "platform.h"
#include "settings_store.h"
#include "window_fixture.h"
#include "window_parts.h"

#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QSettings>
#include <QTest>
#include <gtest/gtest.h>
#include <random>

using testing_support::WindowFixture;

using testing_support::part;

namespace {

class ConnectionWindowTest : public WindowFixture {
protected:
    QString stored(const QString &key)
    {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Tenvara"));
        return settings.value(QStringLiteral("Marrowbeck/") + key, QStringLiteral("<absent>")).toString();
    }
    QStringList listed()
    {
        QStringList names;
        QTreeWidget &list = part<QTreeWidget>(form2(), "ListView1");
        for (int i = 0; i < list.topLevelItemCount(); ++i)
            names << list.topLevelItem(i)->text(0);
        return names;
    }
};

TEST_F(ConnectionWindowTest, FirstRunStoresTheDefaultUserAndStaysOnTheConnectionWindow)
{
    database->acceptedConnectionString = QStringLiteral("nothing connects");
    showStartWindow();
    Form1 &window = form1();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.databaseEntry().text(), QString());
    EXPECT_EQ(window.passwordEntry().text(), QString());
    EXPECT_EQ(window.userEntry().text(), QStringLiteral("SYSDBA"));
    EXPECT_EQ(stored(QStringLiteral("FireBirdUser")), QStringLiteral("SYSDBA"));
    EXPECT_EQ(stored(QStringLiteral("FireBirdDatabase")), QStringLiteral("<absent>"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Marrowbeck"));
    EXPECT_FALSE(form2Loaded());
    EXPECT_TRUE(boxes->shown.empty());
    EXPECT_EQ(spreadsheet->applicationsCreated, 1) << "the host check starts the spreadsheet once";
}

TEST_F(ConnectionWindowTest, SavedLoginThatConnectsOpensTheTableListBehindTheConnectionWindow)
{
    frame::SaveSetting(QStringLiteral("Tenvara"), QStringLiteral("Marrowbeck"), QStringLiteral("FireBirdDatabase"), QStringLiteral("/data/shop.fdb"));
    frame::SaveSetting(QStringLiteral("Tenvara"), QStringLiteral("Marrowbeck"), QStringLiteral("FireBirdPassword"), QStringLiteral("pw"));
    acceptOnly(QStringLiteral("/data/shop.fdb"), QStringLiteral("SYSDBA"), QStringLiteral("pw"));
    database->add(QStringLiteral("CUSTOMERS"));
    showStartWindow();
    Form1 &window = form1();
    ASSERT_TRUE(form2Loaded());
    EXPECT_TRUE(form2().isVisible());
    EXPECT_TRUE(window.isVisible()) << "hidden by Next >, then displayed when the load has ended";
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window, 2000)) << "in front, with the keyboard";
    EXPECT_EQ(listed(), QStringList{QStringLiteral("CUSTOMERS")}) << "filled twice, listed once";
    EXPECT_EQ(database->calls.filter(QStringLiteral("OpenSchema")).size(), 2);
    EXPECT_EQ(database->calls.filter(QStringLiteral("Open ")).size(), 4) << "two connection tests, two fills";
    EXPECT_TRUE(boxes->shown.empty());
}

TEST_F(ConnectionWindowTest, TypingSavesTheWholeTextOnEveryKeystrokeAndAnEmptiedBoxStaysEmpty)
{
    Form1 &window = form1();
    QStringList writes;
    QObject::connect(&window.databaseEntry(), &QLineEdit::textChanged, [&](const QString &) { writes << stored(QStringLiteral("FireBirdDatabase")); });
    window.databaseEntry().setFocus();
    for (const char *text : {"a", "ab", "abc"})
        window.databaseEntry().setText(QString::fromLatin1(text));
    EXPECT_EQ(writes, QStringList({"a", "ab", "abc"}));
    window.userEntry().clear();
    EXPECT_EQ(stored(QStringLiteral("FireBirdUser")), QString());

    unloadWindowsForTesting();
    EXPECT_EQ(form1().userEntry().text(), QString()) << "a stored empty user is no absent one";
}

TEST_F(ConnectionWindowTest, PathsWithBlanksAndNonAsciiCharactersComeBackUnchanged)
{
    const QString path = QStringLiteral("  /home/jürgen/Bücher und Daten/Läden 2021.fdb  ");
    form1().databaseEntry().setText(path);
    unloadWindowsForTesting();
    EXPECT_EQ(form1().databaseEntry().text(), path);
}

// A file dragged in from a file manager arrives as its address; a path in
// the home folder is often typed the shell's way.
TEST_F(ConnectionWindowTest, AFileAddressOrAHomePathConnectsToItsFileAndIsStoredAsTyped)
{
    database->add(QStringLiteral("CUSTOMERS"));
    const std::vector<std::pair<QString, QString>> cases{
        {QStringLiteral("file:///data/My%20Shop.fdb"), QStringLiteral("/data/My Shop.fdb")},
        {QStringLiteral("~/shop.fdb"), QDir::homePath() + QStringLiteral("/shop.fdb")}};
    for (const auto &[typed, file] : cases) {
        acceptOnly(file, QStringLiteral("SYSDBA"), QStringLiteral("pw"));
        putEntries(typed, QStringLiteral("SYSDBA"), QStringLiteral("pw"));
        boxes->shown.clear();
        form1().PushButton3_Click();
        EXPECT_EQ(boxes->prompts(), std::vector<QString>{QStringLiteral("Connection successful.")}) << typed.toStdString();
        form1().PushButton2_Click();
        EXPECT_EQ(listed(), QStringList{QStringLiteral("CUSTOMERS")}) << typed.toStdString();
        EXPECT_EQ(stored(QStringLiteral("FireBirdDatabase")), typed);
        unloadWindowsForTesting();
    }
}

TEST_F(ConnectionWindowTest, TheSettingsFileIsReadableByItsOwnerOnly)
{
    form1().passwordEntry().setText(QStringLiteral("secret"));
    const auto permissions = QFile::permissions(frame::settingsFileName(QStringLiteral("Tenvara")));
    EXPECT_EQ(permissions & ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ReadOwner | QFileDevice::WriteOwner), 0);
}

TEST_F(ConnectionWindowTest, ASettingsFileThatCannotBeWrittenIsToldOnceAtTheFirstRefusedSave)
{
    Form1 &window = form1();
    const QString file = frame::settingsFileName(QStringLiteral("Tenvara"));
    ASSERT_TRUE(QFile::remove(file));
    // A folder in its place: not even root can write it.
    ASSERT_TRUE(QDir().mkdir(file));
    for (const char *text : {"/a", "/ab", "/abc"})
        window.databaseEntry().setText(QString::fromLatin1(text));
    window.passwordEntry().setText(QStringLiteral("pw"));
    QDir(file).removeRecursively();
    ASSERT_EQ(boxes->prompts().size(), 1u);
    EXPECT_TRUE(boxes->shown[0].prompt.startsWith(QStringLiteral("The entries cannot be saved: the settings file \"")));
    EXPECT_EQ(window.databaseEntry().text(), QStringLiteral("/abc"));
}

// A settings file of garbage is read as what can be made of it and replaced
// by the first save: nothing failed, so nothing is told.
TEST_F(ConnectionWindowTest, ASettingsFileOfGarbageIsReplacedWithoutAWord)
{
    const QString file = frame::settingsFileName(QStringLiteral("Tenvara"));
    frame::clearSettingsForTesting();
    QByteArray garbage(64 * 1024, '\0');
    std::mt19937 random(20);
    for (char &byte : garbage)
        byte = char(random());
    QFile written(file);
    ASSERT_TRUE(written.open(QIODevice::WriteOnly));
    ASSERT_EQ(written.write(garbage), garbage.size());
    written.close();

    putEntries(QStringLiteral("/data/shop.fdb"), QStringLiteral("SYSDBA"), QStringLiteral("pw"));
    EXPECT_TRUE(boxes->shown.empty()) << boxes->shown.front().prompt.toStdString();
    // On disk, for the next start: another store in this process would be
    // answered from this one's memory.
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray onDisk = written.readAll();
    EXPECT_TRUE(onDisk.contains("FireBirdDatabase=/data/shop.fdb")) << onDisk.left(200).toStdString();
    EXPECT_TRUE(onDisk.contains("FireBirdPassword=pw"));
}

TEST_F(ConnectionWindowTest, TestConnectionShowsExactlyOneOfItsTwoMessages)
{
    acceptOnly(QStringLiteral("/db.fdb"), QStringLiteral("SYSDBA"), QStringLiteral("pw"));
    Form1 &window = form1();
    putEntries(QStringLiteral("/db.fdb"), QStringLiteral("SYSDBA"), QStringLiteral("pw"));
    int pointerWhileShown = -1;
    boxes->onShow = [&](const auto &) { pointerWhileShown = window.MousePointer().value(); };
    window.PushButton3_Click();
    ASSERT_EQ(boxes->prompts(), std::vector<QString>{QStringLiteral("Connection successful.")});
    EXPECT_EQ(boxes->shown[0].title, QStringLiteral("Marrowbeck"));
    EXPECT_EQ(pointerWhileShown, 11) << "the hourglass stays up while the message shows";
    EXPECT_EQ(window.MousePointer().value(), 0);
    EXPECT_TRUE(database->calls.contains(QStringLiteral("Connection.CursorLocation 2")));

    boxes->shown.clear();
    window.passwordEntry().setText(QStringLiteral("wrong"));
    window.PushButton3_Click();
    EXPECT_EQ(boxes->prompts(),
              std::vector<QString>{QStringLiteral("Could not connect.\r\nYour user name and password are not defined.")})
        << "the component's reason below the fixed first line";
    EXPECT_EQ(window.MousePointer().value(), 0);
}

TEST_F(ConnectionWindowTest, TestConnectionWithoutTheComponentReportsThenSaysCouldNotConnect)
{
    Form1 &window = form1();
    database->fail(QStringLiteral("create Connection"));
    window.PushButton3_Click();
    ASSERT_EQ(boxes->shown.size(), 2u);
    EXPECT_TRUE(boxes->shown[0].prompt.contains(QStringLiteral("Form1.PushButton3_Click at line 100")));
    EXPECT_EQ(boxes->shown[1].prompt,
              QStringLiteral("Could not connect.\r\nThis step needs the \"ADODB.Connection\" object, which could not be created."));
}

TEST_F(ConnectionWindowTest, NextThatCannotConnectSaysSoAndLeavesEverythingAsItWas)
{
    database->acceptedConnectionString = QStringLiteral("nothing connects");
    Form1 &window = form1();
    window.show();
    window.PushButton2_Click();
    EXPECT_EQ(boxes->prompts(),
              std::vector<QString>{QStringLiteral("Could not connect.\r\nYour user name and password are not defined.")});
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(form2Loaded());
}

TEST_F(ConnectionWindowTest, NextListsEveryUserTableAndViewButNoSystemRelationWhateverTheNames)
{
    for (const char *name : {"RDB$PAGES", "MON$STATEMENTS", "APP_AUDIT", "ABC$ORDERS", "TAX$RATES", "ORDERS$", "A$B",
                             "AB", "X", "Blank name", "ABC"})
        database->add(QString::fromLatin1(name));
    for (int system = 0; system < 3; ++system)
        database->tables[system].type = QStringLiteral("SYSTEM TABLE");
    database->tables[6].type = QStringLiteral("VIEW");
    Form1 &window = form1();
    window.show();
    window.PushButton2_Click();
    EXPECT_EQ(listed(), QStringList({"ABC$ORDERS", "TAX$RATES", "ORDERS$", "A$B", "AB", "X", "Blank name", "ABC"}));
    EXPECT_TRUE(form2().isVisible());
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(QTest::qWaitForWindowActive(&form2(), 2000)) << "typing goes to the list at once";
    for (int i = 0; i < part<QTreeWidget>(form2(), "ListView1").topLevelItemCount(); ++i)
        EXPECT_EQ(part<QTreeWidget>(form2(), "ListView1").topLevelItem(i)->checkState(0), Qt::Unchecked);
    EXPECT_EQ(database->openConnections, 0) << "no connection outlives its operation";
}

TEST_F(ConnectionWindowTest, ListingThatCannotOpenItsConnectionReportsOnceAndEndsEmpty)
{
    database->add(QStringLiteral("CUSTOMERS"));
    Form1 &window = form1();
    window.PushButton2_Click();
    ASSERT_EQ(part<QTreeWidget>(form2(), "ListView1").topLevelItemCount(), 1);
    boxes->shown.clear();
    database->fail(QStringLiteral("Open"));
    FireBird::AddTablesToFireBirdListbox(part<QTreeWidget>(form2(), "ListView1"), form1().login());
    ASSERT_EQ(boxes->shown.size(), 1u);
    EXPECT_TRUE(boxes->shown[0].prompt.contains(QStringLiteral("FireBird.AddTablesToFireBirdListbox at line 106")));
    EXPECT_EQ(part<QTreeWidget>(form2(), "ListView1").topLevelItemCount(), 0);

    boxes->shown.clear();
    database->fail(QStringLiteral("create Connection"));
    FireBird::AddTablesToFireBirdListbox(part<QTreeWidget>(form2(), "ListView1"), form1().login());
    ASSERT_EQ(boxes->shown.size(), 2u);
    EXPECT_TRUE(boxes->shown[0].prompt.contains(QStringLiteral("FireBird.AddTablesToFireBirdListbox at line 100")));
    EXPECT_TRUE(boxes->shown[1].prompt.startsWith(QStringLiteral("This step needs the \"ADODB.Connection\" object")));
    EXPECT_TRUE(boxes->shown[1].prompt.contains(QStringLiteral("FireBird.AddTablesToFireBirdListbox at line 104")));
}

TEST_F(ConnectionWindowTest, ListingWhoseRowsCannotBeReadEndsWithoutAStormOfReports)
{
    for (int i = 0; i < 50; ++i)
        database->add(QStringLiteral("T%1").arg(i));
    form1().PushButton2_Click();
    boxes->shown.clear();
    database->fail(QStringLiteral("TABLE_NAME"));
    FireBird::AddTablesToFireBirdListbox(part<QTreeWidget>(form2(), "ListView1"), form1().login());
    EXPECT_EQ(boxes->shown.size(), 2u) << "one for the unreadable name, one for the item it could not add";
    database->fail(QStringLiteral("Eof"));
    boxes->shown.clear();
    FireBird::AddTablesToFireBirdListbox(part<QTreeWidget>(form2(), "ListView1"), form1().login());
    EXPECT_EQ(boxes->shown.size(), 1u);
}

TEST_F(ConnectionWindowTest, SampleButtonFillsAllThreeEntriesAndSavesThem)
{
    Form1 &window = form1();
    putEntries(QStringLiteral("/typed.fdb"), QStringLiteral("ME"), QStringLiteral("x"));
    window.PushButton7_Click();
    EXPECT_EQ(window.databaseEntry().text(), programFolder.path() + QStringLiteral("/Samples/sample.fdb"));
    EXPECT_EQ(window.userEntry().text(), QStringLiteral("SYSDBA"));
    EXPECT_EQ(window.passwordEntry().text(), QStringLiteral("lanternox"));
    EXPECT_EQ(stored(QStringLiteral("FireBirdDatabase")), window.databaseEntry().text());
    EXPECT_EQ(stored(QStringLiteral("FireBirdPassword")), QStringLiteral("lanternox"));
}

TEST_F(ConnectionWindowTest, FileChoiceUsesTheDialogSettingsAndCancellingChangesNothing)
{
    Form1 &window = form1();
    window.databaseEntry().setText(QStringLiteral("/before.fdb"));
    desktop->chosenFile = QString();
    window.PushButton5_Click();
    ASSERT_EQ(desktop->dialogs.size(), 1u);
    EXPECT_EQ(desktop->dialogs[0].fileName, QString());
    EXPECT_EQ(desktop->dialogs[0].flags, 2621441);
    EXPECT_EQ(desktop->dialogs[0].dialogTitle, QStringLiteral("Select Firebird Database"));
    EXPECT_EQ(desktop->dialogs[0].filter, QStringLiteral("Firebird Interbase Database (*.fdb;*.gdb)|*.fdb;*.gdb|"));
    EXPECT_EQ(window.databaseEntry().text(), QStringLiteral("/before.fdb"));
    EXPECT_EQ(stored(QStringLiteral("FireBirdDatabase")), QStringLiteral("/before.fdb"));

    desktop->chosenFile = QStringLiteral("/home/ann/shop.fdb");
    window.PushButton5_Click();
    EXPECT_EQ(window.databaseEntry().text(), QStringLiteral("/home/ann/shop.fdb"));
    EXPECT_EQ(stored(QStringLiteral("FireBirdDatabase")), QStringLiteral("/home/ann/shop.fdb"));
}

TEST_F(ConnectionWindowTest, ServerQuestionOpensThePageOnlyOnYes)
{
    Form1 &window = form1();
    boxes->answers = {frame::vbNo, frame::vbYes};
    window.PushButton4_Click();
    EXPECT_TRUE(desktop->openedUrls.empty());
    window.PushButton4_Click();
    EXPECT_EQ(desktop->openedUrls, std::vector<QString>{QStringLiteral("https://firebirdsql.org/en/server-packages/")});
    ASSERT_EQ(boxes->shown.size(), 2u);
    EXPECT_EQ(boxes->shown[0].style, 4);
    EXPECT_EQ(boxes->shown[0].title, QStringLiteral("Marrowbeck"));
}

TEST_F(ConnectionWindowTest, GuidanceTextsKeepTheirShapeAndTellWhatIsTrueHere)
{
    const QString paragraph = QStringLiteral("\r\n\r\n");
    const QStringList question = guidance::serverQuestion().split(paragraph);
    ASSERT_EQ(question.size(), 6);
    EXPECT_EQ(question[3], QStringLiteral("Would you like me to open the website for Firebird Server"));
    EXPECT_EQ(question[4], QStringLiteral("https://firebirdsql.org/en/server-packages/"));
    EXPECT_FALSE(guidance::serverQuestion().contains(QStringLiteral("uninstall Firebird Server 3.0 if")));
    EXPECT_FALSE(guidance::serverQuestion().contains(QStringLiteral("setup.exe")));

    const QStringList help = guidance::helpText().split(paragraph);
    ASSERT_EQ(help.size(), 4);
    EXPECT_EQ(help[0], QStringLiteral("In order to successfully connect to your Firebird fdb file you need to have two things installed: "));
    EXPECT_TRUE(help[2].startsWith(QStringLiteral("2. Firebird Server packages - - found at https://firebirdsql.org/en/server-packages/. ")));
    EXPECT_FALSE(guidance::helpText().contains(QStringLiteral("Ctrl+Alt+Del")));
    EXPECT_EQ(help[3], QStringLiteral("Please email support@tenvara.example.com if you have any questions about connecting to Firebird. "
                                      "Please attach a screenshot of this message as a reference."));
    EXPECT_FALSE(guidance::helpText().endsWith(QLatin1Char('\n')));

    form1().PushButton1_Click();
    ASSERT_EQ(boxes->shown.size(), 1u);
    EXPECT_EQ(boxes->shown[0].prompt, guidance::helpText());
    EXPECT_EQ(boxes->shown[0].style, 0);
}

TEST_F(ConnectionWindowTest, MissingSpreadsheetShowsTheNumberedAdviceAndEndsTheProgram)
{
    spreadsheet->fail(QStringLiteral("create"));
    form1();
    ASSERT_EQ(boxes->shown.size(), 1u);
    const QStringList points = boxes->shown[0].prompt.split(QStringLiteral("\r\n\r\n"));
    ASSERT_EQ(points.size(), 5);
    EXPECT_TRUE(points[0].startsWith(QStringLiteral("Error 842001. ")));
    for (int i = 1; i <= 4; ++i)
        EXPECT_TRUE(points[i].startsWith(QStringLiteral("%1. ").arg(i)));
    EXPECT_FALSE(boxes->shown[0].prompt.contains(QStringLiteral("Excel")));
    EXPECT_EQ(boxes->shown[0].style, 0);
    EXPECT_EQ(terminator->calls, 1);
}

TEST_F(ConnectionWindowTest, ClosingEitherWindowEndsTheProgram)
{
    Form1 &window = form1();
    window.show();
    window.close();
    EXPECT_EQ(terminator->calls, 1);
    form2().show();
    form2().close();
    EXPECT_EQ(terminator->calls, 2);
}

TEST_F(ConnectionWindowTest, TabOrderFollowsTheDesign)
{
    Form1 &window = form1();
    QStringList order;
    QWidget *w = &window.databaseEntry();
    for (int i = 0; i < 9; ++i) {
        order << w->objectName();
        w = w->nextInFocusChain();
        while (w->focusPolicy() == Qt::NoFocus || !w->isEnabled())
            w = w->nextInFocusChain();
    }
    EXPECT_EQ(order, QStringList({"Text1", "PushButton5", "Text7", "Text2", "PushButton3", "PushButton7", "PushButton2",
                                  "PushButton1", "PushButton4"}));
}

void moveOver(QWidget *widget)
{
    QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), widget->mapToGlobal(QPointF(2, 2)), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &move);
}

TEST_F(ConnectionWindowTest, PointerFollowsTheHoverRulesAndNeverReplacesTheHourglass)
{
    Form1 &window = form1();
    frame::WindowPointer &pointer = window.MousePointer();
    moveOver(&part<QPushButton>(window, "PushButton3"));
    EXPECT_EQ(pointer.value(), 99);
    moveOver(&window.userEntry());
    EXPECT_EQ(pointer.value(), 99) << "the user box has no rule of its own";
    moveOver(&part<QLabel>(window, "Label1"));
    EXPECT_EQ(pointer.value(), 99) << "nor have the labels";
    moveOver(&window.passwordEntry());
    EXPECT_EQ(pointer.value(), 0);
    moveOver(&part<QPushButton>(window, "PushButton1"));
    moveOver(&part<QGroupBox>(window, "Frame1"));
    EXPECT_EQ(pointer.value(), 0);
    pointer.setValue(11);
    moveOver(&part<QPushButton>(window, "PushButton2"));
    moveOver(&window.databaseEntry());
    EXPECT_EQ(pointer.value(), 11);
    pointer.setValue(0);
}

TEST_F(ConnectionWindowTest, WindowsHaveTheirDesignedClientSizesAndCaptions)
{
    Form1 &window = form1();
    EXPECT_EQ(window.size(), QSize(536, 235));
    EXPECT_EQ(form2().size(), QSize(536, 313));
    EXPECT_EQ(form2().windowTitle(), QStringLiteral("Marrowbeck"));
    EXPECT_EQ(part<QPushButton>(window, "PushButton2").geometry(), QRect(8, 200, 520, 27));
    EXPECT_EQ(window.passwordEntry().echoMode(), QLineEdit::Password);
    EXPECT_DOUBLE_EQ(part<QPushButton>(window, "PushButton3").font().pointSizeF(), 11.25);
    EXPECT_EQ(part<QTreeWidget>(form2(), "ListView1").headerItem()->text(0), QStringLiteral("Select Tables To Import"));
    EXPECT_EQ(part<QTreeWidget>(form2(), "ListView1").columnWidth(0), 433);
    EXPECT_EQ(part<QProgressBar>(form2(), "ProgressBar1").text(), QStringLiteral("Progress Bar"));
}

} // namespace
