// The login's connection string, as the connection window's entries make it
// and as the component reads it.

#include "connection_string.h"

#include <QDir>
#include <QStringList>
#include <gtest/gtest.h>

using dbaccess::parseLogin;

namespace {

QString connectionString(const QString &database, const QString &user, const QString &password)
{
    return dbaccess::connectionString(dbaccess::enteredLogin(database, user, password));
}

QStringList fields(const dbaccess::Login &login)
{
    return {login.database, login.user, login.password, login.role, login.characterSet};
}

TEST(ConnectionString, IsTheElevenPiecesForPlainEntries)
{
    EXPECT_EQ(connectionString(QStringLiteral("C:\\data\\shop.fdb"), QStringLiteral("SYSDBA"), QString()),
              "Provider=MSDASQL.1;Password=;Persist Security Info=true;User ID=SYSDBA;Extended Properties='Driver="
              "Firebird/InterBase(r) driver;Dbname=C:\\data\\shop.fdb ;CHARSET=NONE;UID=SYSDBA;Role=admin'");
    EXPECT_EQ(connectionString(QStringLiteral(" /a b.fdb  "), QString(), QStringLiteral("pw")),
              "Provider=MSDASQL.1;Password=pw;Persist Security Info=true;User ID=;Extended Properties='Driver="
              "Firebird/InterBase(r) driver;Dbname= /a b.fdb   ;CHARSET=NONE;UID=;Role=admin'");
}

TEST(ConnectionString, QuotesOnlyEntriesThatWouldBreakIt)
{
    const QString text = connectionString(QStringLiteral("/d/o'k;{x}.fdb"), QStringLiteral("a\"b"), QStringLiteral("p;'{}\""));
    EXPECT_TRUE(text.startsWith("Provider=MSDASQL.1;Password=\"p;'{}\"\"\";Persist Security Info=true;User ID=\"a\"\"b\";"))
        << text.toStdString();
    EXPECT_TRUE(text.contains("Dbname={/d/o''k;{x}}.fdb} ;CHARSET=NONE;UID={a\"b};Role=admin'")) << text.toStdString();
}

TEST(ConnectionString, ReadsBackExactlyWhatWasTyped)
{
    const QStringList entries{QString(), QStringLiteral("SYSDBA"), QStringLiteral("/srv/db/shop.fdb"),
                              QStringLiteral("localhost/3051:/srv/a b.fdb"), QStringLiteral(" lead"),
                              QStringLiteral("trail "), QStringLiteral("  "), QStringLiteral("a;b"),
                              QStringLiteral("'quoted'"), QStringLiteral("\"dq\""), QStringLiteral("{brace}"),
                              QStringLiteral("}}{{"), QStringLiteral("x=y;z=w"), QStringLiteral("Role=admin'"),
                              QStringLiteral(u"Jürgen ü €"), QStringLiteral("'; Extended Properties='x"),
                              QStringLiteral("tab\there"), QStringLiteral(" {a} ")};
    for (const QString &database : entries)
        for (const QString &user : entries)
            for (const QString &password : {entries[0], entries[7], entries[9], entries[15], entries[17]}) {
                const auto settings = parseLogin(connectionString(database, user, password));
                EXPECT_EQ(settings.database, database);
                EXPECT_EQ(settings.user, user);
                EXPECT_EQ(settings.password, password);
                EXPECT_EQ(settings.role, "admin");
                EXPECT_EQ(settings.characterSet, "NONE");
            }
}

// A login of any role and character set comes back whole from its string,
// each of its values in every place.
TEST(ConnectionString, ReadsBackEveryLogin)
{
    const QStringList values{QString(), QStringLiteral("admin"), QStringLiteral("NONE"), QStringLiteral(" lead"),
                             QStringLiteral("trail "), QStringLiteral("  "), QStringLiteral("a;b"),
                             QStringLiteral("'q'"), QStringLiteral("\"dq\""), QStringLiteral("{b} "),
                             QStringLiteral("}}{{"), QStringLiteral("x=y;Role=r;CHARSET=c"),
                             QStringLiteral(u"Jürgen €"), QStringLiteral("tab\there")};
    const qsizetype n = values.size();
    for (qsizetype i = 0; i < n; ++i)
        for (qsizetype j = 0; j < n; ++j) {
            const dbaccess::Login login{values[i], values[j], values[(i + j) % n], values[(i + 2 * j + 1) % n],
                                        values[(2 * i + j + 3) % n]};
            EXPECT_EQ(fields(parseLogin(dbaccess::connectionString(login))), fields(login));
        }
}

// What a file manager's drag and a shell's habits put into the database box
// opens the file they name; anything else stays as typed.
TEST(ConnectionString, OpensTheLocalFileAFileAddressOrAHomePathNames)
{
    const QString home = QDir::homePath();
    const std::vector<std::pair<QString, QString>> cases{
        {"file:///home/u/My%20Data.fdb", "/home/u/My Data.fdb"},
        {"FILE://localhost/srv/100%25%20sure.fdb", "/srv/100% sure.fdb"},
        {"file://LOCALHOST/srv/a.fdb", "/srv/a.fdb"},
        {"file:/srv/a.fdb", "/srv/a.fdb"},
        {"file:///srv/J%C3%BCrgen/L%C3%A4den.fdb", QString::fromUtf8("/srv/Jürgen/Läden.fdb")},
        {"file:///srv/o'k;%7Bx%7D%3A1.fdb", "/srv/o'k;{x}:1.fdb"},
        {"file:///srv/a%23b%3Fc.fdb", "/srv/a#b?c.fdb"},
        {"~/data.fdb", home + "/data.fdb"},
        {"~/My Data/a:b.fdb", home + "/My Data/a:b.fdb"},
        // As typed: another computer's file, other users' homes, a tilde
        // that does not begin the path, servers, and a leading blank.
        {"file://fileserver/share/a.fdb", "file://fileserver/share/a.fdb"},
        {"~other/a.fdb", "~other/a.fdb"},
        {"~", "~"},
        {"/srv/~/a.fdb", "/srv/~/a.fdb"},
        {"./~/a.fdb", "./~/a.fdb"},
        {"localhost:~/a.fdb", "localhost:~/a.fdb"},
        {"localhost:/srv/file:///a.fdb", "localhost:/srv/file:///a.fdb"},
        {" file:///a.fdb", " file:///a.fdb"},
        {"/srv/My%20Data.fdb", "/srv/My%20Data.fdb"}};
    for (const auto &[typed, opened] : cases) {
        EXPECT_EQ(dbaccess::databaseLocation(typed), opened) << typed.toStdString();
        const auto settings = parseLogin(connectionString(typed, QStringLiteral("SYSDBA"), QStringLiteral("pw")));
        EXPECT_EQ(settings.database, opened) << typed.toStdString();
        EXPECT_EQ(settings.user, "SYSDBA");
    }
}

TEST(ConnectionStringParser, FollowsTheAdoAndOdbcQuotingRules)
{
    const auto entries = dbaccess::parseConnectionString(
        QStringLiteral(" A = 1 ;B='x;''y';C=\"p\"\"q\" ;D={r;}}s};E;;F=unclosed 'q;G=v=w"));
    ASSERT_EQ(entries.size(), 6u); // "E" names nothing
    EXPECT_EQ(entries[0].key, "A");
    EXPECT_EQ(entries[0].value, " 1 ");
    EXPECT_EQ(entries[1].value, "x;'y");
    EXPECT_EQ(entries[2].value, "p\"q");
    EXPECT_EQ(entries[3].value, "r;}s");
    EXPECT_EQ(entries[4].key, "F");
    EXPECT_EQ(entries[4].value, "unclosed 'q");
    EXPECT_EQ(entries[5].key, "G");
    EXPECT_EQ(entries[5].value, "v=w");
    EXPECT_TRUE(entries[3].quoted);
    EXPECT_FALSE(entries[4].quoted);
}

TEST(ConnectionStringParser, TakesTheDriverValueBeforeTheProviderValue)
{
    const auto settings = parseLogin(QStringLiteral(
        "Password=outer;User ID=outerUser;Extended Properties='Dbname=/x.fdb ;UID=inner;UID=second;Role=r'"));
    EXPECT_EQ(settings.user, "inner");
    EXPECT_EQ(settings.password, "outer");
    EXPECT_EQ(settings.database, "/x.fdb");
    EXPECT_EQ(settings.characterSet, "");
    EXPECT_EQ(parseLogin(QStringLiteral("User ID=u;Extended Properties='Dbname={/x.fdb }'")).database, "/x.fdb ");
}

TEST(DatabaseLocation, ServerNamesAreToldFromFilePaths)
{
    for (const char *server : {"localhost:/srv/a.fdb", "127.0.0.1:/a.fdb", "db/3051:/a.fdb", "host:employee",
                               "[::1]:/a.fdb", "inet://host/a.fdb", "C:\\data\\shop.fdb"})
        EXPECT_TRUE(dbaccess::namesServer(QString::fromLatin1(server))) << server;
    for (const char *file : {"/srv/a.fdb", "/srv/a:b.fdb", "relative.fdb", "./x:y.fdb", "../x:y.fdb", ":odd", "a/b/c:d", ""})
        EXPECT_FALSE(dbaccess::namesServer(QString::fromLatin1(file))) << file;
}

} // namespace
