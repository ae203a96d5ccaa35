#include "sheet_body.h"

#include "cell_records.h"
#include "component_error.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>
#include <unistd.h>

namespace xlsx {
namespace {

// Its level 0 is faster still, for files a quarter larger.
constexpr int deflateLevel = 1;
// The XML deflated at a time.
constexpr qsizetype xmlPiece = 1 << 18;
// Pieces waiting for the thread: enough that neither side waits for the
// other while both run, few enough to be nothing beside the table.
constexpr std::size_t mostWaiting = 4;

[[noreturn]] void notWritten(const QFile &file)
{
    throw components::ComponentError(QStringLiteral("The file %1 could not be written: %2.")
                                         .arg(QDir::toNativeSeparators(file.fileName()), file.errorString()));
}

} // namespace

PieceDeflater::PieceDeflater() : m_levelBuffer(ISAL_DEF_LVL1_DEFAULT) {}

QByteArrayView PieceDeflater::deflate(const QByteArray &xml)
{
    // Room for the piece stored as it is, were it not to shrink.
    m_deflated.resize(xml.size() + xml.size() / 8 + ISAL_DEF_MAX_HDR_SIZE + 1024);
    isal_zstream stream;
    isal_deflate_stateless_init(&stream);
    stream.level = deflateLevel;
    stream.level_buf = m_levelBuffer.data();
    stream.level_buf_size = std::uint32_t(m_levelBuffer.size());
    stream.flush = FULL_FLUSH;
    stream.end_of_stream = 0;
    stream.gzip_flag = IGZIP_DEFLATE;
    stream.next_in = reinterpret_cast<std::uint8_t *>(const_cast<char *>(xml.constData()));
    stream.avail_in = std::uint32_t(xml.size());
    stream.next_out = reinterpret_cast<std::uint8_t *>(m_deflated.data());
    stream.avail_out = std::uint32_t(m_deflated.size());
    const int result = isal_deflate_stateless(&stream);
    if (result != COMP_OK || stream.avail_in != 0)
        throw components::ComponentError(
            QStringLiteral("The rows of a worksheet could not be compressed (ISA-L's error %1).").arg(result));
    return QByteArrayView(m_deflated.constData(), m_deflated.size() - qsizetype(stream.avail_out));
}

std::uint32_t continuedCrc(std::uint32_t crc, const char *bytes, qsizetype size)
{
    return crc32_gzip_refl(crc, reinterpret_cast<const unsigned char *>(bytes), std::uint64_t(size));
}

SheetBody::SheetBody(QString path, double rowPoints) : m_path(std::move(path)), m_rows(rowPoints)
{
    QFile out(m_path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        notWritten(out);
}

SheetBody::~SheetBody() { QFile::remove(m_path); }

void SheetBody::take(const QByteArray &records, RowsOut out, PieceDeflater &deflater)
{
    CellRecords::replay(records, m_rows);
    if (out == RowsOut::All)
        m_rows.endRow();
    if (m_rows.endedSize() >= xmlPiece || (out != RowsOut::Enough && m_rows.endedSize() > 0))
        deflateEnded(deflater);
}

// The file is opened for each piece only: a workbook of thousands of
// sheets would otherwise hold a file open for each.
void SheetBody::deflateEnded(PieceDeflater &deflater)
{
    const QByteArray xml = m_rows.takeEnded();
    const QByteArrayView deflated = deflater.deflate(xml);
    QFile out(m_path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        notWritten(out);
    // Written here rather than through QFile, which calls a short write an
    // "Unknown error": the system's own reason is wanted.
    const char *at = deflated.data();
    qsizetype left = deflated.size();
    while (left > 0) {
        const ssize_t written = ::write(out.handle(), at, std::size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            throw components::ComponentError(QStringLiteral("The file %1 could not be written: %2.")
                                                 .arg(QDir::toNativeSeparators(m_path),
                                                      QString::fromLocal8Bit(std::strerror(written < 0 ? errno : ENOSPC))));
        at += written;
        left -= written;
    }
    m_crc = continuedCrc(m_crc, xml.constData(), xml.size());
    m_xmlSize += quint64(xml.size());
}

BodyCompressor::~BodyCompressor()
{
    {
        const std::lock_guard lock(m_lock);
        m_stopping = true;
        m_waiting.clear();
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void BodyCompressor::throwFailure() const
{
    if (!m_failure.isEmpty())
        throw components::ComponentError(m_failure);
}

void BodyCompressor::add(std::shared_ptr<SheetBody> body, QByteArray records, RowsOut out)
{
    std::unique_lock lock(m_lock);
    if (!m_thread.joinable())
        m_thread = std::thread([this] { work(); });
    m_changed.wait(lock, [&] { return m_waiting.size() < mostWaiting || !m_failure.isEmpty(); });
    throwFailure();
    m_waiting.push_back({std::move(body), std::move(records), out});
    m_changed.notify_all();
}

void BodyCompressor::finish()
{
    std::unique_lock lock(m_lock);
    m_changed.wait(lock, [&] { return (m_waiting.empty() && !m_busy) || !m_failure.isEmpty(); });
    throwFailure();
}

void BodyCompressor::work()
{
    PieceDeflater deflater;
    std::unique_lock lock(m_lock);
    while (true) {
        m_changed.wait(lock, [&] { return m_stopping || !m_waiting.empty(); });
        if (m_waiting.empty())
            break;
        Piece piece = std::move(m_waiting.front());
        m_waiting.pop_front();
        m_busy = true;
        m_changed.notify_all();
        lock.unlock();
        QString failure;
        try {
            piece.body->take(piece.records, piece.out, deflater);
        } catch (const components::ComponentError &error) {
            failure = error.description();
        } catch (const std::bad_alloc &) {
            failure = QStringLiteral("The rows of a worksheet could not be compressed: too little memory.");
        }
        // The body's file goes here, outside the lock, when it was its last use.
        piece = {};
        lock.lock();
        m_busy = false;
        if (!failure.isEmpty() && m_failure.isEmpty()) {
            m_failure = failure;
            m_waiting.clear();
        }
        m_changed.notify_all();
    }
}

} // namespace xlsx
