// Which release a file's header names, read from the header of every real
// file the tests have and checked against where each file is known to come
// from; the on-disk structure it names against the one in the file's name.

#include "on_disk_format.h"
#include "ods_version.h"
#include "page_bytes.h"
#include "product_names.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

// The first pages of an xz-compressed file: enough for its header.
std::vector<uint8_t> headerOf(const QString &archive)
{
    QProcess xz;
    xz.start(QStringLiteral("xz"), {QStringLiteral("-dc"), archive});
    QByteArray start;
    while (start.size() < 1024 && xz.waitForReadyRead(60000))
        start += xz.readAllStandardOutput();
    xz.kill();
    xz.waitForFinished();
    return std::vector<uint8_t>(start.begin(), start.end());
}

TEST(OdsProductNames, EveryRealFileIsNamedForTheReleaseThatWroteIt)
{
    // By the first characters of the file's name: the release its
    // provenance names (the InterBase files' and the Firebird example
    // database's), or the one its on-disk structure alone tells.
    const struct {
        const char *folder;
        const char *namePrefix;
        const char *release;
    } known[] = {
        {"legacy", "ods10.0-", "Firebird 1.0 or InterBase 6.0"},
        {"legacy", "ods10.1-", "Firebird 1.5 or InterBase 6.5"},
        {"legacy", "ods11.0-", "Firebird 2.0"},
        {"legacy", "ods11.1-", "Firebird 2.1"},
        {"legacy", "ods11.2-", "Firebird 2.5"},
        {"legacy", "ods12.0-", "Firebird 3.0"},
        {"legacy", "ods13.0-", "Firebird 4.0"},
        {"legacy", "ods13.1-", "Firebird 5.0"},
        {"interbase", "twin-ods10.1-ps4096-fb15-", "Firebird 1.5 or InterBase 6.5"},
        {"interbase", "ods12.0-ps4096-ib2007-", "InterBase 2007"},
        {"interbase", "ods13.", "InterBase 2009"},
        {"interbase", "ods15.", "InterBase XE or XE3"},
        {"interbase", "ods16.", "InterBase XE7"},
        {"interbase", "ods18.", "InterBase 2020"},
        {"interbase", "ods19.", "InterBase 15"},
    };
    const QString legacy = QStringLiteral(MARROWBECK_SOURCE_DIR "/tests/data/legacy");
    const QString interbase = QStringLiteral(MARROWBECK_SOURCE_DIR "/../shared/fixtures/interbase");
    const QRegularExpression odsInName(QStringLiteral("ods(\\d+\\.\\d+)-"));
    int read = 0;
    for (const QString &folder : {legacy, interbase}) {
        const QStringList archives = QDir(folder).entryList({QStringLiteral("*.xz")}, QDir::Files);
        for (const QString &archive : archives) {
            SCOPED_TRACE(archive.toStdString());
            const auto release = std::find_if(std::begin(known), std::end(known), [&](const auto &each) {
                return folder.endsWith(QLatin1String(each.folder)) && archive.startsWith(QLatin1String(each.namePrefix));
            });
            ASSERT_NE(release, std::end(known)) << "a file no release is known for";
            const std::vector<uint8_t> start = headerOf(folder + u'/' + archive);
            ASSERT_GE(start.size(), 1024u);
            // Read as the reader reads it, also where it then refuses the file.
            const uint16_t odsWord = ods::get16(start.data() + ods::disk::HeaderPageCommon::odsWord.offset);
            const int minor = ods::get16(start.data() + ods::headerLayoutOf(odsWord).odsMinor.offset);
            const QString expected = QStringLiteral("%1 (on-disk structure %2)")
                                         .arg(QLatin1String(release->release), odsInName.match(archive).captured(1));
            EXPECT_EQ(ods::madeBy(odsWord, minor), expected);
            ++read;
        }
    }
    EXPECT_GE(read, 12);
    if (!QDir(interbase).exists())
        GTEST_SKIP() << "Only the files in the repository were read: the InterBase sample files are not here ("
                     << interbase.toStdString() << "); they are kept out of the repository for want of a licence.";
}

TEST(OdsProductNames, VersionsNoFileHasAreNamedAsUnknownNewerOrOlder)
{
    const struct {
        uint16_t word;
        int minor;
        const char *madeBy;
    } cases[] = {
        {7, 2, "InterBase 3 or older (on-disk structure 7.2)"},
        {20, 0, "an InterBase version newer than InterBase 15 (on-disk structure 20.0)"},
        {0x800d, 2, "a Firebird version newer than 5.0 (on-disk structure 13.2)"},
        {0x800e, 0, "a Firebird version newer than 5.0 (on-disk structure 14.0)"},
        {0x800c, 1, "an unknown Firebird version (on-disk structure 12.1)"},
    };
    for (const auto &each : cases)
        EXPECT_EQ(ods::madeBy(each.word, each.minor).toStdString(), each.madeBy) << std::hex << each.word;
}

} // namespace
