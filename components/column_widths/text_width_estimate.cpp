#include "text_width_estimate.h"

#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>

namespace column_widths {

TextWidthEstimate::TextWidthEstimate(const QString &fontFamily, double pointSize) : m_advances(0x10000, -1.0f)
{
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        QFont font(fontFamily);
        font.setPointSizeF(pointSize);
        m_metrics = std::make_unique<QFontMetricsF>(font);
    }
}

TextWidthEstimate::~TextWidthEstimate() = default;

float TextWidthEstimate::advance(char16_t unit) const
{
    float &known = m_advances[unit];
    if (known >= 0)
        return known;
    const QChar c(unit);
    if (c.isSurrogate()) {
        // Half of a character outside the first plane: most are East Asian
        // or pictographs, about an em wide together.
        known = m_metrics ? float(m_metrics->height()) / 2 : 1.0f;
    } else if (m_metrics) {
        known = float(m_metrics->horizontalAdvance(c));
    } else {
        known = unit >= 0x1100 ? 2.0f : 1.0f;
    }
    return known;
}

float TextWidthEstimate::width(const QString &text) const
{
    float widest = 0;
    float line = 0;
    for (const QChar c : text) {
        // Calc shows a text with line breaks on several lines.
        if (c == u'\n') {
            widest = std::max(widest, line);
            line = 0;
            continue;
        }
        const float known = m_advances[c.unicode()];
        line += known >= 0 ? known : advance(c.unicode());
    }
    return std::max(widest, line);
}

} // namespace column_widths
