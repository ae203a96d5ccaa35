#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

namespace calc {

// A LibreOffice user profile of our own under the user's cache folder, so
// our office never shares the user's settings, documents or running office
// (LibreOffice hands a start-up to whichever office already runs on the same
// profile). Folders are reused once the office that had them has ended: a
// fresh profile costs a third more start-up time.
class OfficeProfile {
public:
    // Throws components::ComponentError when no folder can be had.
    static OfficeProfile claim();

    QString url() const;
    QString folder() const { return m_folder; }
    // The office runs on the profile now: from its command line, other
    // claims see the profile taken for as long as it runs.
    void officeStarted();

private:
    OfficeProfile(QString folder, std::unique_ptr<QLockFile> claim);

    QString m_folder;
    // Held while the office starts, so two starts never pick one folder.
    std::unique_ptr<QLockFile> m_claim;
};

} // namespace calc
