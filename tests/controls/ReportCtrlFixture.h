#pragma once

#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <deque>
#include <memory>

#include "controls/ReportCtrl.h"

inline QStringList Strings(std::initializer_list<const char*> texts) {
    QStringList list;
    for (const char* t : texts)
        list << QString::fromUtf8(t);
    return list;
}

inline void SendMouse(QWidget* target, QEvent::Type type, QPoint pos, Qt::MouseButtons buttons) {
    QMouseEvent event(type, pos, target->mapToGlobal(pos), Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

// Presses at from, moves to to with the button held, releases: a real divider or section drag.
inline void Drag(QWidget* target, QPoint from, QPoint to) {
    SendMouse(target, QEvent::MouseButtonPress, from, Qt::LeftButton);
    const QPoint step = (to - from) / 4;
    for (int i = 1; i <= 4; ++i)
        SendMouse(target, QEvent::MouseMove, from + step * i, Qt::LeftButton);
    SendMouse(target, QEvent::MouseMove, to, Qt::LeftButton);
    SendMouse(target, QEvent::MouseButtonRelease, to, Qt::NoButton);
}

// A shown file list with the eight columns of the main window and a private profile folder.
struct ReportListFixture {
    static constexpr int WIDTHS[8] = {150, 150, 65, 85, 120, 88, 96, 88};

    QTemporaryDir home;
    std::unique_ptr<CReportCtrl> list;
    std::deque<CAudioFileItem> items;  // stable addresses for the rows' records

    ReportListFixture() {
        qputenv("HOME", home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/.config")).toUtf8());
        // The settings library keeps the first user folder it saw; point it at ours.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           home.path() + QStringLiteral("/.config"));
    }

    void Create(bool withColumns = true) {
        list = std::make_unique<CReportCtrl>();
        list->resize(1000, 320);
        if (withColumns)
            AddColumns();
        list->show();
        QVERIFY(QTest::qWaitForWindowExposed(list.get()));
    }

    void AddColumns(const std::vector<int>& widths = {}) {
        static const char* titles[8] = {"Name",          "Path",     "Type",      "Size(MB)",
                                        "Last Modified", "Duration", "Frequency", "Channel"};
        for (int c = 0; c < 8; ++c) {
            const int width = widths.empty() ? WIDTHS[c] : widths[size_t(c)];
            list->InsertColumn(c, QString::fromLatin1(titles[c]),
                               c < 2 ? LVCFMT_LEFT : LVCFMT_RIGHT, width);
        }
    }

    int AddRow(const QString& name, double sizeMB = 1.0, int error = 0, uint32_t rate = 44100,
               uint32_t channels = 2) {
        CAudioFileItem& item = items.emplace_back();
        item.m_sizeMB = sizeMB;
        item.m_error = error;
        item.m_sampleRate = rate;
        item.m_channels = channels;
        const int row = list->InsertItem(list->GetItemCount(), name, &item);
        list->SetItemText(row, 1, QStringLiteral("/music/"));
        list->SetItemText(row, 3, sizeMB, 2);
        list->SetItemText(row, 6, QStringLiteral("%1 Hz").arg(rate));
        list->SetItemText(row, 7, QString::number(channels));
        return row;
    }

    QStringList Names() const {
        QStringList names;
        for (int r = 0; r < list->GetItemCount(); ++r)
            names << list->GetItemText(r, 0);
        return names;
    }

    QHeaderView* Header() const { return list->header(); }

    QPoint SectionCenter(int column) const {
        return QPoint(Header()->sectionViewportPosition(column) + Header()->sectionSize(column) / 2,
                      Header()->height() / 2);
    }

    QPoint CellCenter(int row, int column) const {
        return list->visualRect(list->model()->index(row, column)).center();
    }

    // A press and a release on the section, delivered straight to the header.
    void ClickHeader(int column) const {
        QWidget* target = Header()->viewport();
        const QPoint at = SectionCenter(column);
        QMouseEvent press(QEvent::MouseButtonPress, at, target->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, target->mapToGlobal(at), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(target, &release);
    }

    void ClickCell(int row, int column) const {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, CellCenter(row, column));
    }
};
