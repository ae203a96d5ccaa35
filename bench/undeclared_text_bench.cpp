// undeclared_text_bench: the cost of reading text in no declared character
// set, where each value long enough to tell its own code page is told one by
// one. 200,000 values of a column are decoded three ways in one run: as a
// column that declares its code page (the reference), as an undeclared
// column of Russian text, and as an undeclared column of French messages
// followed by Japanese ones.

#include "table_code_pages.h"
#include "text_decoder.h"

#include <QElapsedTimer>
#include <QStringList>
#include <cstdio>
#include <iconv.h>
#include <memory>

namespace {

constexpr int benchValues = 200000;

QByteArray encoded(const QString &text, const char *codePage)
{
    const QByteArray utf8 = text.toUtf8();
    const iconv_t handle = iconv_open(codePage, "UTF-8");
    QByteArray out(utf8.size() * 4, '\0');
    char *in = const_cast<char *>(utf8.constData());
    size_t inLeft = size_t(utf8.size());
    char *at = out.data();
    size_t outLeft = size_t(out.size());
    iconv(handle, &in, &inLeft, &at, &outLeft);
    iconv_close(handle);
    out.truncate(out.size() - qsizetype(outLeft));
    return out;
}

// Nanoseconds per value, and a checksum so that nothing is optimised away.
double decodeAll(const dbaccess::TextDecoder &decoder, const QByteArrayList &values, qsizetype &characters)
{
    QElapsedTimer clock;
    clock.start();
    for (const QByteArray &value : values)
        characters += decoder.decode(value).size();
    return double(clock.nsecsElapsed()) / double(values.size());
}

} // namespace

int main()
{
    const QStringList russian{QStringLiteral("Молочные продукты, свежие"), QStringLiteral("Хлеб и выпечка из печи"),
                              QStringLiteral("Вода и соки в бутылках")};
    const QStringList french{QStringLiteral("La base de données n'a pas été ouverte."),
                             QStringLiteral("Opération déjà effectuée sur une zone.")};
    const QStringList japanese{QStringLiteral("更新をロールバックしますか?"), QStringLiteral("データベースが開かれていない")};
    QByteArrayList plain, mixed;
    for (int i = 0; i < benchValues; ++i) {
        plain << encoded(russian[i % russian.size()], "WINDOWS-1251");
        mixed << (i < benchValues / 2 ? encoded(french[i % french.size()], "WINDOWS-1252")
                                      : encoded(japanese[i % japanese.size()], "EUC-JP"));
    }
    const auto undeclared = [](const QByteArrayList &values) {
        auto table = std::make_shared<dbaccess::TableCodePages>(
            1, [&values](dbaccess::CodePageSample &sample) {
                for (qsizetype i = 0; i < values.size() && !sample.complete(); ++i)
                    sample.add(0, values[i]);
            },
            [] { return QByteArray("WINDOWS-1252"); });
        return dbaccess::TextDecoder(table, 0);
    };
    qsizetype characters = 0;
    const double declared = decodeAll(dbaccess::TextDecoder(52), plain, characters);
    const double russianColumn = decodeAll(undeclared(plain), plain, characters);
    const double mixedColumn = decodeAll(undeclared(mixed), mixed, characters);
    std::printf("%d values: declared Windows-1251 %.0f ns a value (reference); undeclared Russian %.0f ns (%.2f x); "
                "undeclared French then Japanese %.0f ns (%.2f x); %lld characters\n",
                benchValues, declared, russianColumn, russianColumn / declared, mixedColumn, mixedColumn / declared,
                static_cast<long long>(characters));
    return 0;
}
