#include "text_decoder.h"

#include "table_code_pages.h"
#include "ods/character_sets.h"

#include <QStringDecoder>
#include <cerrno>
#include <iconv.h>

namespace dbaccess {

CodePage::CodePage(const QByteArray &iconvName)
    : m_handle(iconv_open("UTF-8", iconvName.constData()))
{
}

CodePage::~CodePage()
{
    if (isKnown())
        iconv_close(iconv_t(m_handle));
}

bool CodePage::isKnown() const
{
    return m_handle != reinterpret_cast<void *>(iconv_t(-1));
}

bool CodePage::decode(QByteArrayView bytes, QString &text) const
{
    if (!isKnown())
        return false;
    const iconv_t handle = iconv_t(m_handle);
    iconv(handle, nullptr, nullptr, nullptr, nullptr);
    // Four output bytes per input byte cover every charset we map.
    QByteArray out(bytes.size() * 4 + 4, Qt::Uninitialized);
    char *in = const_cast<char *>(bytes.data());
    size_t inLeft = bytes.size();
    char *outPtr = out.data();
    size_t outLeft = out.size();
    if (iconv(handle, &in, &inLeft, &outPtr, &outLeft) == size_t(-1))
        return false;
    if (iconv(handle, nullptr, nullptr, &outPtr, &outLeft) == size_t(-1))
        return false;
    text = QString::fromUtf8(out.constData(), out.size() - qsizetype(outLeft));
    return true;
}

bool isAscii(QByteArrayView bytes)
{
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

namespace {

bool decodeUtf8(QByteArrayView bytes, QString &text)
{
    // A byte order mark at the start is part of the stored value, not a
    // header to skip: keep it as a character.
    QStringDecoder decoder(QStringConverter::Utf8,
                           QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    text = decoder.decode(bytes);
    return !decoder.hasError();
}

} // namespace

bool isUtf8(QByteArrayView bytes)
{
    QString ignored;
    return decodeUtf8(bytes, ignored);
}

TextDecoder::TextDecoder(int firebirdCharset)
{
    const char *name = ods::iconvName(firebirdCharset);
    if (*name)
        m_declared = std::make_unique<CodePage>(name);
}

TextDecoder::TextDecoder(std::shared_ptr<TableCodePages> table, int index)
    : m_table(std::move(table)), m_index(index)
{
}

TextDecoder::~TextDecoder() = default;

QString TextDecoder::decode(QByteArrayView bytes) const
{
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    QString text;
    if (decodeUtf8(bytes, text))
        return text;
    if (m_declared && m_declared->decode(bytes, text))
        return text;
    if (m_table && m_table->decode(m_index, bytes, text))
        return text;
    return QString::fromLatin1(bytes);
}

} // namespace dbaccess
