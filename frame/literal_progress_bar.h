#pragma once

#include <QProgressBar>
#include <functional>

namespace frame {

// A progress bar that shows its text literally: QProgressBar's own format
// substitutes %p, %v and %m and shows nothing before the first value.
class LiteralProgressBar : public QProgressBar {
    Q_OBJECT
public:
    explicit LiteralProgressBar(QWidget *parent = nullptr);

    QString text() const override;
    void setText(const QString &text);
    // For a text that changes far more often than the bar repaints: made
    // only when the bar paints or someone reads it, so the texts nobody
    // would have seen cost nothing.
    void setText(std::function<QString()> makeText);
    // Takes a percentage, rounded as the bar shows whole steps.
    void setPercent(double percent);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    mutable QString m_text = QStringLiteral("Progress Bar");
    mutable std::function<QString()> m_makeText;
    bool m_repaintRequested = false;
};

} // namespace frame
