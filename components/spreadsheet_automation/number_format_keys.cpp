#include "number_format_keys.h"

#include "uno_runtime.h"

#include <QLocale>
#include <com/sun/star/util/MalformedNumberFormatException.hpp>
#include <com/sun/star/util/NumberFormat.hpp>

namespace calc {

namespace {

// The locale the cells' texts are written in.
css::lang::Locale userLocale()
{
    const QLocale locale = QLocale::system();
    if (locale.language() == QLocale::C)
        return css::lang::Locale("en", "US", "");
    return css::lang::Locale(toOUString(QLocale::languageToCode(locale.language())),
                             toOUString(QLocale::territoryToCode(locale.territory())), "");
}

// What the cells of a new document have.
constexpr sal_Int32 defaultKey = 0;

std::optional<sal_Int32> unlessDefault(sal_Int32 key)
{
    return key == defaultKey ? std::nullopt : std::optional<sal_Int32>(key);
}

} // namespace

NumberFormatKeys::NumberFormatKeys(css::uno::Reference<css::util::XNumberFormatsSupplier> document)
    : m_document(std::move(document)), m_locale(userLocale())
{
}

std::optional<sal_Int32> NumberFormatKeys::key(const QString &format, bool boolean)
{
    if (!m_formats.is())
        m_formats = m_document->getNumberFormats();
    const css::uno::Reference<css::util::XNumberFormatTypes> types(m_formats, css::uno::UNO_QUERY_THROW);
    if (boolean) {
        if (!m_booleanKey)
            m_booleanKey = unlessDefault(types->getStandardFormat(css::util::NumberFormat::LOGICAL, m_locale));
        return *m_booleanKey;
    }
    const auto known = m_keys.constFind(format);
    if (known != m_keys.constEnd())
        return *known;
    std::optional<sal_Int32> key;
    if (format.isEmpty())
        key = unlessDefault(types->getStandardFormat(css::util::NumberFormat::NUMBER, m_locale));
    else
        try {
            // Converting keeps the codes' meaning and gives them the
            // locale's separators and keywords; a code the locale already
            // has comes back as the key it has.
            key = m_formats->addNewConverted(toOUString(format), css::lang::Locale("en", "US", ""), m_locale);
        } catch (const css::util::MalformedNumberFormatException &) {
            // The value still arrives, under the general format.
        }
    m_keys.insert(format, key);
    return key;
}

} // namespace calc
