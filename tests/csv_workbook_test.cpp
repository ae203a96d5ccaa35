// A workbook of CSV files as the command line stores it: many sheets under a
// small descriptor limit, a set of files that replaces another whole or not
// at all, and a disk that fills, said as such: the files complete before it
// are written, the one it cut short and its unfinished folder are not.

#include "component_error.h"
#include "register_csv_spreadsheet.h"
#include "registry.h"
#include "spreadsheet_automation.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <QScopeGuard>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
}

// The descriptor limit lowered for the test's length, as a tightly set job's.
class DescriptorLimit {
public:
    explicit DescriptorLimit(rlim_t soft)
    {
        ::getrlimit(RLIMIT_NOFILE, &m_before);
        rlimit lowered = m_before;
        lowered.rlim_cur = soft;
        ::setrlimit(RLIMIT_NOFILE, &lowered);
    }
    ~DescriptorLimit() { ::setrlimit(RLIMIT_NOFILE, &m_before); }

private:
    rlimit m_before{};
};

TEST(CsvWorkbookTest, SheetsBeyondTheDescriptorLimitAndASetReplacedWholeOrNotAtAll)
{
    struct Case {
        const char *what;
        int sheets;
        int blockedSheet; // a folder holds its file's name; 0: none
        int rows = 1;
        bool smallDisk = false; // 256 KB
        const char *says = "";
    };
    const Case cases[] = {{"1,200 sheets under a limit of 128 descriptors", 1200, 0},
                          {"the name of sheet 3 of 5 held by a folder", 5, 3, 1, false, "something other than a file"},
                          {"a disk that fills: the sheets complete before it are kept", 5, 0, 5000, true, "is full"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir folder;
        if (c.smallDisk && ::getuid() != 0) {
            std::printf("[ skipped  ] %s: needs root to mount a small filesystem\n", c.what);
            continue;
        }
        const bool mounted = c.smallDisk && ::mount("tmpfs", QFile::encodeName(folder.path()).constData(), "tmpfs", 0, "size=256k") == 0;
        const auto unmount = qScopeGuard([&] {
            if (mounted)
                ::umount2(QFile::encodeName(folder.path()).constData(), MNT_DETACH);
        });
        ASSERT_EQ(mounted, c.smallDisk);
        const QString output = folder.filePath(QStringLiteral("out.csv"));
        const auto fileOf = [&](int n) { return csvSheetFileName(output, QStringLiteral("T%1").arg(n)); };
        // What an earlier export left, to be replaced.
        for (int n = 1; n <= c.sheets && !c.smallDisk; ++n) {
            QFile earlier(fileOf(n));
            ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
            earlier.write("earlier\r\n");
        }
        if (c.blockedSheet) {
            QFile::remove(fileOf(c.blockedSheet));
            QDir().mkpath(fileOf(c.blockedSheet) + QStringLiteral("/inside"));
        }
        registerCsvSpreadsheetComponents(folder.path());
        QString failure;
        {
            const DescriptorLimit limit(128);
            auto application = components::create<excel::Application>(excel::ApplicationClass);
            auto workbook = application->workbooks().Add();
            std::shared_ptr<excel::Worksheet> sheet;
            try {
                for (int n = 1; n <= c.sheets; ++n) {
                    sheet = n == 1 ? workbook->ActiveSheet() : workbook->worksheets().Add();
                    sheet->setName(QStringLiteral("T%1").arg(n));
                    for (int row = 1; row <= c.rows; ++row)
                        sheet->setCells(row, 1, excel::Cell(QStringLiteral("row of %1").arg(n)));
                    sheet->finishWrites();
                }
                workbook->SaveAs(output);
            } catch (const components::ComponentFull &error) {
                // As the command line does: the table cut short is left
                // out, the tables complete before the disk filled are kept.
                failure = error.description();
                sheet->Delete();
                workbook->SaveAs(output);
            } catch (const components::ComponentError &error) {
                failure = error.description();
            }
        }
        EXPECT_TRUE(failure.contains(QLatin1String(c.says))) << failure.toStdString();
        EXPECT_EQ(failure.isEmpty(), c.blockedSheet == 0 && !c.smallDisk);
        if (c.smallDisk) {
            const QStringList left = QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
            EXPECT_GE(left.size(), 1) << "no table was complete before the disk filled";
            EXPECT_LT(left.size(), c.sheets);
            for (int n = 1; n <= left.size(); ++n)
                EXPECT_EQ(contents(fileOf(n)), QStringLiteral("row of %1\r\n").arg(n).toUtf8().repeated(c.rows)) << n;
            continue;
        }
        for (int n = 1; n <= c.sheets; ++n) {
            if (n == c.blockedSheet)
                EXPECT_TRUE(QFileInfo::exists(fileOf(n) + QStringLiteral("/inside")));
            else
                EXPECT_EQ(contents(fileOf(n)), c.blockedSheet ? QByteArray("earlier\r\n") : QStringLiteral("row of %1\r\n").arg(n).toUtf8())
                    << n;
        }
        EXPECT_EQ(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), c.sheets)
            << "no unfinished folder left";
    }
}

} // namespace
