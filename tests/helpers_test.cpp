#include "desktop_services.h"
#include "excel1.h"
#include "main_module.h"
#include "table_export.h"
#include "termination_signals.h"
#include "unfinished_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <vector>

namespace {

// A second signal ends the program without returning to it, yet the files
// it was writing still go: those of a finished write and of one under way,
// with what an office leaves beside them.
TEST(TerminationSignals, ASecondSignalEndsAtOnceAndLeavesNoUnfinishedFile)
{
    // The death test's child runs this body again, and takes its parent's folder.
    const char *const handedOn = "MARROWBECK_TEST_UNFINISHED_FOLDER";
    std::optional<QTemporaryDir> made;
    if (!qEnvironmentVariableIsSet(handedOn)) {
        made.emplace();
        qputenv(handedOn, QFile::encodeName(made->path()));
    }
    const QString folder = qEnvironmentVariable(handedOn);
    EXPECT_EXIT(
        {
            frame::endProgramOnTerminationSignals();
            std::vector<std::unique_ptr<components::UnfinishedFile>> files;
            for (int i = 0; i < 4; ++i) {
                files.push_back(std::make_unique<components::UnfinishedFile>(folder));
                QFile half(files.back()->path());
                half.open(QIODevice::WriteOnly);
                half.write("half");
                QFile(files.back()->path() + QStringLiteral(".lock")).open(QIODevice::WriteOnly);
            }
            files.erase(files.begin());
            files.push_back(std::make_unique<components::UnfinishedFile>(folder));
            std::raise(SIGINT);
            std::raise(SIGINT);
            std::_Exit(0);
        },
        testing::ExitedWithCode(2), "Stopped at once by a second signal");
    qunsetenv(handedOn);
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
}

TEST(FileExists, IsTrueForWhatHasAModifiedTimeAndFalseOtherwise)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("HAND-M.CUR"));
    QFile(file).open(QIODevice::WriteOnly);
    EXPECT_TRUE(Main::FileExists(file));
    EXPECT_TRUE(Main::FileExists(dir.path()));
    EXPECT_FALSE(Main::FileExists(dir.filePath(QStringLiteral("missing"))));
    EXPECT_FALSE(Main::FileExists(QString()));
    EXPECT_FALSE(Main::FileExists(QStringLiteral("/no/such/drive/file")));
}

TEST(NullToDefault, ReplacesOnlyTheDatabaseNull)
{
    EXPECT_EQ(Main::NullToDefault(std::nullopt, QStringLiteral("d")), QStringLiteral("d"));
    EXPECT_EQ(Main::NullToDefault(QString(), QStringLiteral("d")), QString());
    EXPECT_EQ(Main::NullToDefault(QStringLiteral("0"), QStringLiteral("d")), QStringLiteral("0"));
}

TEST(ShortAppTitle, CutsWordByWordAtLeastOnceAndKeepsATitleWithoutBlanks)
{
    EXPECT_EQ(Main::shortAppTitle(QStringLiteral("Marrowbeck")), QStringLiteral("Marrowbeck"));
    EXPECT_EQ(Main::shortAppTitle(QStringLiteral("Marrowbeck Table Export")), QStringLiteral("Marrowbeck Table"));
    const QString long41 = QStringLiteral("Alpha Beta Gamma Delta Epsilon Zeta Etaaa"); // 41 characters
    ASSERT_EQ(long41.size(), 41);
    EXPECT_EQ(Main::shortAppTitle(long41), QStringLiteral("Alpha Beta Gamma Delta Epsilon Zeta"));
    // No word left to cut: the loop stops instead of running for ever.
    EXPECT_EQ(Main::shortAppTitle(QString(45, QLatin1Char('x')) + QStringLiteral(" y")), QString(45, QLatin1Char('x')));
}

TEST(CleanSheetName, GivesANameEveryWorksheetCanHoldInThirtyCharacters)
{
    const std::vector<std::pair<QString, QString>> cases{
        {"[ORDERS] [2021]", "ORDERS 2021"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ12345", "ABCDEFGHIJKLMNOPQRSTUVWXYZ1234"},
        {"a:b/c\\d?e*f", "a_b_c_d_e_f"},
        {"'QUOTED'", "QUOTED"},
        {"''it's''", "it's"},
        {QString(29, QLatin1Char('X')) + "'Y", QString(29, QLatin1Char('X'))},
        {"'[]'", "Table"},
        {"", "Table"},
        {"Orders 2021", "Orders 2021"}};
    for (const auto &[name, cleaned] : cases)
        EXPECT_EQ(Excel1::CleanSheetName(name), cleaned) << name.toStdString();
}

TEST(NumberedCandidate, StaysWithinThirtyCharactersSoNumbersSurviveCleaning)
{
    const QString base(30, QLatin1Char('T'));
    EXPECT_EQ(Excel1::numberedCandidate(base, 1), QString(29, QLatin1Char('T')) + QStringLiteral("1"));
    EXPECT_EQ(Excel1::numberedCandidate(base, 12), QString(28, QLatin1Char('T')) + QStringLiteral("12"));
    EXPECT_NE(Excel1::CleanSheetName(Excel1::numberedCandidate(base, 1)), Excel1::CleanSheetName(Excel1::numberedCandidate(base, 2)));
}

TEST(ProgressTexts, ReadAsTheBarShowsThem)
{
    EXPECT_EQ(tableProgressText(QStringLiteral("CUSTOMERS")), QStringLiteral("Processing: CUSTOMERS"));
    EXPECT_EQ(rowProgressText(QStringLiteral("CUSTOMERS"), 15, 120), QStringLiteral("Processing: CUSTOMERS, row 15 from 120..."));
    EXPECT_EQ(cellProgressText(QStringLiteral("CUSTOMERS"), 15, 120, 3, 7),
              QStringLiteral("Processing: CUSTOMERS, row 15 from 120, field 3 from 7..."));
    // Placeholders inside a table name are the name's own characters.
    EXPECT_EQ(rowProgressText(QStringLiteral("T%2%1"), 1, 2), QStringLiteral("Processing: T%2%1, row 1 from 2..."));
}

TEST(QtNameFilters, SeparatePatternsWithBlanks)
{
    EXPECT_EQ(frame::qtNameFilters(QStringLiteral("Firebird Interbase Database (*.fdb;*.gdb)|*.fdb;*.gdb|")),
              QStringList{QStringLiteral("Firebird Interbase Database (*.fdb *.gdb)")});
}

} // namespace
