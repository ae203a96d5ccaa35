// The folder of private copies under pressure: a killed copy, a disk too
// small or filling up, and the size limit. Small filesystems are mounted
// over the copies folder (tmpfs), so these tests need root.

#include "cache_folder.h"
#include "firebird_scratch_database.h"
#include "local_file.h"
#include "ods_connection.h"
#include "register_database_access.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <functional>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using db_test::failureOf;
using db_test::query;

// A tmpfs of the given size over a folder, for one test.
class SmallFilesystem {
public:
    SmallFilesystem(const QString &folder, const QByteArray &size) : m_folder(QFile::encodeName(folder))
    {
        m_mounted = ::mount("tmpfs", m_folder.constData(), "tmpfs", 0, ("size=" + size + ",mode=0700").constData()) == 0;
    }
    ~SmallFilesystem()
    {
        if (m_mounted)
            ::umount2(m_folder.constData(), MNT_DETACH);
    }
    bool mounted() const { return m_mounted; }

private:
    QByteArray m_folder;
    bool m_mounted = false;
};

// A file the reader takes for a database (its first page says header page):
// its size in apparent bytes, sparse, so it costs no disk.
QString fakeDatabase(const QTemporaryDir &folder, qint64 bytes)
{
    const QString path = folder.filePath(QStringLiteral("big.fdb"));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    QByteArray header(1024, '\0');
    header[0] = 1;
    header[17] = 0x10; // pages of 4096 bytes
    file.write(header);
    file.resize(bytes);
    return path;
}

QStringList filesIn(const QString &folder)
{
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    names.removeIf([](const QString &name) { return name.startsWith(QStringLiteral("live-")); });
    return names;
}

void setLastUsed(const QString &path, int hoursAgo)
{
    const struct timespec times[2] = {{::time(nullptr) - hoursAgo * 3600, 0}, {::time(nullptr) - hoursAgo * 3600, 0}};
    ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0);
}

class CopiesCache : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (::getuid() != 0)
            GTEST_SKIP() << "needs root to mount a small filesystem over the copies folder";
        embeddedLockFolder();
        registerDatabaseAccessComponents();
        folder = dbaccess::copiesFolder();
    }

    QString folder;
};

// First, before any engine thread runs: the child is a fork of this process.
TEST_F(CopiesCache, ACopyKilledHalfWayIsSweptWhileALiveProcesssPartialCopyStays)
{
    QTemporaryDir source;
    const dbaccess::FileVersion version = dbaccess::inspectLocalFile(fakeDatabase(source, qint64(4) << 30));
    const pid_t child = ::fork();
    if (child == 0) {
        try {
            dbaccess::byteCopy(version);
        } catch (...) {
        }
        ::_exit(0);
    }
    QElapsedTimer clock;
    clock.start();
    QString partial;
    while (partial.isEmpty() && clock.elapsed() < 20000) {
        for (const QFileInfo &file : QDir(folder).entryInfoList({QStringLiteral("*.part*")}, QDir::Files))
            if (file.size() > 0)
                partial = file.filePath();
        QThread::msleep(1);
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ASSERT_FALSE(partial.isEmpty()) << "the child never started its copy";
    ASSERT_TRUE(QFileInfo::exists(partial));

    const QString mine = dbaccess::partialName(folder + QStringLiteral("/being-written.fdb"));
    QFile(mine).open(QIODevice::WriteOnly);
    dbaccess::sweepAbandonedCopies(folder);
    EXPECT_EQ(QDir(folder).entryList({QStringLiteral("*.part*")}, QDir::Files), QStringList{QFileInfo(mine).fileName()});
    EXPECT_FALSE(QFileInfo::exists(folder + QStringLiteral("/live-%1.lock").arg(child)));
    QFile::remove(mine);
}

TEST_F(CopiesCache, TheViewsOfAFileThatDoesNotFitAreSkippedWithOneMessageAndItsTablesStillRead)
{
    auto database = ScratchDatabase::embedded("CREATE TABLE T (ID INTEGER, NAME VARCHAR(10));\n"
                                              "INSERT INTO T VALUES (1, 'one');\n"
                                              "CREATE VIEW V1 AS SELECT NAME FROM T;\n"
                                              "CREATE VIEW V2 AS SELECT ID FROM T;\nCOMMIT;\n");
    SmallFilesystem cache(folder, "16m");
    ASSERT_TRUE(cache.mounted());
    dbaccess::OdsConnection connection;
    connection.openFile(dbaccess::parseLogin(database->connectionString()));

    auto table = query(connection, QStringLiteral("SELECT * FROM \"T\""));
    ASSERT_EQ(table->RecordCount(), 1);
    EXPECT_EQ(*(*table)[1].value(), QStringLiteral("one"));
    const QString first = failureOf([&] { query(connection, QStringLiteral("SELECT * FROM \"V1\"")); });
    EXPECT_TRUE(first.startsWith(QStringLiteral("There is not enough free space in the program's cache for a private "
                                                "copy of \"%1\": it needs ").arg(database->file()))) << qPrintable(first);
    EXPECT_TRUE(first.endsWith(QStringLiteral(" MB in \"%1\", where only 16 MB is free.").arg(folder))) << qPrintable(first);
    EXPECT_EQ(failureOf([&] { query(connection, QStringLiteral("SELECT * FROM \"V2\"")); }),
              QStringLiteral("The view \"V2\" of \"%1\" cannot be read: the private copy it needs could not be made, "
                             "as reported before.").arg(database->file()));
    EXPECT_EQ(filesIn(folder), QStringList());
    connection.Close();
}

// The file grows while it is copied, past what was checked: the disk fills,
// and the partial copy goes with the failure.
TEST_F(CopiesCache, AFailedWriteRemovesItsPartialCopyAndGivesTheSystemsReason)
{
    QTemporaryDir source;
    const QString path = fakeDatabase(source, 1 << 20);
    const dbaccess::FileVersion version = dbaccess::inspectLocalFile(path);
    QFile(path).resize(qint64(100) << 20);
    SmallFilesystem cache(folder, "80m");
    ASSERT_TRUE(cache.mounted());
    EXPECT_EQ(failureOf([&] { dbaccess::byteCopy(version); }),
              QStringLiteral("A private copy of \"%1\" cannot be made in the program's cache \"%2\": the disk is full "
                             "(No space left on device).").arg(path, folder));
    EXPECT_EQ(filesIn(folder), QStringList());
}

// Copies are sparse files here: the limit counts their sizes, the disk only
// what they hold.
TEST_F(CopiesCache, TheLeastRecentlyUsedCopiesGoForTheSizeLimitAndForRoomOnTheDisk)
{
    SmallFilesystem cache(folder, "100m");
    ASSERT_TRUE(cache.mounted());
    const auto copy = [&](const QString &name, qint64 bytes, int hoursAgo, bool sparse) {
        QFile file(folder + u'/' + name);
        file.open(QIODevice::WriteOnly);
        if (sparse)
            file.resize(bytes);
        else
            file.write(QByteArray(int(bytes), 'x'));
        file.close();
        setLastUsed(file.fileName(), hoursAgo);
    };
    // Over the 2 GB limit by 1.6 GB; the oldest is in use here.
    dbaccess::markInUse(folder + QStringLiteral("/a.fdb"));
    copy(QStringLiteral("a.fdb"), qint64(900) << 20, 4, true);
    copy(QStringLiteral("b.fdb"), qint64(900) << 20, 3, true);
    copy(QStringLiteral("b.fdb.failures.json"), 2, 3, false);
    copy(QStringLiteral("c.fdb"), qint64(900) << 20, 2, true);
    copy(QStringLiteral("d.fdb"), qint64(900) << 20, 1, true);
    dbaccess::makeRoomFor(folder, 10 << 20, QStringLiteral("new.fdb"));
    EXPECT_EQ(filesIn(folder), (QStringList{QStringLiteral("a.fdb"), QStringLiteral("d.fdb")}));

    // Under the limit, but the disk lacks room for 10 MB and the margin.
    QFile::remove(folder + QStringLiteral("/d.fdb"));
    copy(QStringLiteral("old.fdb"), 40 << 20, 2, false);
    copy(QStringLiteral("recent.fdb"), 10 << 20, 1, false);
    dbaccess::makeRoomFor(folder, 10 << 20, QStringLiteral("new.fdb"));
    EXPECT_EQ(filesIn(folder), (QStringList{QStringLiteral("a.fdb"), QStringLiteral("recent.fdb")}));
}

// A power cut can leave a copy cut short, or its pages never written, under
// its final name: the next run makes it again instead of failing on it for
// good. A whole copy is kept, and one another process chose moments ago
// (not attached yet, so not held) is not dropped for room.
TEST_F(CopiesCache, ACopyCutAfterItsRenameIsMadeAgainAndOneJustChosenIsNotDropped)
{
    QTemporaryDir source;
    const dbaccess::FileVersion version = dbaccess::inspectLocalFile(fakeDatabase(source, 1 << 20));
    struct Case {
        const char *what;
        std::function<void(const QString &)> damage;
        bool madeAgain;
    };
    const Case cases[] = {
        {"whole", [](const QString &) {}, false},
        {"cut to half", [](const QString &copy) { QFile(copy).resize(1 << 19); }, true},
        {"cut to nothing", [](const QString &copy) { QFile(copy).resize(0); }, true},
        {"its first page never written", [](const QString &copy) {
             QFile file(copy);
             file.open(QIODevice::ReadWrite);
             file.write(QByteArray(4096, '\0'));
         }, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const QString copy = dbaccess::byteCopy(version);
        ASSERT_EQ(QFileInfo(copy).size(), 1 << 20);
        c.damage(copy);
        const auto inodeOf = [](const QString &path) {
            struct stat info {};
            ::stat(QFile::encodeName(path).constData(), &info);
            return info.st_ino;
        };
        const ino_t before = inodeOf(copy);
        EXPECT_EQ(dbaccess::byteCopy(version), copy);
        EXPECT_EQ(QFileInfo(copy).size(), 1 << 20);
        if (!c.madeAgain) {
            EXPECT_EQ(inodeOf(copy), before) << "a whole copy is reused";
        }
        QFile file(copy);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.read(18).back(), '\x10');
    }
    SmallFilesystem cache(folder, "100m");
    ASSERT_TRUE(cache.mounted());
    QFile chosen(folder + QStringLiteral("/chosen.fdb"));
    ASSERT_TRUE(chosen.open(QIODevice::WriteOnly));
    chosen.write(QByteArray(60 << 20, 'x'));
    chosen.close();
    // No room then, said as such; the copy stays all the same.
    EXPECT_TRUE(failureOf([&] { dbaccess::makeRoomFor(folder, 30 << 20, QStringLiteral("new.fdb")); })
                    .startsWith(QStringLiteral("There is not enough free space")));
    EXPECT_TRUE(chosen.exists()) << "dropped before its chooser could attach it";
}

} // namespace
