#pragma once

#include <QString>

class QWidget;

namespace frame {

// The skin component: loads a Qt style sheet from a skin file and applies it
// to the windows it is given. Its options are kept for the style sheet's use
// through dynamic properties on the skinned window.
class SkinFramework {
public:
    // Throws when the file cannot be read.
    void LoadSkin(const QString &skinFile, const QString &iniFileName);

    int ApplyOptions() const { return m_applyOptions; }
    void setApplyOptions(int options) { m_applyOptions = options; }
    void setSkinFrames(bool on) { m_skinFrames = on; }
    void setSkinControls(bool on) { m_skinControls = on; }

    void ApplyWindow(QWidget *window);

private:
    QString m_styleSheet;
    int m_applyOptions = 0;
    bool m_skinFrames = false;
    bool m_skinControls = false;
};

} // namespace frame
