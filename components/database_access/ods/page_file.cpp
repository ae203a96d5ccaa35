#include "page_file.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace ods {

namespace {

constexpr uint32_t lastPossiblePage = std::numeric_limits<uint32_t>::max();

// A plain file opened for reading, or -1 with errno set. A header page
// can name any path: one that names a pipe must not wait for a writer.
int openPlainFile(const QString &path, uint64_t &size)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return -1;
    struct stat facts {};
    if (::fstat(fd, &facts) != 0 || !S_ISREG(facts.st_mode)) {
        ::close(fd);
        errno = EISDIR;
        return -1;
    }
    size = uint64_t(facts.st_size);
    return fd;
}

// Up to `length` bytes from `offset`: fewer at the end of the file, or
// where reading fails (errno says so).
size_t readAt(int fd, uint8_t *into, size_t length, off_t offset)
{
    size_t done = 0;
    while (done < length) {
        const ssize_t got = ::pread(fd, into + done, length - done, offset + off_t(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += size_t(got);
    }
    return done;
}

} // namespace

PageFile::PageFile(const QString &path)
{
    Opened primary;
    primary.fd = openPlainFile(path, primary.size);
    if (primary.fd < 0) {
        const int error = errno;
        if (error == EISDIR)
            fail(QStringLiteral("\"%1\" is not a database file: it is not a plain file.").arg(path));
        fail(QStringLiteral("The database file \"%1\" could not be opened for reading (%2). Check the path and that "
                            "you may read the file.")
                 .arg(path, QString::fromLocal8Bit(strerror(error))));
    }
    m_files.push_back(DatabaseFile{QString(), path, 0, lastPossiblePage});
    m_opened.push_back(primary);
}

PageFile::~PageFile()
{
    for (const Opened &file : m_opened)
        if (file.fd >= 0)
            ::close(file.fd);
}

std::vector<uint8_t> PageFile::readStart(size_t length) const
{
    std::vector<uint8_t> bytes(length);
    bytes.resize(readAt(m_opened.front().fd, bytes.data(), length, 0));
    return bytes;
}

std::vector<uint8_t> PageFile::addContinuation(const QString &storedName, const QStringList &candidates,
                                               uint32_t previousLastPage,
                                               const std::function<bool(const PageSpan &)> &isIt)
{
    DatabaseFile &previous = m_files.back();
    if (m_opened.back().fd < 0)
        return {};
    // Each file starts after the one before it: anything else would read
    // one page from two places, or go round for ever.
    if (previousLastPage < previous.firstPage || previousLastPage == lastPossiblePage)
        damaged(QStringLiteral("the header page of \"%1\" says the file ends at page %2, before it starts")
                    .arg(previous.path)
                    .arg(previousLastPage));
    previous.lastPage = previousLastPage;
    DatabaseFile next{storedName, QString(), previousLastPage + 1, lastPossiblePage};
    Opened opened;
    opened.headerPages = 1;
    std::vector<uint8_t> first(m_pageSize);
    for (const QString &candidate : candidates) {
        opened.lookedAt << candidate;
        uint64_t size = 0;
        const int fd = openPlainFile(candidate, size);
        if (fd < 0)
            continue;
        if (readAt(fd, first.data(), first.size(), 0) == first.size() &&
            isIt(PageSpan(first.data(), first.size(), next.firstPage, HeaderPage))) {
            next.path = candidate;
            opened.fd = fd;
            opened.size = size;
            break;
        }
        ::close(fd);
    }
    m_files.push_back(next);
    m_opened.push_back(opened);
    if (opened.fd < 0)
        first.clear();
    return first;
}

QString PageFile::missingFile() const
{
    const Opened &last = m_opened.back();
    if (last.fd >= 0)
        return {};
    return QStringLiteral("its file \"%1\", or one after it, is missing (%2). Put every file of the database in the "
                          "folder of \"%3\" and open it again.")
        .arg(m_files.back().storedName,
             last.lookedAt.isEmpty()
                 ? QStringLiteral("its name is none this program can look for")
                 : QStringLiteral("looked for at \"%1\"").arg(last.lookedAt.join(QStringLiteral("\", \""))),
             m_files.front().path);
}

uint64_t PageFile::pagesIn(size_t index) const
{
    const Opened &file = m_opened[index];
    const uint64_t physical = file.size / m_pageSize;
    const uint64_t held = physical > file.headerPages ? physical - file.headerPages : 0;
    return std::min<uint64_t>(held, uint64_t(m_files[index].lastPage) - m_files[index].firstPage + 1);
}

uint64_t PageFile::pageCount() const
{
    // Only the last file can be missing: the ones after it are named in it.
    size_t last = m_files.size() - 1;
    if (m_opened[last].fd < 0)
        return m_files[last].firstPage;
    return m_files[last].firstPage + pagesIn(last);
}

size_t PageFile::fileOf(uint32_t number) const
{
    size_t index = 0;
    while (number > m_files[index].lastPage)
        ++index;
    return index;
}

bool PageFile::beyondEnd(uint32_t number) const
{
    const size_t index = fileOf(number);
    return m_opened[index].fd >= 0 && number - m_files[index].firstPage >= pagesIn(index);
}

Page PageFile::load(uint32_t number) const
{
    const size_t index = fileOf(number);
    const DatabaseFile &file = m_files[index];
    const Opened &opened = m_opened[index];
    if (opened.fd < 0) {
        m_missingPageAsked = true;
        fail(QStringLiteral("Page %1 of the database cannot be read: %2").arg(number).arg(missingFile()));
    }
    if (number - file.firstPage >= pagesIn(index)) {
        if (index == 0 && m_files.size() == 1)
            damagedPage(number, QStringLiteral("page %1 lies beyond the end of the file (%2 pages)")
                                    .arg(number)
                                    .arg(pagesIn(0)));
        damagedPage(number, QStringLiteral("page %1 lies beyond the end of \"%2\", which holds pages %3 to %4")
                                .arg(number)
                                .arg(file.path)
                                .arg(file.firstPage)
                                .arg(uint64_t(file.firstPage) + pagesIn(index) - 1));
    }
    auto bytes = std::make_shared<std::vector<uint8_t>>(m_pageSize);
    const off_t offset = off_t((uint64_t(number - file.firstPage) + opened.headerPages) * m_pageSize);
    errno = 0;
    if (readAt(opened.fd, bytes->data(), m_pageSize, offset) != m_pageSize)
        fail(QStringLiteral("The database file could not be read at page %1 (%2).")
                 .arg(number)
                 .arg(QString::fromLocal8Bit(strerror(errno ? errno : EIO))));
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
