#include "sheet_body.h"

#include "component_error.h"

#include <QDir>
#include <QFile>

namespace xlsx {
namespace {

// zlib's fastest level: its default takes twice the time for files a fifth
// smaller.
constexpr int fastestLevel = 1;
// Pieces waiting for the thread: enough that neither side waits for the
// other while both run, few enough to be nothing beside the table.
constexpr std::size_t mostWaiting = 4;

[[noreturn]] void notWritten(const QFile &file)
{
    throw components::ComponentError(QStringLiteral("The file %1 could not be written: %2.")
                                         .arg(QDir::toNativeSeparators(file.fileName()), file.errorString()));
}

} // namespace

SheetBody::SheetBody(QString path) : m_path(std::move(path))
{
    QFile out(m_path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        notWritten(out);
}

SheetBody::~SheetBody() { QFile::remove(m_path); }

// The file is opened for each piece only: a workbook of thousands of
// sheets would otherwise hold a file open for each.
void SheetBody::append(const QByteArray &xml, z_stream &deflater)
{
    const auto *in = reinterpret_cast<const Bytef *>(xml.constData());
    deflateReset(&deflater);
    // A sync flush adds an empty block to the bound.
    m_deflated.resize(qsizetype(deflateBound(&deflater, uLong(xml.size()))) + 16);
    deflater.next_in = const_cast<Bytef *>(in);
    deflater.avail_in = uInt(xml.size());
    deflater.next_out = reinterpret_cast<Bytef *>(m_deflated.data());
    deflater.avail_out = uInt(m_deflated.size());
    if (deflate(&deflater, Z_SYNC_FLUSH) != Z_OK || deflater.avail_in != 0 || deflater.avail_out == 0)
        throw components::ComponentError(
            QStringLiteral("The rows of a worksheet could not be compressed: %1.").arg(QString::fromUtf8(deflater.msg)));
    const qsizetype deflatedSize = m_deflated.size() - qsizetype(deflater.avail_out);

    QFile out(m_path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)
        || out.write(m_deflated.constData(), deflatedSize) != deflatedSize)
        notWritten(out);
    m_crc = quint32(crc32_z(m_crc, in, std::size_t(xml.size())));
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

void BodyCompressor::add(std::shared_ptr<SheetBody> body, QByteArray xml)
{
    std::unique_lock lock(m_lock);
    if (!m_thread.joinable())
        m_thread = std::thread([this] { work(); });
    m_changed.wait(lock, [&] { return m_waiting.size() < mostWaiting || !m_failure.isEmpty(); });
    throwFailure();
    m_waiting.push_back({std::move(body), std::move(xml)});
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
    z_stream deflater{};
    const bool ready = deflateInit2(&deflater, fastestLevel, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    std::unique_lock lock(m_lock);
    if (!ready)
        m_failure = QStringLiteral("The rows of a worksheet could not be compressed: too little memory.");
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
        if (ready) {
            try {
                piece.body->append(piece.xml, deflater);
            } catch (const components::ComponentError &error) {
                failure = error.description();
            } catch (const std::bad_alloc &) {
                failure = QStringLiteral("The rows of a worksheet could not be compressed: too little memory.");
            }
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
    if (ready)
        deflateEnd(&deflater);
}

} // namespace xlsx
