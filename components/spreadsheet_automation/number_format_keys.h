#pragma once

#include <QHash>
#include <optional>
#include <QString>
#include <com/sun/star/lang/Locale.hpp>
#include <com/sun/star/util/XNumberFormatTypes.hpp>
#include <com/sun/star/util/XNumberFormats.hpp>
#include <com/sun/star/util/XNumberFormatsSupplier.hpp>

namespace calc {

// The number formats of one document by their en-US codes, in the user's
// locale, so that decimal separators and names follow the locale as the
// cells' texts do. Each code costs the office one look-up per document.
class NumberFormatKeys {
public:
    explicit NumberFormatKeys(css::uno::Reference<css::util::XNumberFormatsSupplier> document);

    // The key of the format, or of the locale's boolean format; nullopt for
    // the format every cell of a new document already has.
    std::optional<sal_Int32> key(const QString &format, bool boolean);

private:
    css::uno::Reference<css::util::XNumberFormatsSupplier> m_document;
    css::uno::Reference<css::util::XNumberFormats> m_formats;
    css::lang::Locale m_locale;
    QHash<QString, std::optional<sal_Int32>> m_keys;
    std::optional<std::optional<sal_Int32>> m_booleanKey;
};

} // namespace calc
