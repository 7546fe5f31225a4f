#include "app/Icons.h"

#include <QFile>
#include <QString>

namespace {

const char* IconFile(int id) {
    switch (id) {
        case IDI_APPLICATION_ICON:
            return "quillon.svg";
        case IDI_ADD_FILES:
            return "add-files.svg";
        case IDI_CONVERT:
            return "convert.svg";
        case IDI_OPTIONS:
            return "options.svg";
        case IDI_ABOUT:
            return "about.svg";
        case IDI_SORT_NONE:
            return "sort-none.svg";
        case IDI_SORT_ASCENDING:
            return "sort-ascending.svg";
        case IDI_SORT_DESCENDING:
            return "sort-descending.svg";
        default:
            return nullptr;
    }
}

}  // namespace

QIcon ResourceIcon(int id) {
    const char* file = IconFile(id);
    if (!file)
        return {};
    const QString path = QStringLiteral(":/icons/") + QString::fromLatin1(file);
    if (!QFile::exists(path))
        return {};
    // The SVG engine renders every requested size afresh, so the images stay crisp at any
    // scale.
    return QIcon(path);
}
