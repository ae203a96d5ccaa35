#pragma once

#include <QString>

namespace components {

// A file written under a name of its own in the folder it is meant for and
// renamed to its real name once complete, so nobody ever sees half of it.
// One not yet renamed is removed when the object goes, and when the program
// ends, even at once (a termination signal): nothing half-written stays.
class UnfinishedFile {
public:
    // Creates the empty file (with the permissions a new file gets); throws
    // ComponentError when the folder takes no file.
    explicit UnfinishedFile(const QString &folder);
    ~UnfinishedFile();
    UnfinishedFile(const UnfinishedFile &) = delete;
    UnfinishedFile &operator=(const UnfinishedFile &) = delete;

    const QString &path() const { return m_path; }
    // Renames it to finalPath, in the same folder, replacing any file of
    // that name; throws ComponentError when it cannot.
    void complete(const QString &finalPath);

private:
    QString m_path;
    bool m_completed = false;
};

// Makes the removal at the program's end run after whatever end-of-program
// work is arranged later (ending an office that may still be writing a
// file): call before starting such work.
void removeUnfinishedFilesAtExit();

} // namespace components
