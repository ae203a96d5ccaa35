#include "xlsx_file_xml.h"

#include <QProcess>
#include <QRegularExpression>
#include <QXmlStreamReader>

namespace testing_support {
namespace {

// One entry of the zip file, through Python's own zip module: no zip
// reader of ours to be wrong the same way as the writer.
QByteArray zipEntry(const QString &file, const QString &entry)
{
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import sys, zipfile; sys.stdout.buffer.write(zipfile.ZipFile(sys.argv[1]).read(sys.argv[2]))"),
                  file, entry});
    python.waitForFinished(60000);
    return python.readAllStandardOutput();
}

// The attributes of each element of the given name, in document order.
QList<QXmlStreamAttributes> elements(const QByteArray &xml, const QString &name)
{
    QList<QXmlStreamAttributes> found;
    for (QXmlStreamReader reader(xml); !reader.atEnd();) {
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == name)
            found << reader.attributes();
    }
    return found;
}

QString attribute(const QXmlStreamAttributes &attributes, const QString &qualifiedName)
{
    for (const QXmlStreamAttribute &a : attributes) {
        if (a.qualifiedName() == qualifiedName)
            return a.value().toString();
    }
    return QString();
}

std::pair<int, int> cellPosition(const QString &reference)
{
    const qsizetype digits = reference.indexOf(QRegularExpression(QStringLiteral("[0-9]")));
    int column = 0;
    for (const QChar letter : reference.left(digits))
        column = column * 26 + (letter.unicode() - u'A' + 1);
    return {reference.mid(digits).toInt(), column};
}

// The number format code of each cell style, by the style's index.
QStringList styleFormats(const QByteArray &styles)
{
    QMap<QString, QString> codes;
    for (const auto &format : elements(styles, QStringLiteral("numFmt")))
        codes[attribute(format, QStringLiteral("numFmtId"))] = attribute(format, QStringLiteral("formatCode"));
    QStringList formats;
    bool inCellStyles = false;
    for (QXmlStreamReader reader(styles); !reader.atEnd();) {
        reader.readNext();
        if (reader.name() == u"cellXfs")
            inCellStyles = reader.isStartElement();
        else if (inCellStyles && reader.isStartElement() && reader.name() == u"xf")
            formats << codes.value(attribute(reader.attributes(), QStringLiteral("numFmtId")));
    }
    return formats;
}

} // namespace

QByteArray xlsxPart(const QString &file, const QString &part) { return zipEntry(file, part); }

QString numberCell(double value) { return QStringLiteral("number:") + QString::number(value, 'g', 17); }

QList<XlsxSheetXml> xlsxSheets(const QString &file)
{
    QMap<QString, QString> targets;
    for (const auto &relation : elements(zipEntry(file, QStringLiteral("xl/_rels/workbook.xml.rels")), QStringLiteral("Relationship")))
        targets[attribute(relation, QStringLiteral("Id"))] = attribute(relation, QStringLiteral("Target"));
    const QStringList formats = styleFormats(zipEntry(file, QStringLiteral("xl/styles.xml")));
    QList<XlsxSheetXml> sheets;
    for (const auto &sheet : elements(zipEntry(file, QStringLiteral("xl/workbook.xml")), QStringLiteral("sheet"))) {
        XlsxSheetXml read{attribute(sheet, QStringLiteral("name")), {}, {}, {}};
        QXmlStreamReader xml(zipEntry(file, QStringLiteral("xl/") + targets[attribute(sheet, QStringLiteral("r:id"))]));
        std::pair<int, int> position;
        QString type;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == u"c") {
                position = cellPosition(attribute(xml.attributes(), QStringLiteral("r")));
                type = attribute(xml.attributes(), QStringLiteral("t"));
                const QString style = attribute(xml.attributes(), QStringLiteral("s"));
                if (!style.isEmpty() && !formats.value(style.toInt()).isEmpty())
                    read.formats[position] = formats.value(style.toInt());
                if (type == u"b")
                    read.booleans << position;
                continue;
            }
            if (xml.name() != u"t" && xml.name() != u"v")
                continue;
            const QString value = xml.readElementText();
            read.cells[position] = type == u"inlineStr" || type == u"str" ? QStringLiteral("text:") + value
                                 : type == u"s"                        ? QStringLiteral("shared string")
                                                                       : numberCell(value.toDouble());
        }
        sheets << read;
    }
    return sheets;
}

} // namespace testing_support
