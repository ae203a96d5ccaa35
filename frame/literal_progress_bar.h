#pragma once

#include <QProgressBar>

namespace frame {

// A progress bar that shows its text literally: QProgressBar's own format
// substitutes %p, %v and %m and shows nothing before the first value.
class LiteralProgressBar : public QProgressBar {
    Q_OBJECT
public:
    explicit LiteralProgressBar(QWidget *parent = nullptr);

    QString text() const override { return m_text; }
    void setText(const QString &text);
    // Takes a percentage, rounded as the bar shows whole steps.
    void setPercent(double percent);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_text = QStringLiteral("Progress Bar");
};

} // namespace frame
