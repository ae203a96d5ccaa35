#pragma once

#include <QString>
#include <memory>
#include <vector>

class QFontMetricsF;

namespace calc {

// How wide a text will be in a cell, estimated from the advances of its
// characters in the sheet's font. Good enough to rank texts by width; the
// width a column gets is always Calc's own measure of the widest ones.
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

} // namespace calc
