// Shows the window components for a look by eye or a screenshot under a real X server:
//   quillon_look_demo list [dark]        the file list with some rows, sorted by Size(MB)
//   quillon_look_demo template ID [dark] a dialog template as the builder makes it
// A manual helper beside the tests; the product does not use it.
#include <QApplication>
#include <QComboBox>
#include <QFileIconProvider>
#include <QFontDatabase>
#include <QStyleFactory>

#include <deque>

#include "LookPalettes.h"
#include "controls/Dialog.h"
#include "controls/ReportCtrl.h"

namespace {

struct Row {
    const char* name;
    double sizeMB;
    const char* modified;
    const char* duration;
    uint32_t rate;
    uint32_t channels;
    bool bad;
};

constexpr Row ROWS[] = {
    {"Aria da capo.ogg", 4.31, "2026/11/02 18:44:10", "00:03:41", 44100, 2, false},
    {"Bourrée in E minor.ogg", 2.07, "2026/11/02 18:45:03", "00:01:52", 44100, 2, false},
    {"Field recording, harbour.ogg", 11.92, "2026/10/28 07:12:55", "00:12:08", 48000, 2, false},
    {"interview-part1.ogg", 6.50, "2026/09/30 14:02:31", "00:27:40", 22050, 1, false},
    {"interview-part2.ogg", 5.88, "2026/09/30 14:31:09", "00:25:02", 22050, 1, false},
    {"notes.ogg", 0.01, "2026/12/01 09:15:00", "", 0, 0, true},
    {"Overture.ogg", 8.76, "2026/08/14 21:40:17", "00:07:55", 44100, 2, false},
    {"Rain on the roof.ogg", 3.14, "2026/07/03 05:58:44", "00:04:20", 32000, 2, false},
    {"Surround test.ogg", 9.02, "2026/06/21 11:11:11", "00:02:30", 48000, 6, false},
};

QString ChannelText(uint32_t channels) {
    if (channels == 1)
        return QStringLiteral("1 (Mono)");
    if (channels == 2)
        return QStringLiteral("2 (Stereo)");
    return QString::number(channels);
}

int ShowList() {
    static std::deque<CAudioFileItem> items;
    static CImageList icons;
    icons.Add(QFileIconProvider().icon(QFileIconProvider::File));
    CReportCtrl list;
    list.setWindowTitle(QStringLiteral("Quillon file list"));
    list.SetExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP);
    list.SetImageList(&icons);
    const struct {
        const char* title;
        int format;
        int width;
    } columns[] = {{"Name", LVCFMT_LEFT, 150},           {"Path", LVCFMT_LEFT, 150},
                   {"Type", LVCFMT_RIGHT, 65},           {"Size(MB)", LVCFMT_RIGHT, 85},
                   {"Last Modified", LVCFMT_RIGHT, 120}, {"Duration", LVCFMT_RIGHT, 88},
                   {"Frequency", LVCFMT_RIGHT, 96},      {"Channel", LVCFMT_RIGHT, 88}};
    for (int c = 0; c < 8; ++c) {
        const QString title = QString::fromLatin1(columns[c].title);
        list.InsertColumn(c, title, columns[c].format,
                          list.DefaultColumnWidth(title, columns[c].width));
    }
    for (const Row& r : ROWS) {
        CAudioFileItem& item = items.emplace_back();
        item.m_sizeMB = r.sizeMB;
        item.m_sampleRate = r.rate;
        item.m_channels = r.channels;
        item.m_error = r.bad ? 1 : 0;
        const int row = list.InsertItem(list.GetItemCount(), QString::fromUtf8(r.name), &item, 0);
        list.SetItemText(row, 1, QStringLiteral("/home/ada/Music/"));
        list.SetItemText(row, 2, r.bad ? QStringLiteral("Unknown") : QStringLiteral("OGG"));
        list.SetItemText(row, 3, r.sizeMB, 2);
        list.SetItemText(row, 4, QString::fromLatin1(r.modified));
        list.SetItemText(row, 5, QString::fromLatin1(r.duration));
        if (!r.bad) {
            list.SetItemText(row, 6, QStringLiteral("%1 Hz").arg(r.rate));
            list.SetItemText(row, 7, ChannelText(r.channels));
        } else {
            list.SetItemTextColor(row, 2, RGB(255, 0, 0), false);
        }
    }
    list.SetSortKeys({{0, 1}});
    list.OnColumnClick(RC_COLUMN_SIZE);
    list.SetItemStates(2, RC_ITEM_SELECTED | RC_ITEM_FOCUSED);
    list.resize(1100, 300);
    list.show();
    return QApplication::exec();
}

int ShowTemplate(int id) {
    CDialog dialog(id);
    if (id == IDD_OPTIONS) {
        auto* frequency = dialog.ControlAs<QComboBox>(1088);
        frequency->addItem(QStringLiteral(" Automatic (Fastest & Optimal Way, Recommended)"));
        frequency->addItem(QStringLiteral(" 44100 Hz"));
        dialog.ControlAs<QComboBox>(1089)->addItem(
            QStringLiteral(" Automatic (Fastest & Optimal Way, Recommended)"));
        dialog.ControlAs<QComboBox>(1090)->addItem(QStringLiteral(" 128 kbps"));
        dialog.ControlAs<QComboBox>(1093)->addItem(QStringLiteral(" ID3v2.3"));
        dialog.ControlAs<QComboBox>(1095)->addItem(QStringLiteral(" Automatic"));
    }
    dialog.show();
    return QApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    // What a desktop sets as its interface font, where it is installed.
    if (QFontDatabase::hasFamily(QStringLiteral("Noto Sans")))
        QApplication::setFont(QFont(QStringLiteral("Noto Sans"), 10));
    const QStringList args = QApplication::arguments();
    if (args.contains(QStringLiteral("dark")))
        QApplication::setPalette(DarkPalette());
    if (args.size() > 2 && args[1] == QStringLiteral("template"))
        return ShowTemplate(args[2].toInt());
    return ShowList();
}
