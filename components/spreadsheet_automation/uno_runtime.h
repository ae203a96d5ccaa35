#pragma once

#include <QString>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <rtl/ustring.hxx>

namespace calc {

// The process-wide UNO client runtime, set up on first use and kept until
// the program ends: unloading it while bridges live crashes.
css::uno::Reference<css::uno::XComponentContext> localUnoContext();

inline rtl::OUString toOUString(const QString &text)
{
    return rtl::OUString(reinterpret_cast<const sal_Unicode *>(text.utf16()), sal_Int32(text.size()));
}

inline QString toQString(const rtl::OUString &text)
{
    return QString(reinterpret_cast<const QChar *>(text.getStr()), text.getLength());
}

} // namespace calc
