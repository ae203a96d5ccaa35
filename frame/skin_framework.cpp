#include "skin_framework.h"

#include "component_error.h"

#include <QFile>
#include <QWidget>

namespace frame {

void SkinFramework::LoadSkin(const QString &skinFile, const QString &iniFileName)
{
    Q_UNUSED(iniFileName);
    QFile file(skinFile);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        throw components::ComponentError(QStringLiteral("The skin file %1 could not be read: %2").arg(skinFile, file.errorString()));
    m_styleSheet = QString::fromUtf8(file.readAll());
}

void SkinFramework::ApplyWindow(QWidget *window)
{
    if (!window)
        throw components::ComponentError(QStringLiteral("The skin was given no window to apply to."));
    window->setProperty("skinFrames", m_skinFrames);
    window->setProperty("skinControls", m_skinControls);
    window->setProperty("skinOptions", m_applyOptions);
    window->setStyleSheet(m_styleSheet);
}

} // namespace frame
