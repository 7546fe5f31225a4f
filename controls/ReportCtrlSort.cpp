#include <QMetaObject>

#include "controls/ListBusy.h"
#include "controls/ReportCtrl.h"
#include "controls/ReportCtrlHeader.h"
#include "controls/ReportCtrlModel.h"

namespace {

// UTF-16 compared in code point order, which is the unsigned byte order of the same texts in
// UTF-8, without converting them.
int CompareText(const QString& a, const QString& b) {
    const qsizetype n = std::min(a.size(), b.size());
    const QChar* pa = a.constData();
    const QChar* pb = b.constData();
    for (qsizetype i = 0; i < n; ++i) {
        char16_t x = pa[i].unicode();
        char16_t y = pb[i].unicode();
        if (x == y)
            continue;
        if (x >= 0xD800 && y >= 0xD800) {
            // Surrogates stand for code points above every other unit.
            x = x >= 0xE000 ? char16_t(x - 0x800) : char16_t(x + 0x2000);
            y = y >= 0xE000 ? char16_t(y - 0x800) : char16_t(y + 0x2000);
        }
        return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

template <typename T>
int Compare(T a, T b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

// The shades are stored as roles and resolved from the palette when a cell paints: on a light
// palette RGB(255,225,241) bad, RGB(227,230,242) and RGB(244,245,252) odd (sorted column and
// others), RGB(241,242,247) and white even.
constexpr COLORREF BAD_ROW = SHADE_BAD;
constexpr COLORREF ODD_SORTED = SHADE_ODD_SORTED;
constexpr COLORREF ODD_OTHER = SHADE_ODD;
constexpr COLORREF EVEN_SORTED = SHADE_EVEN_SORTED;
constexpr COLORREF EVEN_OTHER = SHADE_EVEN;

}  // namespace

void CReportCtrl::SetSortKeys(std::vector<ColumnSortInfo> keys) {
    if (keys.size() > RC_MAX_SORT_KEYS)
        keys.resize(RC_MAX_SORT_KEYS);
    m_sortKeys = std::move(keys);
}

// The clicked column becomes the primary key; clicking the primary key again flips it, and a
// former key keeps its own direction.
void CReportCtrl::OnColumnClick(int column) {
    if (m_clickSortGuard && !m_clickSortGuard())
        return;
    int32_t ascending = 1;
    const auto found =
        std::find_if(m_sortKeys.begin(), m_sortKeys.end(),
                     [column](const ColumnSortInfo& k) { return k.column == column; });
    if (found != m_sortKeys.end()) {
        ascending = found->ascending;
        if (found == m_sortKeys.begin())
            ascending = ascending ? 0 : 1;
        m_sortKeys.erase(found);
    }
    m_sortKeys.insert(m_sortKeys.begin(), ColumnSortInfo{column, ascending});
    while (m_sortKeys.size() > RC_MAX_SORT_KEYS)
        m_sortKeys.pop_back();
    EndEdit(true);
    if (m_model->IsColumn(column) && !m_header->isHidden() && m_sortable)
        SortItems(0, m_model->rowCount() - 1, true);
}

void CReportCtrl::SortItems(int first, int last, bool highlight) {
    g_listBusy.store(1);
    SetRedraw(false);
    if (!m_sortKeys.empty()) {
        const ColumnSortInfo primary = m_sortKeys.front();
        SortRange(first, last, primary.column, primary.ascending != 0);
        const int ascending = primary.ascending ? 1 : 0;
        SetSortMark(primary.column, ascending != 0);
        QMetaObject::invokeMethod(
            this, [this, primary, ascending] { Q_EMIT ListSorted(primary.column, ascending); },
            Qt::QueuedConnection);
        if (m_notifyWnd)
            m_notifyWnd->Post(
                Message{WM_LIST_SORTED, static_cast<uintptr_t>(primary.column), ascending, {}});
    }
    RefreshRowColors(highlight);
    g_listBusy.store(0);
}

// The rows move as a whole (texts, images, record with its colours, check, selection and
// focus) in one layout change, so nothing repaints per row.
bool CReportCtrl::SortRange(int first, int last, int column, bool ascending) {
    const int count = m_model->rowCount();
    if (!(first < last && first >= 0 && first < count && last >= 0 && last < count))
        return false;
    std::vector<int> rows(static_cast<size_t>(last - first + 1));
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i] = first + static_cast<int>(i);
    QuickSort(rows, 0, static_cast<int>(rows.size()) - 1, column, ascending);
    std::vector<int> order(static_cast<size_t>(count));
    for (int r = 0; r < count; ++r)
        order[static_cast<size_t>(r)] = r;
    std::copy(rows.begin(), rows.end(), order.begin() + first);
    m_model->Permute(order);
    return true;
}

// Hoare partition around the middle row. The primary direction applies to the whole
// comparison, tie-breakers included. The smaller side recurses and the larger one loops, which
// keeps the stack at log n without changing the resulting order.
void CReportCtrl::QuickSort(std::vector<int>& a, int lo, int hi, int column, bool ascending) const {
    while (lo < hi) {
        const int pivot = a[static_cast<size_t>((lo + hi) / 2)];
        int i = lo;
        int j = hi;
        const int sign = ascending ? 1 : -1;
        while (i <= j) {
            while (sign * CompareRows(a[static_cast<size_t>(i)], pivot, column, 0) < 0)
                ++i;
            while (sign * CompareRows(a[static_cast<size_t>(j)], pivot, column, 0) > 0)
                --j;
            if (i <= j) {
                if (i < j)
                    std::swap(a[static_cast<size_t>(i)], a[static_cast<size_t>(j)]);
                ++i;
                --j;
            }
        }
        if (j - lo < hi - i) {
            if (lo < j)
                QuickSort(a, lo, j, column, ascending);
            lo = i;
        } else {
            if (i < hi)
                QuickSort(a, i, hi, column, ascending);
            hi = j;
        }
    }
}

int CReportCtrl::CompareRows(int row1, int row2, int column, int depth) const {
    int result = 0;
    if (column == RC_COLUMN_SIZE || column == RC_COLUMN_FREQUENCY || column == RC_COLUMN_CHANNEL) {
        const CAudioFileItem* r1 = GetItemData(row1);
        const CAudioFileItem* r2 = GetItemData(row2);
        if (r1 == nullptr || r2 == nullptr) {
            // A row without a file record sorts before the rows with one.
            result = Compare(r1 != nullptr, r2 != nullptr);
        } else if (column == RC_COLUMN_SIZE) {
            result = Compare(r1->m_sizeMB, r2->m_sizeMB);
        } else if (column == RC_COLUMN_FREQUENCY) {
            result = Compare(r1->m_sampleRate, r2->m_sampleRate);
        } else {
            result = Compare(r1->m_channels, r2->m_channels);
        }
    } else if (m_model->IsColumn(column)) {
        const auto c = static_cast<size_t>(column);
        result =
            CompareText(m_model->RowAt(row1).cells[c].text, m_model->RowAt(row2).cells[c].text);
    }
    if (result != 0)
        return result;
    if (depth + 1 < std::ssize(m_sortKeys))
        return CompareRows(row1, row2, m_sortKeys[static_cast<size_t>(depth + 1)].column,
                           depth + 1);
    return 0;
}

void CReportCtrl::RefreshRowColors(bool highlight) {
    SetRedraw(false);
    const int sorted = m_sortKeys.empty() ? -1 : m_sortKeys.front().column;
    const int rows = m_model->rowCount();
    for (int r = 0; r < rows; ++r) {
        ReportRowRecord* record = m_model->RowAt(r).record.get();
        if (record == nullptr)
            continue;
        const bool bad = record->userData != nullptr && record->userData->m_error != 0;
        const bool odd = (r % 2) != 0;
        for (size_t k = 0; k < record->backColors.size(); ++k) {
            const bool tinted = highlight && static_cast<int>(k) == sorted;
            COLORREF color =
                odd ? (tinted ? ODD_SORTED : ODD_OTHER) : (tinted ? EVEN_SORTED : EVEN_OTHER);
            record->backColors[k] = bad ? BAD_ROW : color;
        }
    }
    if (rows > 0 && m_model->columnCount() > 0)
        Q_EMIT m_model->dataChanged(m_model->index(0, 0),
                                    m_model->index(rows - 1, m_model->columnCount() - 1),
                                    {Qt::BackgroundRole});
    SetRedraw(true);
    viewport()->repaint();
}
