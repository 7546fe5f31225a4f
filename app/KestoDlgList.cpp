// The main window's file list: loads, rows and their records, totals and status texts.
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QLabel>
#include <QStatusBar>

#include "app/KestoDlg.h"
#include "app/Processing.h"
#include "app/core/AudioScan.h"
#include "app/core/ListTexts.h"
#include "controls/ListBusy.h"
#include "platform/Thread.h"

#include <algorithm>

namespace {

// The longest the window spends adding rows before it answers the user again.
constexpr qint64 ROW_SLICE_MS = 15;
// The summary is written once more a moment after a load ends.
constexpr int SUMMARY_TIMER_MS = 100;

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

void CKestoDlg::OnAddFiles() {
    // A running load stops after the file it is reading; its rows stay and it finishes as
    // usual. Nothing waits for its thread.
    m_busy = 0;
    if (m_loadJob)
        m_loadJob->RequestStop();

    QStringList chosen;
    if (m_chooseFiles) {
        chosen = m_chooseFiles();
    } else {
        QFileDialog dialog(this);
        dialog.setFileMode(QFileDialog::ExistingFiles);
        dialog.setNameFilter(QStringLiteral("ogg File (*.ogg)"));
        dialog.setDefaultSuffix(QStringLiteral("ogg"));
        if (dialog.exec() == QDialog::Accepted)
            chosen = dialog.selectedFiles();
    }
    if (chosen.isEmpty())
        return;
    std::vector<std::string> paths;
    paths.reserve(static_cast<size_t>(chosen.size()));
    for (const QString& path : chosen)
        paths.push_back(path.toStdString());
    StartLoad(std::move(paths), false);
}

void CKestoDlg::LoadFiles(const QStringList& files, bool walkFolders) {
    std::vector<std::string> paths;
    paths.reserve(static_cast<size_t>(files.size()));
    for (const QString& path : files)
        if (!path.isEmpty())
            paths.push_back(path.toStdString());
    if (paths.empty())
        return;
    if (m_loading) {
        m_queuedLoads.emplace_back(std::move(paths), walkFolders);
        return;
    }
    StartLoad(std::move(paths), walkFolders);
}

void CKestoDlg::StartLoad(std::vector<std::string> paths, bool walkFolders) {
    if (!m_barsCreated)
        return;
    auto job = std::make_shared<CLoadJob>(std::move(paths), walkFolders, m_port, ++m_loadSerial);
    if (m_prepareLoad)
        m_prepareLoad(*job);
    // A load that replaces a stopped one keeps the loading state; the last one to end
    // finishes for both.
    if (!m_loading)
        BeginLoading();
    m_busy = 1;
    m_loadJob = job;
    m_loaderThread = CThread::Create([job] { return job->Run(); });
    ++m_runningLoads;
    m_loaderThread->Resume();
}

void CKestoDlg::BeginLoading() {
    m_loading = true;
    m_loadFailed = false;
    // Off until the final sort: thousands of rows must not repaint one by one.
    m_list->viewport()->setUpdatesEnabled(false);
    m_processing->BeginLoad();
    m_busy = 1;
    setWindowTitle(QString::fromLatin1(LOADING_TITLE));
}

void CKestoDlg::CancelLoading() {
    if (!m_loading)
        return;
    g_listBusy.store(1);
    m_busy = 0;
    if (m_loadJob)
        m_loadJob->RequestStop();
}

void CKestoDlg::OnRowsArrived(CLoadBatch& batch) {
    if (batch.m_files.empty())
        return;
    m_processing->setWindowTitle(QStringLiteral("Reading  ") + Q(batch.m_files.back().m_path));
    for (CLoadedFile& file : batch.m_files)
        m_pendingRows.push_back(std::move(file));
    if (!m_rowTimer.isActive())
        m_rowTimer.start();
}

void CKestoDlg::OnLoadEnded(const CLoadEnd& end) {
    --m_runningLoads;
    if (end.m_failed) {
        m_loadFailed = true;
        ShowMessage(QStringLiteral("An Error Occurred While Loading Files!"),
                    QMessageBox::Critical);
    }
    if (m_runningLoads == 0 && m_pendingRows.empty() && m_loading)
        FinishLoading();
}

// Adds rows for a slice of time, then lets the window answer again; the timer comes back for
// the rest.
void CKestoDlg::AddPendingRows() {
    QElapsedTimer slice;
    slice.start();
    while (!m_pendingRows.empty() && slice.elapsed() < ROW_SLICE_MS) {
        AddFileRow(m_pendingRows.front());
        m_pendingRows.pop_front();
    }
    if (!m_pendingRows.empty())
        return;
    m_rowTimer.stop();
    // The final sort runs in a turn of its own, not on top of a slice of rows.
    if (m_runningLoads == 0 && m_loading)
        QTimer::singleShot(0, this, [this] {
            if (m_loading && m_runningLoads == 0 && m_pendingRows.empty())
                FinishLoading();
        });
}

void CKestoDlg::AddFileRow(CLoadedFile& file) {
    auto owned = std::make_unique<CAudioFileItem>(file.m_item);
    CAudioFileItem* record = owned.get();
    const int row = m_list->InsertItem(m_list->GetItemCount(), Q(file.m_name), record,
                                       IconIndex(file.m_path, file.m_extension));
    if (row < 0)
        return;
    m_records.emplace(record, std::move(owned));
    ++m_fileCount;
    m_currentItem = row;
    m_list->SetItemText(row, COL_PATH, Q(file.m_folder));
    m_list->SetItemText(row, COL_TYPE, Q(TypeText(file.m_extension, *record)));
    m_list->SetItemText(row, COL_SIZE, record->m_sizeMB, 2);
    m_list->SetItemText(row, COL_MODIFIED, Q(LastModifiedText(file.m_lastWrite)));
    m_list->SetItemText(row, COL_DURATION, Q(DurationText(*record)));
    m_list->SetItemText(row, COL_FREQUENCY, Q(FrequencyText(*record)));
    m_list->SetItemText(row, COL_CHANNEL, Q(ChannelText(*record)));
    if (record->m_error)
        m_list->SetItemTextColor(row, COL_TYPE, RGB(255, 0, 0), false);
    m_totalSizeMB += record->m_sizeMB;
    m_totalDuration += record->m_duration;
}

// One look-up per kind of file: the desktop's icon for a type does not change per file.
int CKestoDlg::IconIndex(const std::string& path, const std::string& extension) {
    const auto found = m_iconByExtension.find(extension);
    if (found != m_iconByExtension.end())
        return found->second;
    static QFileIconProvider provider;
    const int index = m_fileIcons.Add(provider.icon(QFileInfo(Q(path))));
    m_iconByExtension.emplace(extension, index);
    return index;
}

void CKestoDlg::FinishLoading() {
    m_processing->EndLoad();
    const QString summary = Q(SummaryText(m_fileCount, m_totalSizeMB, m_totalDuration));
    m_panes[0]->setText(summary);
    m_panes[0]->setToolTip(summary);
    m_panes[1]->setText(QStringLiteral(" No file selected"));
    m_panes[1]->setToolTip(QStringLiteral("No file selected"));

    // The sort turns the list's redrawing back on.
    m_list->SortItems(0, m_list->GetItemCount() - 1, true);
    m_list->viewport()->setUpdatesEnabled(true);
    const auto& keys = m_list->GetSortKeys();
    if (!keys.empty())
        SetHeaderImages(keys.front().column, keys.front().ascending != 0);

    m_busy = 0;
    m_loading = false;
    g_listBusy.store(0);
    m_loadJob.reset();
    m_summaryTimer.start(SUMMARY_TIMER_MS);
    setWindowTitle(QString::fromLatin1(MAIN_TITLE));
    Q_EMIT LoadFinished();

    if (!m_queuedLoads.empty()) {
        auto next = std::move(m_queuedLoads.front());
        m_queuedLoads.erase(m_queuedLoads.begin());
        StartLoad(std::move(next.first), next.second);
    }
}

bool CKestoDlg::IsListBusy() const {
    return m_loading || m_busy != 0 || g_listBusy.load() != 0;
}

CAudioFileItem* CKestoDlg::Record(int row) const {
    return m_list ? m_list->GetItemData(row) : nullptr;
}

void CKestoDlg::DeleteRow(int row) {
    CAudioFileItem* record = m_list->GetItemData(row);
    --m_fileCount;
    if (record) {
        m_totalDuration -= record->m_duration;
        m_totalSizeMB -= record->m_sizeMB;
    }
    m_list->DeleteItem(row, false);
    m_records.erase(record);
}

void CKestoDlg::OnRemove() {
    // Rows of a running load are still arriving; the list stays as it is until it ends.
    if (!m_barsCreated)
        return;
    if (m_loading) {
        QApplication::beep();
        return;
    }
    m_busy = 1;
    m_list->viewport()->setUpdatesEnabled(false);
    std::vector<const CAudioFileItem*> doomed;
    for (int row : SelectedRows()) {
        const CAudioFileItem* record = m_list->GetItemData(row);
        --m_fileCount;
        if (record) {
            m_totalDuration -= record->m_duration;
            m_totalSizeMB -= record->m_sizeMB;
            doomed.push_back(record);
        }
    }
    // In runs from the bottom: a long selection goes in one pass, not one shift per row.
    m_list->DeleteItems(RC_ITEM_SELECTED);
    for (const CAudioFileItem* record : doomed)
        m_records.erase(record);
    UpdateStatusText();
    m_list->viewport()->setUpdatesEnabled(true);
    m_busy = 0;
}

void CKestoDlg::OnSelectAll() {
    if (!m_barsCreated)
        return;
    m_busy = 1;
    m_list->SetAllItemStates(RC_ITEM_ALL, RC_ITEM_SELECTED);
    m_busy = 0;
    UpdateSelectionText();
}

void CKestoDlg::UpdateStatusText() {
    // Sums taken apart row by row drift by rounding; an empty list is exactly empty.
    if (m_fileCount <= 0) {
        m_fileCount = 0;
        m_totalSizeMB = 0;
        m_totalDuration = 0;
    }
    m_totalSizeMB = std::max(0.0, m_totalSizeMB);
    m_totalDuration = std::max(0.0, m_totalDuration);
    const QString summary = Q(SummaryText(m_fileCount, m_totalSizeMB, m_totalDuration));
    m_panes[0]->setText(summary);
    m_panes[0]->setToolTip(summary);
    m_list->RefreshRowColors(false);
    UpdateSelectionText();
}

void CKestoDlg::UpdateSelectionText() {
    if (!m_barsCreated)
        return;
    int count = 0;
    double size = 0;
    double duration = 0;
    for (int row : SelectedRows()) {
        const CAudioFileItem* record = m_list->GetItemData(row);
        ++count;
        if (record) {
            size += record->m_sizeMB;
            duration += record->m_duration;
        }
    }
    m_panes[1]->setText(QStringLiteral(" ") + Q(SelectionText(count, size, duration)));
}

std::vector<int> CKestoDlg::SelectedRows() const {
    std::vector<int> rows;
    if (!m_list)
        return rows;
    // Ranges may cover a row more than once (one range per column span); count it once.
    std::vector<char> seen(static_cast<size_t>(m_list->GetItemCount()), 0);
    for (const QItemSelectionRange& range : m_list->selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            if (row >= 0 && row < static_cast<int>(seen.size()) &&
                !seen[static_cast<size_t>(row)]) {
                seen[static_cast<size_t>(row)] = 1;
                rows.push_back(row);
            }
        }
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}
