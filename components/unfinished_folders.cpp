#include "unfinished_folders.h"

#include <atomic>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace components::unfinished_folders {
namespace {

enum State : int { Free, Busy, Live };

// Entries are never freed, only reused, so a handler walking the list never
// meets freed memory; a run holds at most as many as its sheets at once.
struct Entry {
    std::atomic<int> state{Busy};
    size_t capacity = 0;
    char *path = nullptr;
    Entry *next = nullptr;
};

std::atomic<Entry *> entries{nullptr};

struct LinuxDirent64 {
    ino64_t inode;
    off64_t offset;
    unsigned short length;
    unsigned char type;
    char name[];
};

// One listing of the folder, removing what it lists; says whether anything
// went. getdents64 rather than readdir: readdir may allocate.
bool removeListed(int folder)
{
    alignas(LinuxDirent64) char buffer[4096];
    bool removed = false;
    ::lseek(folder, 0, SEEK_SET);
    for (long read; (read = ::syscall(SYS_getdents64, folder, buffer, sizeof buffer)) > 0;) {
        for (long at = 0; at < read;) {
            const auto *entry = reinterpret_cast<const LinuxDirent64 *>(buffer + at);
            at += entry->length;
            if (std::strcmp(entry->name, ".") == 0 || std::strcmp(entry->name, "..") == 0)
                continue;
            if (::unlinkat(folder, entry->name, 0) == 0 || ::unlinkat(folder, entry->name, AT_REMOVEDIR) == 0)
                removed = true;
        }
    }
    return removed;
}

void removeFolderNow(const char *path)
{
    const int folder = ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return;
    // Removing while listing may skip entries, so list again while that
    // removes something; an entry that cannot go ends it.
    for (int pass = 0; pass < 16 && removeListed(folder); ++pass) {
    }
    ::close(folder);
    ::rmdir(path);
}

} // namespace

void add(const QByteArray &folder)
{
    const size_t needed = size_t(folder.size()) + 1;
    for (Entry *entry = entries.load(); entry; entry = entry->next) {
        int free = Free;
        if (entry->capacity >= needed && entry->state.compare_exchange_strong(free, Busy)) {
            std::memcpy(entry->path, folder.constData(), needed);
            entry->state.store(Live);
            return;
        }
    }
    auto *entry = new Entry;
    entry->capacity = needed;
    entry->path = new char[needed];
    std::memcpy(entry->path, folder.constData(), needed);
    entry->next = entries.load();
    while (!entries.compare_exchange_weak(entry->next, entry)) {
    }
    entry->state.store(Live);
}

void drop(const QByteArray &folder)
{
    for (Entry *entry = entries.load(); entry; entry = entry->next) {
        int live = Live;
        if (std::strcmp(entry->path, folder.constData()) == 0 && entry->state.compare_exchange_strong(live, Busy)) {
            entry->state.store(Free);
            return;
        }
    }
}

void removeAllNow() noexcept
{
    for (Entry *entry = entries.load(); entry; entry = entry->next)
        if (entry->state.load() == Live)
            removeFolderNow(entry->path);
}

} // namespace components::unfinished_folders
