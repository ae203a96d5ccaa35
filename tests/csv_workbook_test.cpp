// A workbook of CSV files as the command line stores it: many sheets under a
// small descriptor limit, and a set of files that replaces another whole or
// not at all.

#include "component_error.h"
#include "register_csv_spreadsheet.h"
#include "registry.h"
#include "spreadsheet_automation.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/resource.h>

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
    };
    const Case cases[] = {{"1,200 sheets under a limit of 128 descriptors", 1200, 0},
                          {"the name of sheet 3 of 5 held by a folder", 5, 3}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir folder;
        const QString output = folder.filePath(QStringLiteral("out.csv"));
        const auto fileOf = [&](int n) { return csvSheetFileName(output, QStringLiteral("T%1").arg(n)); };
        // What an earlier export left, to be replaced.
        for (int n = 1; n <= c.sheets; ++n) {
            QFile earlier(fileOf(n));
            ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
            earlier.write("earlier\r\n");
        }
        if (c.blockedSheet) {
            QFile::remove(fileOf(c.blockedSheet));
            QDir().mkpath(fileOf(c.blockedSheet) + QStringLiteral("/inside"));
        }
        registerCsvSpreadsheetComponents(folder.path());
        bool failed = false;
        {
            const DescriptorLimit limit(128);
            auto application = components::create<excel::Application>(excel::ApplicationClass);
            auto workbook = application->workbooks().Add();
            for (int n = 1; n <= c.sheets; ++n) {
                auto sheet = n == 1 ? workbook->ActiveSheet() : workbook->worksheets().Add();
                sheet->setName(QStringLiteral("T%1").arg(n));
                sheet->setCells(1, 1, excel::Cell(QStringLiteral("row of %1").arg(n)));
                sheet->finishWrites();
            }
            try {
                workbook->SaveAs(output);
            } catch (const components::ComponentError &) {
                failed = true;
            }
        }
        EXPECT_EQ(failed, c.blockedSheet != 0);
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
