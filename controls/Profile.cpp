#include "controls/Profile.h"

#include <QCoreApplication>
#include <QFileInfo>

QString ProfileApplicationName() {
    QString name = QCoreApplication::applicationName();
    if (name.isEmpty()) {
        name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    }
    return name;
}

std::unique_ptr<QSettings> OpenProfile() {
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("Quillon"), ProfileApplicationName());
}

QString ProfileKey(const QString& section, const QString& entry) {
    // A section's unnamed value is the entry ".".
    return section + QLatin1Char('/') + (entry.isEmpty() ? QStringLiteral(".") : entry);
}
