#pragma once

#include "sheet_rows_xml.h"

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

// How much of a sheet's rows goes into its file after cells are taken.
enum class RowsOut {
    // Rows complete, once there are enough of them to deflate.
    Enough,
    // Every complete row.
    Complete,
    // Every row: the last one ends, and nothing can go into it after.
    All,
};

// One worksheet's rows, as XML deflated, kept in a file of their own until
// the workbook is stored: the sheets' order in the file is known only then,
// and a table of any size costs no memory on the way. Each piece is
// deflated on its own (see PieceDeflater).
class SheetBody {
public:
    // The file is made at path and removed with the body; rows are of the
    // height given, in points.
    SheetBody(QString path, double rowPoints);
    ~SheetBody();
    SheetBody(const SheetBody &) = delete;
    SheetBody &operator=(const SheetBody &) = delete;

    // Makes the cells' records XML, and deflates as many rows as asked for
    // into the file; throws ComponentError when the file cannot be written.
    void take(const QByteArray &records, RowsOut out, PieceDeflater &deflater);

    const QString &path() const { return m_path; }
    const SheetRowsXml &rows() const { return m_rows; }
    // Of the XML in the file: its length and its CRC-32.
    quint64 xmlSize() const { return m_xmlSize; }
    quint32 crc() const { return m_crc; }

private:
    void deflateEnded(PieceDeflater &deflater);

    QString m_path;
    SheetRowsXml m_rows;
    quint64 m_xmlSize = 0;
    quint32 m_crc = 0;
};

// Makes the sheets' cells XML and deflates it on a thread of its own while
// the table is read, in the order they are handed over; a few pieces at most
// wait, so memory does not grow with the table. A failure is kept and thrown
// from the next call: nothing more is taken after it.
class BodyCompressor {
public:
    BodyCompressor() = default;
    ~BodyCompressor();
    BodyCompressor(const BodyCompressor &) = delete;
    BodyCompressor &operator=(const BodyCompressor &) = delete;

    void add(std::shared_ptr<SheetBody> body, QByteArray records, RowsOut out = RowsOut::Enough);
    // Returns once everything handed over is in its body.
    void finish();

private:
    struct Piece {
        std::shared_ptr<SheetBody> body;
        QByteArray records;
        RowsOut out;
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
