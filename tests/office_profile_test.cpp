// Where the office's private profile goes.

#include "office_profile.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A home or cache folder may hold any character a file name can: "%1" in it
// is text, not a place for the profile's number.
TEST(OfficeProfile, IsNumberedInsideACacheFolderWhosePathHoldsPlaceholders)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString cache = root.filePath(QStringLiteral("home %1 %2/.cache"));
    const QByteArray previous = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache));
    const calc::OfficeProfile profile = calc::OfficeProfile::claim();
    qputenv("XDG_CACHE_HOME", previous);
    EXPECT_EQ(profile.folder(), cache + QStringLiteral("/marrowbeck/office-profiles/1"));
    EXPECT_TRUE(QDir(profile.folder()).exists());
}

} // namespace
