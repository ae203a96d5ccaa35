#include "decimal_float.h"

#include <cstdint>

namespace dbaccess {

namespace {

using Bits = unsigned __int128;

struct Format {
    int exponentContinuationBits;
    int declets;
    int bias;
};

constexpr Format decimal64{8, 5, 398};
constexpr Format decimal128{12, 11, 6176};

// Three digits from ten bits of densely packed decimal.
void appendDeclet(QString &digits, unsigned d)
{
    const unsigned p = d >> 9 & 1, q = d >> 8 & 1, r = d >> 7 & 1, s = d >> 6 & 1, t = d >> 5 & 1, u = d >> 4 & 1,
                   v = d >> 3 & 1, w = d >> 2 & 1, x = d >> 1 & 1, y = d & 1;
    const unsigned pqr = p << 2 | q << 1 | r, stu = s << 2 | t << 1 | u, wxy = w << 2 | x << 1 | y;
    unsigned high, middle, low;
    if (!v) {
        high = pqr, middle = stu, low = wxy;
    } else {
        switch (w << 1 | x) {
        case 0: high = pqr, middle = stu, low = 8 + y; break;
        case 1: high = pqr, middle = 8 + u, low = s << 2 | t << 1 | y; break;
        case 2: high = 8 + r, middle = stu, low = p << 2 | q << 1 | y; break;
        default:
            switch (s << 1 | t) {
            case 0: high = 8 + r, middle = 8 + u, low = p << 2 | q << 1 | y; break;
            case 1: high = 8 + r, middle = p << 2 | q << 1 | u, low = 8 + y; break;
            case 2: high = pqr, middle = 8 + u, low = 8 + y; break;
            default: high = 8 + r, middle = 8 + u, low = 8 + y; break;
            }
        }
    }
    digits += QChar(u'0' + high);
    digits += QChar(u'0' + middle);
    digits += QChar(u'0' + low);
}

QString coefficientDigits(unsigned mostSignificant, Bits continuation, int declets)
{
    QString digits(1, QChar(u'0' + mostSignificant));
    for (int i = declets - 1; i >= 0; --i)
        appendDeclet(digits, unsigned(continuation >> (10 * i)) & 0x3FF);
    qsizetype zeros = 0;
    while (zeros < digits.size() - 1 && digits[zeros] == u'0')
        ++zeros;
    return digits.mid(zeros);
}

// decNumber's to-scientific-string.
QString scientific(const QString &digits, int exponent, QChar decimal)
{
    const int count = int(digits.size());
    const int adjusted = exponent + count - 1;
    if (exponent <= 0 && adjusted >= -6) {
        if (exponent == 0)
            return digits;
        const int integerDigits = count + exponent;
        if (integerDigits > 0)
            return digits.left(integerDigits) + decimal + digits.mid(integerDigits);
        return QStringLiteral("0") + decimal + QString(-integerDigits, u'0') + digits;
    }
    QString text = digits.left(1);
    if (count > 1)
        text += decimal + digits.mid(1);
    return text + u'E' + (adjusted < 0 ? u'-' : u'+') + QString::number(adjusted < 0 ? -adjusted : adjusted);
}

} // namespace

QString decimalFloatText(QByteArrayView bytes, QChar decimal)
{
    const Format format = bytes.size() == 16 ? decimal128 : decimal64;
    const int width = int(bytes.size()) * 8;
    Bits bits = 0;
    for (qsizetype i = bytes.size() - 1; i >= 0; --i)
        bits = bits << 8 | std::uint8_t(bytes[i]);
    const bool negative = (bits >> (width - 1)) & 1;
    const unsigned combination = unsigned(bits >> (width - 6)) & 0x1F;
    const int continuationBits = 10 * format.declets;
    const unsigned exponentContinuation =
        unsigned(bits >> continuationBits) & ((1u << format.exponentContinuationBits) - 1);
    const Bits coefficient = bits & ((Bits(1) << continuationBits) - 1);
    const QString sign = negative ? QStringLiteral("-") : QString();

    if ((combination & 0x1E) == 0x1E) {
        if (!(combination & 1))
            return sign + QStringLiteral("Infinity");
        const bool signaling = exponentContinuation >> (format.exponentContinuationBits - 1) & 1;
        const QString payload = coefficientDigits(0, coefficient, format.declets);
        return sign + (signaling ? QStringLiteral("sNaN") : QStringLiteral("NaN")) + (payload == u"0" ? QString() : payload);
    }
    unsigned exponentHigh, mostSignificant;
    if ((combination & 0x18) != 0x18) {
        exponentHigh = combination >> 3;
        mostSignificant = combination & 7;
    } else {
        exponentHigh = combination >> 1 & 3;
        mostSignificant = 8 + (combination & 1);
    }
    const int exponent = int(exponentHigh << format.exponentContinuationBits | exponentContinuation) - format.bias;
    return sign + scientific(coefficientDigits(mostSignificant, coefficient, format.declets), exponent, decimal);
}

} // namespace dbaccess
