// Whatever three entries are typed in the connection window, the database
// access component must read back exactly those three from the string their
// login makes (the database as the file it names); any login at all comes
// back whole; and no string, however malformed, may crash the parser.

#include "connection_string.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text = fuzz::utf16(data, size);

    // The parser on hostile text, read both as UTF-16 and as UTF-8 so that
    // the corpus's readable seeds exercise it too.
    for (const QString &hostile : {text, QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size))}) {
        const auto settings = dbaccess::parseLogin(hostile);
        dbaccess::namesServer(settings.database);
        dbaccess::namesServer(hostile);
    }

    const QStringList parts = fuzz::entries(text, 5);
    const QString &database = parts[0];
    const QString &user = parts[1];
    const QString &password = parts[2];
    const QString built = dbaccess::connectionString(dbaccess::enteredLogin(database, user, password));
    const auto settings = dbaccess::parseLogin(built);
    if (settings.database != dbaccess::databaseLocation(database))
        fuzz::fail("database does not round-trip", database, settings.database);
    if (settings.user != user)
        fuzz::fail("user does not round-trip", user, settings.user);
    if (settings.password != password)
        fuzz::fail("password does not round-trip", password, settings.password);
    // An entry must never leak into the settings the window fixes itself.
    if (settings.role != QLatin1String("admin") || settings.characterSet != QLatin1String("NONE"))
        fuzz::fail("an entry changed the role or the character set", built, settings.role + u'|' + settings.characterSet);

    const dbaccess::Login login{database, user, password, parts[3], parts[4]};
    const QString any = dbaccess::connectionString(login);
    if (dbaccess::parseLogin(any) != login)
        fuzz::fail("a login does not round-trip", any, dbaccess::parseLogin(any).database);
    return 0;
}
