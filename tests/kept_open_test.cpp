// The steps of one export each open a connection of their own: they find
// the file opened last and its catalogue read while the file is unchanged,
// and read it afresh once it changed in place, was replaced, or is opened
// for another login.

#include "ods_session.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(KeptOpen, AnUnchangedFileIsReadOnceAndAChangedOneAgain)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("kept.fdb"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(MARROWBECK_PROGRAM_DIR "/Samples/sample.fdb"), path));
    dbaccess::Login login{path, QStringLiteral("SYSDBA"), QStringLiteral("masterkey"), {}, {}};
    const auto catalogueOf = [](const dbaccess::Login &settings) {
        const auto session = dbaccess::OdsSession::open(settings);
        const auto database = session->currentPicture().database;
        session->close();
        return database;
    };

    const auto first = catalogueOf(login);
    const auto file = dbaccess::openedFile(path);
    EXPECT_EQ(catalogueOf(login), first) << "an unchanged file is read again";
    EXPECT_EQ(dbaccess::openedFile(path), file) << "an unchanged file is opened again";

    dbaccess::Login other = login;
    other.user = QStringLiteral("READER");
    const auto forOther = catalogueOf(other);
    EXPECT_NE(forOther, first) << "another login takes the catalogue read for the first";

    // Grown in place (a page more): the same file, a new state of it.
    {
        QFile grown(path);
        ASSERT_TRUE(grown.open(QIODevice::Append));
        grown.write(QByteArray(int(first->facts().pageSize), '\0'));
    }
    const auto afterGrowth = catalogueOf(other);
    EXPECT_NE(afterGrowth, forOther);
    EXPECT_EQ(dbaccess::openedFile(path), file);

    // Another file put at the path is opened anew.
    const QString replacement = folder.filePath(QStringLiteral("replacement.fdb"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(MARROWBECK_PROGRAM_DIR "/Samples/sample.fdb"), replacement));
    ASSERT_EQ(::rename(QFile::encodeName(replacement).constData(), QFile::encodeName(path).constData()), 0);
    EXPECT_NE(catalogueOf(other), afterGrowth);
    EXPECT_NE(dbaccess::openedFile(path), file);
}

} // namespace
