#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <stdexcept>

namespace testing_support {

// A part of a window by the name its layout gives it: the windows keep their
// parts to themselves, and a test reaches them as a user's tools would.
template <class Part>
Part &part(QWidget &window, const char *name)
{
    if (Part *found = window.findChild<Part *>(QString::fromLatin1(name)))
        return *found;
    throw std::logic_error(std::string("the window has no part ") + name);
}

} // namespace testing_support
