#include "literal_progress_bar.h"

#include <QAccessible>
#include <gtest/gtest.h>

namespace {

QString describedText(QWidget &widget)
{
    return QAccessible::queryAccessibleInterface(&widget)->text(QAccessible::Description);
}

// A screen reader learns the status text once the bar shows it, and every
// later text replaces it rather than piling up.
TEST(ProgressBarAccessibility, DescriptionFollowsThePaintedText)
{
    frame::LiteralProgressBar bar;
    bar.resize(300, 20);
    bar.setText(QStringLiteral("Processing: CUSTOMER"));
    bar.grab();
    EXPECT_EQ(describedText(bar), QStringLiteral("Processing: CUSTOMER"));
    bar.setText(QStringLiteral("Processing: ORDERS"));
    bar.grab();
    EXPECT_EQ(describedText(bar), QStringLiteral("Processing: ORDERS"));
}

// The export hands the bar a text per cell; only the ones painted or read
// are made, and they are exactly what a plain text would have shown.
TEST(ProgressBarText, ATextMadeOnDemandIsTheOnePaintedAndReadAndAReplacedOneIsNeverMade)
{
    frame::LiteralProgressBar bar;
    bar.resize(300, 20);
    int made = 0;
    bar.setText([&] {
        ++made;
        return QStringLiteral("row 1");
    });
    bar.setText([&] {
        ++made;
        return QStringLiteral("row 2");
    });
    bar.grab();
    EXPECT_EQ(describedText(bar), QStringLiteral("row 2"));
    EXPECT_EQ(bar.text(), QStringLiteral("row 2"));
    EXPECT_EQ(made, 1);

    bar.setText([&] { return QStringLiteral("row 3"); });
    bar.setText(QStringLiteral("Progress Bar"));
    bar.grab();
    EXPECT_EQ(bar.text(), QStringLiteral("Progress Bar"));
    EXPECT_EQ(describedText(bar), QStringLiteral("Progress Bar"));
}

} // namespace
