// The .xlsx writer as the export uses it: sheets added before the active one,
// renamed and deleted, cells of every kind written top down, the active
// sheet fitted, then saved; what Calc reads from the file and what its XML
// holds must be what was written.

#include "calc_test_office.h"
#include "register_xlsx_spreadsheet.h"
#include "xlsx_file_xml.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace testing_support;

namespace {

using Kind = excel::Cell::Kind;

struct Written {
    const char *what;
    excel::Cell cell;
    QVariant calcValue;   // what Calc gives back: a QString for text, a double for a value
    QString xmlCell;      // what the file's XML holds
    QString xmlFormat;    // the number format the cell has in the file
};

// The file keeps 16 significant digits of a value (the library's choice):
// every number the export makes a number cell has 15 at most, and a time
// of day loses less than a microsecond.
double asStored(double value) { return QString::number(value, 'g', 16).toDouble(); }

std::shared_ptr<excel::Application> xlsxApplication(const QString &folder)
{
    registerXlsxSpreadsheetComponents(folder);
    return components::create<excel::Application>(excel::ApplicationClass);
}

TEST(XlsxSpreadsheetTest, EveryKindOfCellAndTheSheetOrderReadBackAsWritten)
{
    const QString longText(40000, u'z');
    const Written cells[] = {
        {"text that reads as a number", excel::Cell(QStringLiteral("00123")), QStringLiteral("00123"),
         QStringLiteral("text:00123"), QString()},
        {"text that reads as a formula", excel::Cell(QStringLiteral("=1+1")), QStringLiteral("=1+1"),
         QStringLiteral("text:=1+1"), QString()},
        {"a number with its decimals", excel::Cell(Kind::Number, QStringLiteral("50.00"), 50, QStringLiteral("0.00")),
         50.0, numberCell(50), QStringLiteral("0.00")},
        {"a number in the general format", excel::Cell(Kind::Number, QStringLiteral("0.1"), 0.1), 0.1, numberCell(0.1),
         QString()},
        {"a date and time", excel::Cell(Kind::Date, QStringLiteral("31.08.2021 23:59:59"), 44439.999988425923,
                                        QStringLiteral("DD.MM.YYYY HH:MM:SS")),
         asStored(44439.999988425923), numberCell(asStored(44439.999988425923)), QStringLiteral("DD.MM.YYYY HH:MM:SS")},
        {"1900-03-01, the first date both applications count alike",
         excel::Cell(Kind::Date, QStringLiteral("01.03.1900"), 61, QStringLiteral("DD.MM.YYYY")), 61.0, numberCell(61),
         QStringLiteral("DD.MM.YYYY")},
        {"a date before it, as its text",
         excel::Cell(Kind::Date, QStringLiteral("28.02.1900"), 59, QStringLiteral("DD.MM.YYYY")),
         QStringLiteral("28.02.1900"), QStringLiteral("text:28.02.1900"), QString()},
        {"a time of day", excel::Cell(Kind::Time, QStringLiteral("06:00:00.1234"), 0.25000142824074074,
                                      QStringLiteral("HH:MM:SS.0000")),
         asStored(0.25000142824074074), numberCell(asStored(0.25000142824074074)), QStringLiteral("HH:MM:SS.0000")},
        {"a boolean", excel::Cell(Kind::Boolean, QStringLiteral("TRUE"), 1), 1.0, numberCell(1), QString()},
        {"an empty text", excel::Cell(QString()), QString(), QString(), QString()},
        {"a text longer than a cell holds", excel::Cell(longText), longText.left(32767),
         QStringLiteral("text:") + longText.left(32767), QString()},
    };

    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("kinds.xlsx"));
    {
        const auto application = xlsxApplication(folder.path());
        const auto workbook = application->workbooks().Add();
        workbook->ActiveSheet()->setName(QStringLiteral("Last"));
        const auto gone = workbook->worksheets().Add();
        gone->setCells(1, 1, excel::Cell(QStringLiteral("never saved")));
        const auto kinds = workbook->worksheets().Add();
        kinds->setName(QStringLiteral("Kinds"));
        gone->Delete();
        int cutReports = 0;
        for (int c = 0; c < int(std::size(cells)); ++c)
            kinds->setCells(1, c + 1, excel::Cell(QString::fromUtf8(cells[c].what)));
        for (int row = 2; row <= 3; ++row) {
            for (int c = 0; c < int(std::size(cells)); ++c) {
                try {
                    kinds->setCells(row, c + 1, cells[c].cell);
                } catch (const components::ComponentError &) {
                    ++cutReports;
                }
            }
        }
        EXPECT_EQ(cutReports, 1);
        EXPECT_THROW(kinds->setCells(2, 1, excel::Cell(QStringLiteral("above"))), components::ComponentError);
        workbook->ActiveSheet()->columns().AutoFit();
        workbook->SaveAs(file);
    }
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("kinds.xlsx")});

    const QList<XlsxSheetXml> xml = xlsxSheets(file);
    ASSERT_EQ(xml.size(), 2);
    EXPECT_EQ(xml[0].name, QStringLiteral("Kinds"));
    EXPECT_EQ(xml[1].name, QStringLiteral("Last"));
    EXPECT_TRUE(xml[1].cells.isEmpty());

    const auto calc = calc_test::startApplication();
    const calc_test::OfficeGuard guard(*calc);
    const auto read = calc_inspection::fileContents(*calc, file);
    ASSERT_EQ(read.size(), 2);
    EXPECT_EQ(read[0].name, QStringLiteral("Kinds"));
    for (int c = 0; c < int(std::size(cells)); ++c) {
        SCOPED_TRACE(cells[c].what);
        for (int row = 2; row <= 3; ++row) {
            EXPECT_EQ(read[0].cells.value(row - 1).value(c), cells[c].calcValue);
            EXPECT_EQ(xml[0].cells.value({row, c + 1}), cells[c].xmlCell);
            EXPECT_EQ(xml[0].formats.value({row, c + 1}), cells[c].xmlFormat);
            EXPECT_EQ(xml[0].booleans.contains({row, c + 1}), cells[c].cell.kind == Kind::Boolean);
        }
    }
}

} // namespace
