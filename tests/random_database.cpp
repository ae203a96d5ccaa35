#include "random_database.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <cmath>
#include <functional>
#include <random>

namespace db_test {

namespace {

struct Charset {
    const char *name;
    const char16_t *alphabet; // characters the set can hold
};

const Charset charsets[] = {
    {"NONE", u"abcXYZ 019-_"},
    {"ASCII", u"plain ASCII text ~!"},
    {"UTF8", u"héllo ✓ 山田 Ωß😀"},
    {"UNICODE_FSS", u"héllo 山田 Ω"},
    {"WIN1252", u"Grüße € café"},
    {"WIN1251", u"Привет мир"},
    {"ISO8859_1", u"Grüße café ñ"},
    {"KOI8R", u"Привет"},
    {"GBK", u"中文字符 abc"},
    {"SJIS_0208", u"日本語かな"},
    {"WIN1250", u"Łódź čeština"},
};

class Maker {
public:
    explicit Maker(unsigned seed) : m_random(seed) {}

    int below(int n) { return int(m_random() % unsigned(n)); }
    bool chance(int percent) { return below(100) < percent; }

    QString text(const Charset &charset, int maxCharacters)
    {
        const QString alphabet = QString::fromUtf16(charset.alphabet);
        QList<uint> points = alphabet.toUcs4();
        QString out;
        const int length = below(maxCharacters + 1);
        for (int i = 0; i < length; ++i) {
            const char32_t point = points[below(int(points.size()))];
            out += QString::fromUcs4(&point, 1);
        }
        out.replace(u'\'', QStringLiteral("''"));
        return u'\'' + out + u'\'';
    }

    struct Column {
        QString declaration;
        std::function<QString()> value;
    };

    Column column()
    {
        const auto number = [this](long long span, int decimals) {
            return [this, span, decimals] {
                const long long raw = (long long)(m_random() % (2 * span + 1)) - span;
                QString text = QString::number(raw);
                if (decimals > 0) {
                    const bool negative = raw < 0;
                    QString digits = QString::number(negative ? -raw : raw).rightJustified(decimals + 1, u'0');
                    text = (negative ? QStringLiteral("-") : QString()) + digits.left(digits.size() - decimals) + u'.'
                        + digits.right(decimals);
                }
                return text;
            };
        };
        switch (below(15)) {
        case 0: return {QStringLiteral("SMALLINT"), number(32767, 0)};
        case 1: return {QStringLiteral("INTEGER"), number(2147483647, 0)};
        case 2: return {QStringLiteral("BIGINT"), number(9000000000000000000LL, 0)};
        case 3: return {QStringLiteral("NUMERIC(4,2)"), number(9999, 2)};
        case 4: return {QStringLiteral("NUMERIC(9,3)"), number(999999999, 3)};
        case 5: return {QStringLiteral("DECIMAL(18,4)"), number(999999999999999999LL, 4)};
        case 6: return {QStringLiteral("FLOAT"), [this] { return QString::number(double(below(2000000) - 1000000) / 64.0); }};
        case 7: return {QStringLiteral("DOUBLE PRECISION"), [this] { return QString::number(std::ldexp(double(m_random()), below(80) - 40), 'g', 17); }};
        case 8: return {QStringLiteral("DATE"), [this] { return QStringLiteral("DATE '%1-%2-%3'").arg(1 + below(9998), 4, 10, QChar(u'0')).arg(1 + below(12)).arg(1 + below(28)); }};
        case 9: return {QStringLiteral("TIME"), [this] { return QStringLiteral("TIME '%1:%2:%3.%4'").arg(below(24)).arg(below(60)).arg(below(60)).arg(below(10000), 4, 10, QChar(u'0')); }};
        case 10: return {QStringLiteral("TIMESTAMP"), [this] { return QStringLiteral("TIMESTAMP '%1-%2-%3 %4:%5:%6.%7'").arg(1 + below(9998), 4, 10, QChar(u'0')).arg(1 + below(12)).arg(1 + below(28)).arg(below(24)).arg(below(60)).arg(below(60)).arg(below(10000), 4, 10, QChar(u'0')); }};
        case 11: return {QStringLiteral("BOOLEAN"), [this] { return chance(50) ? QStringLiteral("TRUE") : QStringLiteral("FALSE"); }};
        case 12: {
            const Charset &charset = charsets[below(int(std::size(charsets)))];
            const int length = 1 + below(40);
            const bool fixed = chance(40);
            return {QStringLiteral("%1(%2) CHARACTER SET %3").arg(QLatin1String(fixed ? "CHAR" : "VARCHAR"), QString::number(length), charset.name),
                    [this, &charset, length] { return text(charset, length); }};
        }
        case 13: {
            const Charset &charset = charsets[below(int(std::size(charsets)))];
            return {QStringLiteral("BLOB SUB_TYPE TEXT CHARACTER SET %1").arg(charset.name),
                    [this, &charset] { return text(charset, chance(10) ? 3000 : 60); }};
        }
        default:
            return {QStringLiteral("BLOB SUB_TYPE BINARY"), [this] {
                        QByteArray bytes(below(300), '\0');
                        for (auto &b : bytes)
                            b = char(m_random());
                        return QStringLiteral("x'%1'").arg(QString::fromLatin1(bytes.toHex()));
                    }};
        }
    }

private:
    std::mt19937 m_random;
};

} // namespace

QByteArray randomDatabaseScript(unsigned seed)
{
    Maker make(seed);
    QStringList script;
    const int tables = 2 + make.below(4);
    for (int t = 1; t <= tables; ++t) {
        const QString table = QStringLiteral("\"T%1 %2\"").arg(t).arg(seed);
        std::vector<Maker::Column> columns;
        QStringList declarations{QStringLiteral("ID INTEGER NOT NULL")};
        const int count = 1 + make.below(10);
        for (int c = 1; c <= count; ++c) {
            columns.push_back(make.column());
            declarations << QStringLiteral("C%1 %2").arg(c).arg(columns.back().declaration);
        }
        if (make.chance(40))
            declarations << QStringLiteral("DOUBLED COMPUTED BY (ID * 2)");
        declarations << QStringLiteral("LONG_TEXT VARCHAR(12000)");
        script << QStringLiteral("CREATE TABLE %1 (%2);").arg(table, declarations.join(QStringLiteral(", ")));
        script << QStringLiteral("CREATE VIEW \"V%1 %2\" AS SELECT ID, C1 FROM %3 WHERE MOD(ID, 3) <> 0;").arg(t).arg(seed).arg(table);
        script << QStringLiteral("COMMIT;");
        const auto row = [&](int id) {
            QStringList values{QString::number(id)};
            for (auto &column : columns)
                values << (make.chance(15) ? QStringLiteral("NULL") : column.value());
            // Longer than a page and not compressible: a fragmented record.
            values << (make.chance(5) ? QStringLiteral("LPAD('', 9000, UUID_TO_CHAR(GEN_UUID()))") : QStringLiteral("NULL"));
            return values.join(u',');
        };
        const int rows = make.below(120);
        for (int id = 1; id <= rows; ++id)
            script << QStringLiteral("INSERT INTO %1 VALUES (%2);").arg(table, row(id));
        script << QStringLiteral("COMMIT;");
        for (int i = 0; rows > 0 && i < rows / 4; ++i) {
            const int id = 1 + make.below(rows);
            if (make.chance(30))
                script << QStringLiteral("DELETE FROM %1 WHERE ID = %2;").arg(table, QString::number(id));
            else
                script << QStringLiteral("UPDATE %1 SET C1 = %2 WHERE ID = %3;").arg(table, columns[0].value(), QString::number(id));
            if (make.chance(20))
                script << QStringLiteral("COMMIT;");
        }
        script << QStringLiteral("COMMIT;");
        // Rolled back without undo: its versions stay in the file, marked dead.
        script << QStringLiteral("SET TRANSACTION NO AUTO UNDO;");
        for (int i = 0; rows > 0 && i < 5; ++i) {
            const int id = 1 + make.below(rows);
            script << QStringLiteral("UPDATE %1 SET C1 = %2 WHERE ID = %3;").arg(table, columns[0].value(), QString::number(id));
            script << QStringLiteral("DELETE FROM %1 WHERE ID = %2;").arg(table, QString::number(1 + make.below(rows)));
            script << QStringLiteral("INSERT INTO %1 VALUES (%2);").arg(table, row(rows + 1 + i));
        }
        script << QStringLiteral("ROLLBACK;");
    }
    return script.join(u'\n').toUtf8() + '\n';
}

QByteArray blobLevelsScript()
{
    // Doubling a 1,000-byte line: 1 KB stays in the record's page, 64 KB
    // needs a pointer page, 8 MB pages of pointer pages.
    return "CREATE TABLE BLOBS (ID INTEGER, CONTENT BLOB SUB_TYPE TEXT CHARACTER SET NONE, RAW BLOB SUB_TYPE BINARY);\n"
           "COMMIT;\n"
           "SET TERM ^ ;\n"
           "EXECUTE BLOCK AS DECLARE b BLOB SUB_TYPE TEXT CHARACTER SET NONE; DECLARE i INTEGER = 0; BEGIN\n"
           "  b = LPAD('', 1000, '0123456789abcdefghijklmnopqrstuvwxyz');\n"
           "  WHILE (i <= 13) DO BEGIN\n"
           "    IF (i IN (0, 6, 13)) THEN INSERT INTO BLOBS VALUES (:i, :b, CAST(:b AS BLOB SUB_TYPE BINARY));\n"
           "    b = b || b; i = i + 1;\n"
           "  END\n"
           "  INSERT INTO BLOBS VALUES (100, '', NULL);\n"
           "END^\n"
           "SET TERM ; ^\n";
}

} // namespace db_test
