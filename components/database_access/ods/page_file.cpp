#include "page_file.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ods {

PageFile::PageFile(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    m_fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0) {
        const int error = errno;
        fail(QStringLiteral("The database file \"%1\" could not be opened for reading (%2). Check the path and that "
                            "you may read the file.")
                 .arg(path, QString::fromLocal8Bit(strerror(error))));
    }
    struct stat facts {};
    if (::fstat(m_fd, &facts) != 0 || !S_ISREG(facts.st_mode)) {
        ::close(m_fd);
        m_fd = -1;
        fail(QStringLiteral("\"%1\" is not a database file: it is not a plain file.").arg(path));
    }
    m_fileSize = uint64_t(facts.st_size);
}

PageFile::~PageFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::vector<uint8_t> PageFile::readStart(size_t length) const
{
    std::vector<uint8_t> bytes(length);
    size_t done = 0;
    while (done < length) {
        const ssize_t got = ::pread(m_fd, bytes.data() + done, length - done, off_t(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += size_t(got);
    }
    bytes.resize(done);
    return bytes;
}

Page PageFile::load(uint32_t number) const
{
    if (uint64_t(number) >= pageCount())
        damagedPage(number,
                    QStringLiteral("page %1 lies beyond the end of the file (%2 pages)").arg(number).arg(pageCount()));
    auto bytes = std::make_shared<std::vector<uint8_t>>(m_pageSize);
    const off_t offset = off_t(uint64_t(number) * m_pageSize);
    size_t done = 0;
    while (done < m_pageSize) {
        const ssize_t got = ::pread(m_fd, bytes->data() + done, m_pageSize - done, offset + off_t(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            fail(QStringLiteral("The database file could not be read at page %1 (%2).")
                     .arg(number)
                     .arg(QString::fromLocal8Bit(strerror(got < 0 ? errno : EIO))));
        done += size_t(got);
    }
    return bytes;
}

PageView PageFile::page(uint32_t number, PageType type, PageType alternative) const
{
    Page bytes;
    {
        const std::lock_guard<std::mutex> lock(m_cacheLock);
        Slot &slot = m_cache[number % m_cache.size()];
        if (!slot.page || slot.number != number) {
            slot.page = load(number);
            slot.number = number;
        }
        bytes = slot.page;
    }
    PageView page(std::move(bytes), number);
    if (page.type() != type && (alternative == 0 || page.type() != alternative))
        damagedPage(number, QStringLiteral("page %1 should be of type %2 but is of type %3")
                                .arg(number)
                                .arg(int(type))
                                .arg(int(page.type())));
    // An encrypted page cannot be read without the key the engine holds.
    if (m_encryptionFlag && (page.flags() & disk::PageHeader::encryptedFlag) && (type == DataPage || type == BlobPage))
        fail(QStringLiteral("The database file is encrypted. Decrypt it with the Firebird version that made it "
                            "(ALTER DATABASE DECRYPT) and open the decrypted file."));
    return page;
}

} // namespace ods
