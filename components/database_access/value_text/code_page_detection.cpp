#include "code_page_detection.h"

#include "text_decoder.h"

#include <memory>
#include <uchardet/uchardet.h>

namespace dbaccess {

namespace {

// Below this many bytes of 0x80 and above the detector's verdicts are no
// better than chance: "Цена" came out as Greek, "Шт Кг" as Arabic.
constexpr int minimumNonAsciiBytes = 10;

bool hasControlCodeBytes(QByteArrayView bytes)
{
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80 && static_cast<unsigned char>(c) < 0xA0)
            return true;
    return false;
}

int nonAsciiBytes(QByteArrayView bytes)
{
    int count = 0;
    for (const char c : bytes)
        count += static_cast<unsigned char>(c) >= 0x80;
    return count;
}

} // namespace

QByteArray toldCodePage(QByteArrayView sample)
{
    if (nonAsciiBytes(sample) < minimumNonAsciiBytes)
        return {};
    // Values are told one by one in columns of mixed pages: one detector a
    // thread, made once.
    static thread_local const std::unique_ptr<std::remove_pointer_t<uchardet_t>, void (*)(uchardet_t)> detector(
        uchardet_new(), uchardet_delete);
    uchardet_reset(detector.get());
    if (uchardet_handle_data(detector.get(), sample.data(), size_t(sample.size())) != 0)
        return {};
    uchardet_data_end(detector.get());
    QByteArray name = uchardet_get_charset(detector.get());
    // Windows programs wrote in Windows' own supersets of these pages: 1252
    // only adds characters where ISO-8859-1 has control codes nobody typed,
    // 932 and 949 (UHC) the vendor characters Shift-JIS and EUC-KR lack.
    if (name == "ISO-8859-1")
        name = "WINDOWS-1252";
    else if (name == "SHIFT_JIS")
        name = "CP932";
    else if (name == "EUC-KR" || name == "UHC")
        name = "CP949";
    // The detector tells Central European text from other scripts well but
    // mixes up its two pages. Windows-1250 puts š, ž, ť, ś and ź (and their
    // capitals) at 0x8A to 0x9F, where ISO-8859-2 has control codes nobody
    // types: that range alone tells which page the text is in.
    if (name == "WINDOWS-1250" || name == "ISO-8859-2")
        name = hasControlCodeBytes(sample) ? "WINDOWS-1250" : "ISO-8859-2";
    if (name.isEmpty() || name == "ASCII" || name.startsWith("UTF-"))
        return {};
    return name;
}

QByteArray detectedCodePage(QByteArrayView sample)
{
    QByteArray name = toldCodePage(sample);
    QString ignored;
    if (name.isEmpty() || !CodePage(name).decode(sample, ignored))
        return {};
    return name;
}

bool isMultiByteCodePage(const QByteArray &name)
{
    static const QByteArrayList pages{"BIG5", "CP932", "CP949", "EUC-JP", "EUC-TW", "GB18030", "GBK", "GB2312",
                                      "HZ-GB-2312", "ISO-2022-CN", "ISO-2022-JP", "ISO-2022-KR", "SHIFT_JIS"};
    return pages.contains(name);
}

QByteArray windowsCodePage(const QLocale &locale)
{
    switch (locale.language()) {
    case QLocale::Russian:
    case QLocale::Ukrainian:
    case QLocale::Belarusian:
    case QLocale::Bulgarian:
    case QLocale::Macedonian:
    case QLocale::Kazakh:
        return "WINDOWS-1251";
    case QLocale::Czech:
    case QLocale::Slovak:
    case QLocale::Polish:
    case QLocale::Hungarian:
    case QLocale::Slovenian:
    case QLocale::Croatian:
    case QLocale::Romanian:
    case QLocale::Albanian:
        return "WINDOWS-1250";
    case QLocale::Greek: return "WINDOWS-1253";
    case QLocale::Turkish:
    case QLocale::Azerbaijani: return "WINDOWS-1254";
    case QLocale::Hebrew: return "WINDOWS-1255";
    case QLocale::Arabic:
    case QLocale::Persian:
    case QLocale::Urdu: return "WINDOWS-1256";
    case QLocale::Estonian:
    case QLocale::Latvian:
    case QLocale::Lithuanian: return "WINDOWS-1257";
    case QLocale::Vietnamese: return "WINDOWS-1258";
    case QLocale::Thai: return "CP874";
    case QLocale::Japanese: return "CP932";
    case QLocale::Korean: return "CP949";
    case QLocale::Chinese: return locale.script() == QLocale::TraditionalChineseScript ? "BIG5" : "GBK";
    default: return "WINDOWS-1252";
    }
}

} // namespace dbaccess
