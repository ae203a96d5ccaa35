#pragma once

#include <QString>

namespace components {

// A file written in a folder of its own beside the place it is meant for
// and moved there once complete, so nobody ever sees half of it. The folder
// takes whatever the writer leaves beside the file (an office's lock and
// temporary files). Until the move, the folder and all in it are removed
// when the object goes, and when the program ends, even at once (a
// termination signal): nothing half-written stays.
class UnfinishedFile {
public:
    // Creates the folder (with the permissions a new folder gets) in
    // folder; throws ComponentError when folder takes none.
    explicit UnfinishedFile(const QString &folder);
    ~UnfinishedFile();
    UnfinishedFile(const UnfinishedFile &) = delete;
    UnfinishedFile &operator=(const UnfinishedFile &) = delete;

    // Where to write the file; an empty file is there to begin with.
    const QString &path() const { return m_path; }
    // Moves the file to finalPath, in the folder given at the start,
    // replacing any file of that name; throws ComponentError when it cannot.
    void complete(const QString &finalPath);

private:
    QString m_folder;
    QString m_path;
};

// Makes the removal at the program's end run after whatever end-of-program
// work is arranged later (ending an office that may still be writing a
// file): call before starting such work.
void removeUnfinishedFilesAtExit();

} // namespace components
