#pragma once

class QWidget;

namespace frame {

// The designed look both wizard windows share: white surfaces, bold 11.25 pt
// Arial push buttons on white, a fixed size, centred on the screen.
void styleWizardWindow(QWidget &window);

} // namespace frame
