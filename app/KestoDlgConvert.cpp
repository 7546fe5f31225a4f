// Starting a conversion: the list's good rows become a batch for the progress window.
#include "app/KestoDlg.h"
#include "app/core/Settings.h"
#include "app/core/TaskBuilder.h"
#include "batch/ConvProg.h"
#include "engine/ConversionTask.h"
#include "platform/FileSystem.h"

void CKestoDlg::OnConvertAll() {
    StartConversion(false);
}

void CKestoDlg::OnConvertSelected() {
    StartConversion(true);
}

void CKestoDlg::StartConversion(bool selectedOnly) {
    // A load, a removal or a sort may be changing rows right now.
    if (!m_list || IsListBusy())
        return;
    if (!selectedOnly && m_list->GetItemCount() == 0)
        return;

    CConvProg progress(this);
    progress.m_state->m_batchSamplesTotal = 0;
    // The worker checks each task's folder again and reports a failure there.
    if (!PathFileExists(g_outputFolder))
        CreateDirectoryTree(g_outputFolder);

    const CTaskSettings settings = CurrentTaskSettings();
    for (int row = 0; row < m_list->GetItemCount(); ++row) {
        if (selectedOnly && !(m_list->GetItemStates(row) & RC_ITEM_SELECTED))
            continue;
        const CAudioFileItem* item = Record(row);
        if (!item)
            continue;
        // A bad row is never converted, not even when selected.
        AppendConversionTask(*progress.m_state, m_list->GetItemText(row, COL_PATH).toStdString(),
                             m_list->GetItemText(row, COL_NAME).toStdString(), *item, settings);
    }
    if (progress.m_state->m_tasks.empty())
        return;
    ApplyBatchSettings(*progress.m_state);
    progress.exec();
}
