#include "desktop_services.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGridLayout>
#include <QUrl>

namespace frame {
namespace {

class QtDesktopServices : public DesktopServices {
public:
    QString showOpen(const FileDialogSettings &settings, QWidget *parent) override
    {
        // Qt's own dialog, so the read-only choice can sit in it as the
        // desktop's open dialog has it.
        QFileDialog dialog(parent, settings.dialogTitle);
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setNameFilters(qtNameFilters(settings.filter));
        if (!settings.fileName.isEmpty())
            dialog.selectFile(settings.fileName);
        if (settings.flags & cdlOFNReadOnly) {
            auto *readOnly = new QCheckBox(QStringLiteral("Open as &read-only"), &dialog);
            readOnly->setObjectName(QStringLiteral("readOnlyChoice"));
            readOnly->setChecked(true);
            if (auto *grid = qobject_cast<QGridLayout *>(dialog.layout()))
                grid->addWidget(readOnly, grid->rowCount(), 0, 1, grid->columnCount());
        }
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().constFirst();
    }

    void openUrl(const QString &url) override { QDesktopServices::openUrl(QUrl(url)); }
};

std::shared_ptr<DesktopServices> &slot()
{
    static std::shared_ptr<DesktopServices> services = std::make_shared<QtDesktopServices>();
    return services;
}

} // namespace

DesktopServices &desktop() { return *slot(); }

void setDesktopServices(std::shared_ptr<DesktopServices> services) { slot() = std::move(services); }

QStringList qtNameFilters(const QString &filter)
{
    QStringList result;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        const qsizetype open = description.lastIndexOf(QLatin1Char('('));
        if (open > 0 && description.endsWith(QLatin1Char(')')))
            description = description.left(open).trimmed();
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString &pattern : patterns)
            pattern = pattern.trimmed();
        result << QStringLiteral("%1 (%2)").arg(description, patterns.join(QLatin1Char(' ')));
    }
    return result;
}

} // namespace frame
