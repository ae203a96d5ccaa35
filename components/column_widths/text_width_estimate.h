#pragma once

#include <QString>
#include <memory>
#include <vector>

class QFontMetricsF;

namespace column_widths {

// How wide a text will be in a cell, estimated from the advances of its
// characters in the sheet's font. Calc's own measure of the widest texts
// is what a column gets in Calc; without an office, this estimate is the
// measure (it misses kerning and hinting by a few per cent).
class TextWidthEstimate {
public:
    // Without a GUI application there are no fonts: characters then count
    // one each, East Asian ones two.
    TextWidthEstimate(const QString &fontFamily, double pointSize);
    ~TextWidthEstimate();
    TextWidthEstimate(const TextWidthEstimate &) = delete;
    TextWidthEstimate &operator=(const TextWidthEstimate &) = delete;

    // The widest line of the text.
    float width(const QString &text) const;

private:
    float advance(char16_t unit) const;

    std::unique_ptr<QFontMetricsF> m_metrics;
    // Per UTF-16 code unit, measured on first use; negative until then.
    mutable std::vector<float> m_advances;
};

} // namespace column_widths
