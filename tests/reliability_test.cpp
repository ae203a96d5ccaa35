// Faults as a user meets them, against the real parts: the Firebird engine
// (embedded, and a server of the test's own that it kills), a real Calc on a
// display, the real windows. Each case states what the user sees.

#include "calc_inspection.h"
#include "connection_string.h"
#include "database_access.h"
#include "firebird_scratch_database.h"
#include "form1.h"
#include "form2.h"
#include "platform.h"
#include "qstring_printer.h"
#include "recording_platform.h"
#include "register_database_access.h"
#include "register_spreadsheet_automation.h"
#include "reliability_support.h"
#include "settings_store.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <csignal>
#include <cstdio>

using namespace std::chrono_literals;
using namespace testing_support;
using reliability::Watchdog;

namespace {

constexpr int manyRows = 20000;

// ROWS_A is large enough that the client has to go back to the engine for
// more rows long after the export has started; ROWS_B comes after it.
QByteArray twoTablesScript()
{
    return "CREATE TABLE ROWS_A (ID INTEGER NOT NULL, LABEL VARCHAR(60));\n"
           "CREATE TABLE ROWS_B (ID INTEGER NOT NULL, LABEL VARCHAR(60));\nCOMMIT;\n"
           "SET TERM ^ ;\n"
           "EXECUTE BLOCK AS DECLARE i INTEGER = 1; BEGIN WHILE (i <= " + QByteArray::number(manyRows) + ") DO BEGIN "
           "INSERT INTO ROWS_A VALUES (:i, 'row ' || :i || ' read over the wire'); i = i + 1; END END^\n"
           "SET TERM ; ^\n"
           "INSERT INTO ROWS_B VALUES (1, 'first');\nINSERT INTO ROWS_B VALUES (2, 'second');\n";
}

QString rowLabel(int id) { return QStringLiteral("row %1 read over the wire").arg(id); }

// "step 202" for a failure report, the text itself for any other box.
std::vector<QString> outline(const std::vector<QString> &prompts)
{
    static const QRegularExpression at(QStringLiteral("at line (\\d+)"));
    std::vector<QString> result;
    for (const QString &prompt : prompts) {
        const auto match = at.match(prompt);
        result.push_back(match.hasMatch() ? QStringLiteral("step ") + match.captured(1) : prompt);
    }
    return result;
}

QString joined(const std::vector<QString> &items)
{
    QStringList list(items.begin(), items.end());
    return list.join(QStringLiteral(" | "));
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256) : QByteArray();
}

// Another embedded engine that keeps the file open until it is destroyed.
class OtherEngine {
public:
    explicit OtherEngine(const QString &file)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("FIREBIRD_LOCK"), QString::fromLocal8Bit(embeddedLockFolder()));
        m_isql.setProcessEnvironment(environment);
        m_isql.start(QStringLiteral("isql-fb"), {QStringLiteral("-q"), QStringLiteral("-user"), QStringLiteral("SYSDBA"), file});
        m_isql.write("SELECT 'holding' FROM RDB$DATABASE;\n");
        QElapsedTimer timer;
        timer.start();
        while (!m_output.contains("holding") && timer.elapsed() < 20000 && m_isql.state() == QProcess::Running) {
            m_isql.waitForReadyRead(200);
            m_output += m_isql.readAllStandardOutput();
        }
    }
    ~OtherEngine()
    {
        m_isql.closeWriteChannel();
        if (!m_isql.waitForFinished(5000)) {
            m_isql.kill();
            m_isql.waitForFinished(5000);
        }
    }
    bool holds() const { return m_output.contains("holding"); }

private:
    QProcess m_isql;
    QByteArray m_output;
};

class ReliabilityTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        unloadWindowsForTesting();
        frame::clearSettingsForTesting();
        frame::setMessageBoxService(boxes);
        frame::setTerminator(terminator);
        frame::setProgramFolder(QStringLiteral(MARROWBECK_PROGRAM_DIR));
        registerDatabaseAccessComponents();
        registerSpreadsheetAutomationComponents();
        auto &registry = components::Registry::instance();
        auto real = registry.factory(excel::ApplicationClass);
        registry.registerFactory(excel::ApplicationClass, [this, real] {
            auto object = real();
            applications.push_back(std::dynamic_pointer_cast<excel::Application>(object));
            return object;
        });
        // A box storm is a failure of its own; the cap keeps it from also
        // becoming a hang.
        boxes->onShow = [this](const ShownMessage &) {
            if (boxes->shown.size() > 200)
                throw std::runtime_error("more than 200 message boxes");
        };
    }
    void TearDown() override
    {
        unloadWindowsForTesting();
        frame::clearSettingsForTesting();
        releaseApplications();
    }

    // As a user closing the workbooks: the offices end, our objects go.
    void releaseApplications()
    {
        for (auto &application : applications) {
            try {
                if (application)
                    ::kill(-pid_t(calc_inspection::officeProcessId(*application)), SIGKILL);
            } catch (...) {
            }
        }
        applications.clear();
        reliability::killOurOffices();
        EXPECT_TRUE(reliability::waitUntilNoOffices(10s)) << "an office of ours outlived its kill";
    }

    // "Next >" on the connection window with these three entries.
    void pressNext(const QString &database, const QString &user, const QString &password)
    {
        Form1 &window = form1();
        window.show();
        window.Text1->setText(database);
        window.Text7->setText(user);
        window.Text2->setText(password);
        boxes->shown.clear();
        Watchdog dog("Next >", 60s);
        window.PushButton2_Click();
    }

    Form2 &tablesFor(const QString &database, const QString &user, const QString &password)
    {
        pressNext(database, user, password);
        EXPECT_TRUE(form2Loaded() && form2().isVisible()) << joined(boxes->prompts()).toStdString();
        return form2();
    }

    void tickOnly(Form2 &window, const QStringList &names)
    {
        for (int i = 0; i < window.ListView1->topLevelItemCount(); ++i) {
            QTreeWidgetItem *item = window.ListView1->topLevelItem(i);
            item->setCheckState(0, names.contains(item->text(0)) ? Qt::Checked : Qt::Unchecked);
        }
    }

    // "Finish", under a watchdog; the boxes it showed, outlined.
    std::vector<QString> finish(Form2 &window, std::chrono::seconds limit = 120s)
    {
        boxes->shown.clear();
        Watchdog dog("Finish", limit);
        window.PushButton5_Click();
        return outline(boxes->prompts());
    }

    excel::Application &lastApplication() { return *applications.back(); }

    // The rows of a sheet holding ROWS_A: every row present is the
    // database's row of that number; after the first empty row nothing
    // follows. The number of rows present.
    int checkRowsSheet(const QString &sheet, int rows)
    {
        const QList<QVariantList> cells = calc_inspection::cellValues(lastApplication(), sheet, 1, 1, rows + 2, 2);
        EXPECT_EQ(cells[0][0].toString(), QStringLiteral("ID"));
        int present = 0;
        for (int r = 1; r < cells.size(); ++r) {
            const QString id = cells[r][0].toString(), label = cells[r][1].toString();
            if (id.isEmpty() && label.isEmpty())
                continue;
            if (r != present + 1 || id != QString::number(r) || label != rowLabel(r)) {
                ADD_FAILURE() << qPrintable(sheet) << " row " << r + 1 << " holds (" << qPrintable(id) << ", "
                              << qPrintable(label) << ") after " << present << " good rows: not the database's row";
                return present;
            }
            ++present;
        }
        return present;
    }

    // Fires `action` once, in the export's yields, as soon as the progress
    // text shows ROWS_A at row `row` or later.
    void atRowOfRowsA(Form2 &window, int row, std::function<void()> action)
    {
        auto *poll = new QTimer(&window);
        poll->setInterval(0);
        QObject::connect(poll, &QTimer::timeout, poll, [=, &window] {
            static const QRegularExpression progress(QStringLiteral("^Processing: ROWS_A, row (\\d+) "));
            const auto match = progress.match(window.ProgressBar1->text());
            if (match.hasMatch() && match.captured(1).toInt() >= row) {
                poll->stop();
                poll->deleteLater();
                action();
            }
        });
        poll->start();
    }

    std::shared_ptr<RecordingMessageBoxes> boxes = std::make_shared<RecordingMessageBoxes>();
    std::shared_ptr<RecordingTerminator> terminator = std::make_shared<RecordingTerminator>();
    std::vector<std::shared_ptr<excel::Application>> applications;
};

// The longest stretch without the event loop running, while it is on.
class ResponsivenessProbe {
public:
    ResponsivenessProbe()
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            m_longest = std::max(m_longest, m_since.restart());
        });
    }
    void start()
    {
        m_since.start();
        m_timer.start();
    }
    qint64 longestMs() const { return m_longest; }

private:
    QTimer m_timer;
    QElapsedTimer m_since;
    qint64 m_longest = 0;
};

// What a user sees when the server dies under the export: one report for the
// step of the table it was on, one for each later table that cannot be read,
// "Done.", rows that are the database's own and nothing made up after them;
// with the server back, the next "Finish" exports everything.
TEST_F(ReliabilityTest, ServerKilledDuringAnExport)
{
    QString reason;
    if (!reliability::PrivateServer::available(&reason))
        GTEST_SKIP() << reason.toStdString();
    reliability::PrivateServer server;
    QString error;
    ASSERT_TRUE(server.start(&error)) << error.toStdString();
    const FirebirdServer where{server.host(), server.user(), server.password(), server.folder()};
    const auto database = ScratchDatabase::onServer(where, twoTablesScript());
    Form2 &window = tablesFor(database->dbname(), server.user(), server.password());
    window.PushButton8_Click();

    ResponsivenessProbe probe;
    QElapsedTimer sinceKill;
    atRowOfRowsA(window, 2000, [&] {
        server.kill();
        sinceKill.start();
        probe.start();
    });
    const std::vector<QString> seen = finish(window);
    ASSERT_TRUE(sinceKill.isValid()) << "the server was never killed";
    std::printf("[ measured ] server killed: %lld ms from the kill to \"Done.\", longest freeze %lld ms; boxes: %s\n",
                static_cast<long long>(sinceKill.elapsed()), static_cast<long long>(probe.longestMs()), qPrintable(joined(seen)));
    EXPECT_EQ(seen, (std::vector<QString>{QStringLiteral("step 202"), QStringLiteral("step 140"), QStringLiteral("Done.")}));
    EXPECT_LT(probe.longestMs(), 3000) << "the window froze after the server died";
    const int present = checkRowsSheet(QStringLiteral("ROWS_A"), manyRows);
    EXPECT_GE(present, 2000);
    EXPECT_LT(present, manyRows);
    EXPECT_FALSE(window.exportRunning);

    ASSERT_TRUE(server.start(&error)) << error.toStdString();
    const std::size_t before = applications.size();
    EXPECT_EQ(finish(window), std::vector<QString>{QStringLiteral("Done.")});
    ASSERT_EQ(applications.size(), before + 1);
    EXPECT_EQ(checkRowsSheet(QStringLiteral("ROWS_A"), manyRows), manyRows);
}

// The office dies under the export: each failing step is reported once per
// table, the export still ends with "Done.", and the next "Finish" starts a
// new office that gets the whole workbook.
TEST_F(ReliabilityTest, OfficeKilledDuringAnExport)
{
    const auto database = ScratchDatabase::embedded(twoTablesScript());
    Form2 &window = tablesFor(database->dbname(), QStringLiteral("SYSDBA"), QStringLiteral("masterkey"));
    window.PushButton8_Click();

    ResponsivenessProbe probe;
    bool killed = false;
    atRowOfRowsA(window, 2000, [&] {
        ::kill(-pid_t(calc_inspection::officeProcessId(lastApplication())), SIGKILL);
        killed = true;
        probe.start();
    });
    QElapsedTimer clock;
    clock.start();
    const std::vector<QString> seen = finish(window);
    ASSERT_TRUE(killed);
    std::printf("[ measured ] office killed: export over in %lld ms, longest freeze %lld ms; boxes: %s\n",
                static_cast<long long>(clock.elapsed()), static_cast<long long>(probe.longestMs()), qPrintable(joined(seen)));
    ASSERT_FALSE(seen.empty());
    std::printf("[ measured ] the first report reads: %s\n", qPrintable(boxes->shown.front().prompt.section(u'\r', 0, 0)));
    EXPECT_EQ(seen.back(), QStringLiteral("Done."));
    // At most one report per step and table: two tables, and the closing
    // steps after them.
    std::map<QString, int> perStep;
    for (const QString &s : seen)
        ++perStep[s];
    for (const auto &[step, times] : perStep)
        EXPECT_LE(times, 2) << qPrintable(step);
    EXPECT_LE(seen.size(), 12u);
    EXPECT_LT(probe.longestMs(), 3000);
    EXPECT_FALSE(window.exportRunning);

    const std::size_t before = applications.size();
    EXPECT_EQ(finish(window), std::vector<QString>{QStringLiteral("Done.")});
    ASSERT_EQ(applications.size(), before + 1) << "no new office";
    EXPECT_EQ(checkRowsSheet(QStringLiteral("ROWS_A"), manyRows), manyRows);
}

} // namespace
