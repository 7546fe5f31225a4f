#pragma once

#include <QSettings>
#include <QString>

#include <memory>

// The per-user profile that keeps window state (list layout, placements): organization
// "Quillon", application = the executable's name.
QString ProfileApplicationName();
std::unique_ptr<QSettings> OpenProfile();
// The profile key of a section's unnamed value.
QString ProfileKey(const QString& section, const QString& entry);
