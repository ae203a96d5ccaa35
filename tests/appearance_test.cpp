#include "appearance.h"
#include "artwork.h"
#include "form1.h"
#include "form2.h"
#include "window_fixture.h"
#include "window_parts.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using testing_support::WindowFixture;

using testing_support::part;

namespace {

class AppearanceTest : public WindowFixture {
protected:
    void writeFile(const QString &relative, const QByteArray &bytes)
    {
        const QString path = programFolder.filePath(relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
};

TEST(HandPointer, CursorFileCarriesItsPictureAndHotspot)
{
    const QByteArray file = Main::encodeCursorFile(Main::handPointerImage(), Main::handPointerHotspot());
    QTemporaryDir dir;
    QFile out(dir.filePath(QStringLiteral("HAND-M.CUR")));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(file);
    out.close();
    const QCursor cursor = Main::loadCursorFile(out.fileName());
    EXPECT_EQ(cursor.hotSpot(), QPoint(11, 2));
    EXPECT_EQ(cursor.pixmap().size(), QSize(32, 32));
    // The fingertip is drawn, the corner is transparent.
    const QImage picture = cursor.pixmap().toImage();
    EXPECT_GT(qAlpha(picture.pixel(11, 3)), 0);
    EXPECT_EQ(qAlpha(picture.pixel(0, 31)), 0);
}

TEST(HandPointer, TheBuiltPointerFileLoads)
{
    const QCursor cursor = Main::loadCursorFile(QStringLiteral(MARROWBECK_PROGRAM_DIR "/HAND-M.CUR"));
    EXPECT_EQ(cursor.hotSpot(), Main::handPointerHotspot());
}

TEST(ApplicationIcon, HasItsFourImages)
{
    const QIcon icon = Main::applicationIcon();
    EXPECT_EQ(icon.availableSizes(), QList<QSize>({QSize(32, 32), QSize(48, 48), QSize(128, 128), QSize(256, 256)}));
    EXPECT_FALSE(Main::applicationIconImage(32).hasAlphaChannel());
    EXPECT_TRUE(Main::applicationIconImage(256).hasAlphaChannel());
}

TEST_F(AppearanceTest, WithoutSkinOrPointerFileTheWindowsKeepTheirDesignAndNothingIsReported)
{
    Form1 &window = form1();
    EXPECT_TRUE(window.styleSheet().isEmpty());
    EXPECT_FALSE(part<QLabel>(window, "Label7").autoFillBackground());
    EXPECT_FALSE(window.MousePointer().hasPicture());
    EXPECT_FALSE(form2().MousePointer().hasPicture());
    EXPECT_TRUE(boxes->shown.empty());
    // The table window is recoloured on every run.
    EXPECT_TRUE(form2().autoFillBackground());
    EXPECT_EQ(form2().palette().color(QPalette::Window), Main::buttonFaceColor());
}

TEST_F(AppearanceTest, SkinFileStylesAndRecoloursTheConnectionWindowOnly)
{
    writeFile(QStringLiteral("x/o.cjs"), "QPushButton { color: #123456; }");
    Form1 &window = form1();
    EXPECT_EQ(window.styleSheet(), QStringLiteral("QPushButton { color: #123456; }"));
    EXPECT_EQ(part<QLabel>(window, "Label7").palette().color(QPalette::Window), Main::buttonFaceColor());
    EXPECT_EQ(part<QGroupBox>(window, "Frame1").palette().color(QPalette::Window), Main::buttonFaceColor());
    EXPECT_TRUE(form2().styleSheet().isEmpty());
}

TEST_F(AppearanceTest, SkinFolderInsteadOfAFileCountsAsNoSkin)
{
    QDir().mkpath(programFolder.filePath(QStringLiteral("x/o.cjs")));
    EXPECT_TRUE(form1().styleSheet().isEmpty());
    EXPECT_TRUE(boxes->shown.empty());
}

TEST_F(AppearanceTest, UnreadablePointerFileIsReportedAtItsStepAndTheLoadGoesOn)
{
    writeFile(QStringLiteral("HAND-M.CUR"), "not a cursor");
    database->acceptedConnectionString = QStringLiteral("no saved login connects");
    Form1 &window = form1();
    ASSERT_GE(boxes->shown.size(), 1u);
    EXPECT_TRUE(boxes->shown[0].prompt.contains(QStringLiteral("Form1.Form_Load at line 124")));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Marrowbeck"));
    boxes->shown.clear();
    form2();
    ASSERT_GE(boxes->shown.size(), 1u);
    EXPECT_TRUE(boxes->shown[0].prompt.contains(QStringLiteral("Form2.Form_Load at line 106")));
}

TEST_F(AppearanceTest, PointerFileGivesBothWindowsTheHandOverTheirButtons)
{
    writeFile(QStringLiteral("HAND-M.CUR"), Main::encodeCursorFile(Main::handPointerImage(), Main::handPointerHotspot()));
    Form1 &window = form1();
    ASSERT_TRUE(window.MousePointer().hasPicture());
    window.MousePointer().setValue(99);
    EXPECT_EQ(window.cursor().hotSpot(), QPoint(11, 2));
    EXPECT_TRUE(form2().MousePointer().hasPicture());
}

} // namespace
