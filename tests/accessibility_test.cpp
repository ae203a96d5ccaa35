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

} // namespace
