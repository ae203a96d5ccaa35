// The .xlsx writer as the export uses it: sheets added before the active one,
// renamed and deleted, cells of every kind written top down, the active
// sheet fitted, then saved; what Calc reads from the file and what its XML
// holds must be what was written. The rows it writes itself must be what
// libxlsxwriter writes for the same cells, byte for byte.

#include "calc_test_office.h"
#include "register_xlsx_spreadsheet.h"
#include "worksheet_rules.h"
#include "xlsx_sheet.h"
#include "xlsx_file_xml.h"

#include <QDir>
#include <QTemporaryDir>
#include <csignal>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <sys/resource.h>
#include <xlsxwriter.h>

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
        {"a carriage return, which the XML holds escaped", excel::Cell(QStringLiteral("_x0041_ a\rb")),
         QStringLiteral("_x0041_ a\rb"), QStringLiteral("text:_x0041_ a_x000D_b"), QString()},
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
    // Every cell, with a number format or none, in the font the columns
    // were measured in, as in the wizard's workbook.
    const QByteArray styles = xlsxPart(file, QStringLiteral("xl/styles.xml"));
    EXPECT_EQ(styles.count("<font>"), 1);
    EXPECT_TRUE(styles.contains("<font><sz val=\"10\"/><color theme=\"1\"/><name val=\"Arial\"/>"));
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

// A cell as the writer takes it and as the library's own calls write it.
struct Given {
    int row;
    int column;
    excel::Cell cell;
};

struct GivenSheet {
    QString name;
    std::vector<Given> cells;
};

QString randomText(std::mt19937_64 &random)
{
    static const QString pieces[] = {
        QStringLiteral("plain"), QStringLiteral(" "), QStringLiteral("&"), QStringLiteral("<b>"), QStringLiteral("\""),
        QStringLiteral("'"), QStringLiteral("\t"), QStringLiteral("\n"), QStringLiteral("\r"), QString(QChar(1)),
        QString(QChar(0x1f)), QString(QChar(0x7f)), QStringLiteral("é"), QStringLiteral("日本"), QStringLiteral("😀"),
        QString(QChar(0xd800)), QString(QChar(0xa0)), QStringLiteral("_x0041_"), QString(QChar(0)), QStringLiteral("9"),
    };
    QString text;
    for (auto n = random() % 5; n > 0; --n)
        text += pieces[random() % std::size(pieces)];
    return text;
}

double randomNumber(std::mt19937_64 &random)
{
    static const double special[] = {0.0, -0.0, 1, -1, 0.1, 0.25000142824074074, 44439.999988425923, 1e15 - 1, 1e15,
                                     1e15 + 0.5, 1e16, 9007199254740993.0, 123456789012345678.0, 1e-5, 1e-300, 5e-324,
                                     std::numeric_limits<double>::max(), -std::numeric_limits<double>::max(),
                                     std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                                     std::numeric_limits<double>::quiet_NaN(), 12.75, 922337203685477.5807};
    const std::uint64_t bits = random();
    switch (bits % 4) {
    case 0:
        return special[(bits >> 8) % std::size(special)];
    case 1: {
        double any;
        std::memcpy(&any, &bits, sizeof any);
        return any;
    }
    case 2:
        return double(std::int64_t(bits >> 20) % 100000000000) / 100;
    default:
        return double(std::int64_t(bits >> 16) % 1000000);
    }
}

excel::Cell randomCell(std::mt19937_64 &random, const QStringList &formats)
{
    switch (random() % 4) {
    case 0:
        return excel::Cell(randomText(random));
    case 1:
        return excel::Cell(excel::Cell::Boolean, QStringLiteral("TRUE"), double(random() % 2));
    case 2:
        return excel::Cell(excel::Cell::Number, QStringLiteral("n"), randomNumber(random));
    default:
        return excel::Cell(excel::Cell::Number, QStringLiteral("n"), randomNumber(random), formats[random() % formats.size()]);
    }
}

// Tab order: Wide, Long, Empty. Wide has rows with gaps, columns out of
// order and written twice, the last row and column of a worksheet; Long
// has rows enough to be compressed in many pieces.
std::vector<GivenSheet> givenSheets(const QStringList &formats)
{
    std::mt19937_64 random(20261208);
    GivenSheet wide{QStringLiteral("Wide"), {}};
    const int columns[] = {5, 1, 2, 27, 703, 5, 16384, 3};
    for (int row = 1; row < 4000; row += 1 + int(random() % 3)) {
        for (const int column : columns)
            wide.cells.push_back({row, column, randomCell(random, formats)});
    }
    wide.cells.push_back({excel::worksheetRowLimit, excel::worksheetColumnLimit, excel::Cell(QStringLiteral("last"))});
    GivenSheet long_{QStringLiteral("Long"), {}};
    for (int row = 1; row <= 30000; ++row) {
        long_.cells.push_back({row, 1, excel::Cell(excel::Cell::Number, QString::number(row), row)});
        long_.cells.push_back({row, 2, excel::Cell(QStringLiteral("Customer %1").arg(row))});
        long_.cells.push_back({row, 3, excel::Cell(excel::Cell::Number, QStringLiteral("n"), row * 1.25, formats[0])});
        long_.cells.push_back({row, 4, excel::Cell(excel::Cell::Boolean, QStringLiteral("TRUE"), row % 2)});
    }
    return {wide, long_, {QStringLiteral("Empty"), {}}};
}

// The same cells, in the same order, through the library's own calls.
void writeThroughLibrary(const QString &file, const std::vector<GivenSheet> &sheets,
                         const std::vector<std::pair<int, std::size_t>> &order, const QStringList &formats)
{
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook *workbook = workbook_new_opt(QFile::encodeName(file).constData(), &options);
    ASSERT_NE(workbook, nullptr);
    std::vector<lxw_worksheet *> worksheets;
    for (const GivenSheet &sheet : sheets) {
        worksheets.push_back(workbook_add_worksheet(workbook, sheet.name.toUtf8().constData()));
        worksheet_set_default_row(worksheets.back(), xlsx::rowPoints, LXW_FALSE);
    }
    std::map<QString, lxw_format *> numberFormats;
    for (const QString &format : formats) {
        numberFormats[format] = workbook_add_format(workbook);
        format_set_num_format(numberFormats[format], format.toUtf8().constData());
    }
    for (const auto &[sheet, index] : order) {
        const Given &given = sheets[std::size_t(sheet)].cells[index];
        lxw_worksheet *worksheet = worksheets[std::size_t(sheet)];
        const auto row = lxw_row_t(given.row - 1);
        const auto column = lxw_col_t(given.column - 1);
        const excel::Cell &cell = given.cell;
        if (cell.kind == excel::Cell::Text)
            worksheet_write_string(worksheet, row, column, cell.text.toUtf8().constData(), nullptr);
        else if (cell.kind == excel::Cell::Boolean)
            worksheet_write_boolean(worksheet, row, column, cell.number != 0, nullptr);
        else
            worksheet_write_number(worksheet, row, column, cell.number,
                                   cell.format.isEmpty() ? nullptr : numberFormats[cell.format]);
    }
    ASSERT_EQ(workbook_close(workbook), LXW_NO_ERROR);
}

// Of a worksheet's part: its range and its rows.
QByteArray rowsOfPart(const QByteArray &part)
{
    const qsizetype range = part.indexOf("<dimension");
    const qsizetype rows = part.indexOf("<sheetData");
    const qsizetype end = part.indexOf("</sheetData>");
    if (range < 0 || rows < 0)
        return {};
    return part.mid(range, part.indexOf('>', range) + 1 - range) + part.mid(rows, end < 0 ? part.indexOf('>', rows) + 1 - rows : end - rows);
}

// Empty when the two are equal; else where they part, and how.
QString firstDifference(const QByteArray &ours, const QByteArray &library)
{
    qsizetype at = 0;
    while (at < ours.size() && at < library.size() && ours[at] == library[at])
        ++at;
    if (at == ours.size() && at == library.size())
        return {};
    return QStringLiteral("at byte %1: ours \"%2\", the library's \"%3\"")
        .arg(at)
        .arg(QString::fromUtf8(ours.mid(std::max<qsizetype>(0, at - 60), 160)),
             QString::fromUtf8(library.mid(std::max<qsizetype>(0, at - 60), 160)));
}

TEST(XlsxSpreadsheetTest, RowsAreWhatTheLibraryWritesForTheSameCells)
{
    const QStringList formats = {QStringLiteral("0.00"), QStringLiteral("DD.MM.YYYY"), QStringLiteral("HH:MM:SS.0000"),
                                 QStringLiteral("#,##0")};
    const std::vector<GivenSheet> sheets = givenSheets(formats);
    // The sheets' rows taken in turns, as a workbook being filled may be.
    std::vector<std::pair<int, std::size_t>> order;
    for (std::size_t i = 0; i < std::max(sheets[0].cells.size(), sheets[1].cells.size()); ++i) {
        for (int sheet = 0; sheet < 2; ++sheet) {
            if (i < sheets[std::size_t(sheet)].cells.size())
                order.emplace_back(sheet, i);
        }
    }
    // The formats as the cells first use them, which numbers them.
    QStringList used;
    for (const auto &[sheet, index] : order) {
        const QString &format = sheets[std::size_t(sheet)].cells[index].cell.format;
        if (!format.isEmpty() && !used.contains(format))
            used << format;
    }

    QTemporaryDir folder;
    const QString ours = folder.filePath(QStringLiteral("ours.xlsx"));
    const QString library = folder.filePath(QStringLiteral("library.xlsx"));
    {
        const auto application = xlsxApplication(folder.path());
        const auto workbook = application->workbooks().Add();
        workbook->ActiveSheet()->setName(sheets[2].name);
        std::vector<std::shared_ptr<excel::Worksheet>> added(2);
        added[1] = workbook->worksheets().Add();
        added[1]->setName(sheets[1].name);
        added[0] = workbook->worksheets().Add();
        added[0]->setName(sheets[0].name);
        for (const auto &[sheet, index] : order) {
            const Given &given = sheets[std::size_t(sheet)].cells[index];
            added[std::size_t(sheet)]->setCells(given.row, given.column, given.cell);
        }
        workbook->SaveAs(ours);
    }
    writeThroughLibrary(library, sheets, order, used);

    for (int sheet = 1; sheet <= 3; ++sheet) {
        SCOPED_TRACE(sheet);
        const QString part = QStringLiteral("xl/worksheets/sheet%1.xml").arg(sheet);
        const QByteArray libraryRows = rowsOfPart(xlsxPart(library, part));
        ASSERT_FALSE(libraryRows.isEmpty());
        EXPECT_EQ(firstDifference(rowsOfPart(xlsxPart(ours, part)), libraryRows), QString());
    }
    const auto numberFormats = [](const QByteArray &styles) {
        return styles.mid(styles.indexOf("<numFmts"), styles.indexOf("</numFmts>") - styles.indexOf("<numFmts"));
    };
    EXPECT_EQ(numberFormats(xlsxPart(ours, QStringLiteral("xl/styles.xml"))),
              numberFormats(xlsxPart(library, QStringLiteral("xl/styles.xml"))));
}

// Files of this process may grow to a size only while one lives; a write
// beyond it fails, as on a full disk, instead of ending the process.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_before);
        m_signal = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = m_before;
        limited.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_before);
        std::signal(SIGXFSZ, m_signal);
    }

private:
    rlimit m_before{};
    void (*m_signal)(int) = nullptr;
};

// The rows are written on another thread: its failure reaches the export,
// and the workbook is whole or not there at all.
TEST(XlsxSpreadsheetTest, RowsThatCannotBeWrittenFailTheWorkbookAndLeaveNoFile)
{
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("out.xlsx"));
    int failures = 0;
    QString said;
    {
        const auto application = xlsxApplication(folder.path());
        const auto workbook = application->workbooks().Add();
        const auto sheet = workbook->ActiveSheet();
        const FileSizeLimit limit(64 * 1024);
        const auto attempt = [&](const auto &work) {
            try {
                work();
            } catch (const components::ComponentError &error) {
                ++failures;
                said = error.description();
            }
        };
        for (int row = 1; row <= 40000 && failures == 0; ++row)
            attempt([&] { sheet->setCells(row, 1, excel::Cell(QStringLiteral("row %1 of many").arg(row))); });
        attempt([&] { sheet->finishWrites(); });
        // Said while the table is written, not only when it is stored.
        EXPECT_GE(failures, 1);
        EXPECT_TRUE(said.contains(QStringLiteral("could not be written: File too large"))) << qPrintable(said);
        attempt([&] { workbook->SaveAs(file); });
    }
    EXPECT_GE(failures, 2);
    EXPECT_TRUE(QDir(folder.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

} // namespace
