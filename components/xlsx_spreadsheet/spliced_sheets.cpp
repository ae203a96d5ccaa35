#include "spliced_sheets.h"

#include "component_error.h"
#include "sheet_body.h"

#include <QFile>
#include <dlfcn.h>
#include <zlib.h>

// libxlsxwriter writes its file through minizip and offers no way to give
// it a part made elsewhere, nor a compression level. A program's own
// definition of a function comes before a shared library's, so these take
// the library's calls to minizip: a worksheet part with rows is opened raw,
// what the library writes into it is kept, and at its close the part is
// written from the kept XML around the sheet's rows, deflated already.
// Every other call goes on to minizip, at the fastest level. Where the
// library carries a minizip of its own inside, nothing comes here, and the
// check after writing says that the rows are missing.

namespace {

using OpenInZip = int (*)(void *, const char *, const void *, const void *, unsigned, const void *, unsigned,
                          const char *, int, int, int, int, int, int, const char *, unsigned long, unsigned long,
                          unsigned long, int);
using WriteInZip = int (*)(void *, const void *, unsigned);
using CloseInZip = int (*)(void *);
using CloseRawInZip = int (*)(void *, unsigned long long, unsigned long);

constexpr int zipOk = 0;
constexpr int zipInternalError = -104;
constexpr int fastestLevel = 1;
// Read back from a body's file at a time.
constexpr qint64 bodyBlock = 1 << 18;

template <class Function>
Function minizip(const char *name)
{
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

const QByteArray emptyRange = QByteArrayLiteral("<dimension ref=\"A1\"/>");
const QByteArray emptyData = QByteArrayLiteral("<sheetData/>");

// The sheet number of a worksheet part's name, from 1; 0 for other parts.
int sheetNumber(const char *partName)
{
    const QByteArray name(partName);
    const QByteArray prefix = QByteArrayLiteral("xl/worksheets/sheet");
    const QByteArray suffix = QByteArrayLiteral(".xml");
    if (!name.startsWith(prefix) || !name.endsWith(suffix))
        return 0;
    bool ok = false;
    const int number = name.mid(prefix.size(), name.size() - prefix.size() - suffix.size()).toInt(&ok);
    return ok ? number : 0;
}

// The XML deflated on its own: ending on a byte, or ending the stream.
QByteArray deflated(const QByteArray &xml, int flush)
{
    z_stream deflater{};
    if (deflateInit2(&deflater, fastestLevel, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    QByteArray out(qsizetype(deflateBound(&deflater, uLong(xml.size()))) + 16, Qt::Uninitialized);
    deflater.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(xml.constData()));
    deflater.avail_in = uInt(xml.size());
    deflater.next_out = reinterpret_cast<Bytef *>(out.data());
    deflater.avail_out = uInt(out.size());
    const int result = deflate(&deflater, flush);
    const bool complete = (result == Z_OK || result == Z_STREAM_END) && deflater.avail_in == 0 && deflater.avail_out > 0;
    out.resize(out.size() - qsizetype(deflater.avail_out));
    deflateEnd(&deflater);
    return complete ? out : QByteArray();
}

} // namespace

namespace xlsx {

struct SplicedSheets::State {
    std::vector<SheetRows> sheets;
    std::vector<bool> spliced;
    QString failure;
    State *outer = nullptr;
    // The worksheet part open raw, and what the library wrote into it.
    void *openFile = nullptr;
    int openSheet = 0;
    QByteArray libraryXml;

    bool hasRows(int sheet) const
    {
        return sheet >= 1 && std::size_t(sheet) <= sheets.size() && sheets[std::size_t(sheet - 1)].body;
    }
    int closeSpliced(void *file);
    int fail(const QString &why)
    {
        if (failure.isEmpty())
            failure = why;
        return zipInternalError;
    }
};

namespace {
thread_local SplicedSheets::State *current = nullptr;
}

SplicedSheets::SplicedSheets(std::vector<SheetRows> sheets) : m_state(std::make_unique<State>())
{
    m_state->spliced.assign(sheets.size(), false);
    m_state->sheets = std::move(sheets);
    m_state->outer = current;
    current = m_state.get();
}

SplicedSheets::~SplicedSheets() { current = m_state->outer; }

void SplicedSheets::check() const
{
    if (!m_state->failure.isEmpty())
        throw components::ComponentError(m_state->failure);
    for (std::size_t s = 0; s < m_state->sheets.size(); ++s) {
        if (m_state->sheets[s].body && !m_state->spliced[s])
            throw components::ComponentError(
                QStringLiteral("The rows of a worksheet could not be put into the file: the libxlsxwriter on this "
                               "system does not write its files through the system's minizip library."));
    }
}

int SplicedSheets::State::closeSpliced(void *file)
{
    static const auto write = minizip<WriteInZip>("zipWriteInFileInZip");
    static const auto closeRaw = minizip<CloseRawInZip>("zipCloseFileInZipRaw64");
    const int sheet = std::exchange(openSheet, 0);
    openFile = nullptr;
    if (!write || !closeRaw)
        return fail(QStringLiteral("The rows of a worksheet could not be put into the file: the minizip library on "
                                   "this system lacks zipCloseFileInZipRaw64."));
    const SheetRows &rows = sheets[std::size_t(sheet - 1)];
    const QByteArray xml = std::exchange(libraryXml, QByteArray());
    const qsizetype rangeAt = xml.indexOf(emptyRange);
    const qsizetype dataAt = xml.indexOf(emptyData);
    if (rangeAt < 0 || dataAt < rangeAt)
        return fail(QStringLiteral("The rows of a worksheet could not be put into the file: the libxlsxwriter on this "
                                   "system writes worksheets in a way this program does not know."));
    const QByteArray head = xml.left(rangeAt) + "<dimension ref=\"" + rows.range + "\"/>"
        + xml.mid(rangeAt + emptyRange.size(), dataAt - rangeAt - emptyRange.size()) + "<sheetData>";
    const QByteArray tail = "</sheetData>" + xml.mid(dataAt + emptyData.size());
    const QByteArray headDeflated = deflated(head, Z_SYNC_FLUSH);
    const QByteArray tailDeflated = deflated(tail, Z_FINISH);
    if (headDeflated.isEmpty() || tailDeflated.isEmpty())
        return fail(QStringLiteral("A worksheet could not be compressed: too little memory."));

    int result = write(file, headDeflated.constData(), unsigned(headDeflated.size()));
    QFile body(rows.body->path());
    if (!body.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("The file %1 could not be read back: %2.").arg(body.fileName(), body.errorString()));
    while (result == zipOk && !body.atEnd()) {
        const QByteArray block = body.read(bodyBlock);
        if (block.isEmpty())
            return fail(QStringLiteral("The file %1 could not be read back: %2.").arg(body.fileName(), body.errorString()));
        result = write(file, block.constData(), unsigned(block.size()));
    }
    if (result == zipOk)
        result = write(file, tailDeflated.constData(), unsigned(tailDeflated.size()));
    if (result != zipOk)
        return result;
    uLong crc = xlsx::continuedCrc(0, head.constData(), head.size());
    crc = crc32_combine(crc, rows.body->crc(), z_off_t(rows.body->xmlSize()));
    crc = crc32_combine(crc, xlsx::continuedCrc(0, tail.constData(), tail.size()), z_off_t(tail.size()));
    const unsigned long long size = quint64(head.size()) + rows.body->xmlSize() + quint64(tail.size());
    result = closeRaw(file, size, crc);
    if (result == zipOk)
        spliced[std::size_t(sheet - 1)] = true;
    return result;
}

} // namespace xlsx

using xlsx::current;

extern "C" int zipOpenNewFileInZip4_64(void *file, const char *fileName, const void *fileInfo,
                                       const void *extraFieldLocal, unsigned sizeExtraFieldLocal,
                                       const void *extraFieldGlobal, unsigned sizeExtraFieldGlobal,
                                       const char *comment, int method, int /* the library's level */, int raw,
                                       int windowBits,
                                       int memLevel, int strategy, const char *password,
                                       unsigned long crcForCrypting, unsigned long versionMadeBy,
                                       unsigned long flagBase, int zip64)
{
    static const auto open = minizip<OpenInZip>("zipOpenNewFileInZip4_64");
    if (!open)
        return zipInternalError;
    const int sheet = current && fileName ? sheetNumber(fileName) : 0;
    const bool splice = sheet > 0 && current->hasRows(sheet);
    const int result = open(file, fileName, fileInfo, extraFieldLocal, sizeExtraFieldLocal, extraFieldGlobal,
                            sizeExtraFieldGlobal, comment, method, fastestLevel, splice ? 1 : raw, windowBits,
                            memLevel, strategy, password, crcForCrypting, versionMadeBy, flagBase, zip64);
    if (splice && result == zipOk) {
        current->openFile = file;
        current->openSheet = sheet;
        current->libraryXml.clear();
    }
    return result;
}

extern "C" int zipWriteInFileInZip(void *file, const void *buffer, unsigned length)
{
    static const auto write = minizip<WriteInZip>("zipWriteInFileInZip");
    if (current && current->openFile && current->openFile == file) {
        current->libraryXml.append(static_cast<const char *>(buffer), qsizetype(length));
        return zipOk;
    }
    return write ? write(file, buffer, length) : zipInternalError;
}

extern "C" int zipCloseFileInZip(void *file)
{
    static const auto close = minizip<CloseInZip>("zipCloseFileInZip");
    if (current && current->openFile && current->openFile == file)
        return current->closeSpliced(file);
    return close ? close(file) : zipInternalError;
}
