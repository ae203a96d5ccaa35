#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace xlsx {

// Deflates pieces of XML each on its own, ending on a byte (a full flush),
// so that any number of them, one after the other, are one stream to any
// reader. ISA-L's fastest level: a third of the time zlib's fastest takes,
// for files no larger.
class PieceDeflater {
public:
    PieceDeflater();

    // Valid until the next call; throws ComponentError when the piece
    // cannot be deflated.
    QByteArrayView deflate(const QByteArray &xml);

private:
    std::vector<std::uint8_t> m_levelBuffer;
    QByteArray m_deflated;
};

// The CRC-32 of a zip entry, continued over more bytes.
std::uint32_t continuedCrc(std::uint32_t crc, const char *bytes, qsizetype size);

// One worksheet's rows, deflated, kept in a file of their own until the
// workbook is stored: the sheets' order in the file is known only then, and
// a table of any size costs no memory on the way. Each piece is deflated on
// its own (see PieceDeflater).
class SheetBody {
public:
    // The file is made at path and removed with the body.
    explicit SheetBody(QString path);
    ~SheetBody();
    SheetBody(const SheetBody &) = delete;
    SheetBody &operator=(const SheetBody &) = delete;

    // Deflates xml and adds it to the file; throws ComponentError when
    // the file cannot be written.
    void append(const QByteArray &xml, PieceDeflater &deflater);

    const QString &path() const { return m_path; }
    // Of the XML appended: its length and its CRC-32.
    quint64 xmlSize() const { return m_xmlSize; }
    quint32 crc() const { return m_crc; }

private:
    QString m_path;
    quint64 m_xmlSize = 0;
    quint32 m_crc = 0;
};

// Deflates the sheets' rows on a thread of its own while the table is read,
// in the order they are handed over; a few pieces at most wait, so memory
// does not grow with the table. A failure is kept and thrown from the next
// call: nothing more is deflated after it.
class BodyCompressor {
public:
    BodyCompressor() = default;
    ~BodyCompressor();
    BodyCompressor(const BodyCompressor &) = delete;
    BodyCompressor &operator=(const BodyCompressor &) = delete;

    void add(std::shared_ptr<SheetBody> body, QByteArray xml);
    // Returns once everything handed over is in its body.
    void finish();

private:
    struct Piece {
        std::shared_ptr<SheetBody> body;
        QByteArray xml;
    };
    void work();
    // With the lock held.
    void throwFailure() const;

    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<Piece> m_waiting;
    bool m_busy = false;
    bool m_stopping = false;
    QString m_failure;
    std::thread m_thread;
};

} // namespace xlsx
