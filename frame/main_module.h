#pragma once

// The shared helpers of module Main.

#include <QString>
#include <optional>

namespace Main {

inline const QString productTitle = QStringLiteral("Marrowbeck");

// True when the path's last-modified time can be read; never reports.
bool FileExists(const QString &path);

// The default when the value is the database null, else the value.
QString NullToDefault(const std::optional<QString> &value, const QString &defaultValue);

// Cuts the title back word by word, at least once, until it has at most 40
// characters. A title without a blank is kept whole: there is no word to cut.
QString shortAppTitle(const QString &title);

// Sets the application title to the shortened product title.
void SetShortAppTitle();

// What message boxes without a title of their own show.
QString appTitle();
void setAppTitle(const QString &title);

} // namespace Main
