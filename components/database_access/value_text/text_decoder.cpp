#include "text_decoder.h"

#include "table_code_pages.h"

#include <QStringDecoder>
#include <cerrno>
#include <iconv.h>

namespace dbaccess {

const char *iconvName(int firebirdCharset)
{
    switch (firebirdCharset) {
    case 5: return "SHIFT_JIS";
    case 6: return "EUC-JP";
    case 9: return "CP737";
    case 10: return "CP437";
    case 11: return "CP850";
    case 12: return "CP865";
    case 13: return "CP860";
    case 14: return "CP863";
    case 15: return "CP775";
    case 16: return "CP858";
    case 17: return "CP862";
    case 18: return "CP864";
    case 21: return "ISO-8859-1";
    case 22: return "ISO-8859-2";
    case 23: return "ISO-8859-3";
    case 34: return "ISO-8859-4";
    case 35: return "ISO-8859-5";
    case 36: return "ISO-8859-6";
    case 37: return "ISO-8859-7";
    case 38: return "ISO-8859-8";
    case 39: return "ISO-8859-9";
    case 40: return "ISO-8859-13";
    case 44: return "CP949";
    case 45: return "CP852";
    case 46: return "CP857";
    case 47: return "CP861";
    case 48: return "CP866";
    case 49: return "CP869";
    case 51: return "CP1250";
    case 52: return "CP1251";
    case 53: return "CP1252";
    case 54: return "CP1253";
    case 55: return "CP1254";
    case 56: return "BIG5";
    case 57: return "GB2312";
    case 58: return "CP1255";
    case 59: return "CP1256";
    case 60: return "CP1257";
    case 63: return "KOI8-R";
    case 64: return "KOI8-U";
    case 65: return "CP1258";
    case 66: return "TIS-620";
    case 67: return "GBK";
    case 68: return "CP932";
    case 69: return "GB18030";
    default: return "";
    }
}

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
    const char *name = iconvName(firebirdCharset);
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
    if (m_table && m_table->codePage(m_index).decode(bytes, text))
        return text;
    return QString::fromLatin1(bytes);
}

} // namespace dbaccess
