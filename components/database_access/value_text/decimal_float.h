#pragma once

// DECFLOAT values as Firebird 4 and later store them. Pure, no Firebird.

#include <QByteArrayView>
#include <QChar>
#include <QString>

namespace dbaccess {

// DECFLOAT(16) (8 bytes) or DECFLOAT(34) (16 bytes): IEEE 754 decimal in the
// densely packed encoding, little-endian, as decNumber's decDouble and
// decQuad hold it. The text is the exact value the way Firebird prints it
// (every stored digit, exponent form only for very large or small values:
// "1.50", "1E+10", "-0", "Infinity", "NaN"), with `decimal` as the point.
QString decimalFloatText(QByteArrayView bytes, QChar decimal);

} // namespace dbaccess
