#pragma once

// The platform's file-open dialog and web browser. Production uses Qt's;
// tests replace them.

#include <QString>
#include <memory>

class QWidget;

namespace frame {

// The settings of the common file dialog, in the desktop's own terms.
struct FileDialogSettings {
    QString fileName;
    int flags = 0;
    QString dialogTitle;
    // Description|patterns|... with patterns separated by ';'.
    QString filter;
};

enum FileDialogFlags { cdlOFNReadOnly = 1, cdlOFNExplorer = 524288, cdlOFNLongNames = 2097152 };

class DesktopServices {
public:
    virtual ~DesktopServices() = default;
    // The chosen file's full path, or "" when cancelled.
    virtual QString showOpen(const FileDialogSettings &settings, QWidget *parent) = 0;
    virtual void openUrl(const QString &url) = 0;
};

DesktopServices &desktop();
void setDesktopServices(std::shared_ptr<DesktopServices> services);

// Qt's file dialog separates patterns with blanks; with ';' it shows nothing.
QStringList qtNameFilters(const QString &filter);

} // namespace frame
