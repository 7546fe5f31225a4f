#pragma once

#include <QIcon>
#include <QList>
#include <QString>
#include <QTimer>
#include <QTreeView>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/core/AudioFileItem.h"
#include "platform/Message.h"

class QLineEdit;
class CReportModel;
class CReportHeader;
class QSettings;

// Colours are kept as 0x00BBGGRR values, the layout the stored colour tables use.
using COLORREF = uint32_t;
constexpr COLORREF RGB(unsigned r, unsigned g, unsigned b) {
    return (r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16);
}
// Passed as a colour: the system's window-text (text) or window (background) colour. It is
// stored as such and resolved from the palette whenever the cell paints.
constexpr COLORREF RC_SYSTEM_COLOR = 0xFFFFFFFF;

// Messages from the list to its owner. They reach the owner as the Qt signals of CReportCtrl
// and, when an owner port is set, as messages through it.
constexpr uint32_t WM_LIST_ROW_CLICKED = WM_APP + 10000;  // wParam row, lParam mouse button
constexpr uint32_t WM_LIST_SORTED = WM_APP + 10001;       // wParam column, lParam ascending
constexpr uint32_t WM_LIST_CELL_EDITED = WM_APP + 10002;  // wParam row, lParam column

// Row state bits; a filter combines them.
constexpr unsigned RC_ITEM_ALL = 0x01;  // filter only: every row
constexpr unsigned RC_ITEM_SELECTED = 0x02;
constexpr unsigned RC_ITEM_UNSELECTED = 0x04;
constexpr unsigned RC_ITEM_CHECKED = 0x08;
constexpr unsigned RC_ITEM_UNCHECKED = 0x10;
constexpr unsigned RC_ITEM_FOCUSED = 0x20;
constexpr unsigned RC_ITEM_UNFOCUSED = 0x40;

// Column formats and the extended styles the list understands.
constexpr int LVCFMT_LEFT = 0;
constexpr int LVCFMT_RIGHT = 1;
constexpr int LVCFMT_CENTER = 2;
constexpr unsigned LVS_EX_GRIDLINES = 0x1;
constexpr unsigned LVS_EX_CHECKBOXES = 0x4;
constexpr unsigned LVS_EX_HEADERDRAGDROP = 0x10;
constexpr unsigned LVS_EX_FULLROWSELECT = 0x20;
constexpr unsigned LVS_EX_SUBITEMIMAGES = 0x2;

// Editor alignments.
constexpr int ES_LEFT = 0;
constexpr int ES_CENTER = 1;
constexpr int ES_RIGHT = 2;

// Fixed columns of the file list that sort by their record instead of their text.
constexpr int RC_COLUMN_SIZE = 3;
constexpr int RC_COLUMN_FREQUENCY = 6;
constexpr int RC_COLUMN_CHANNEL = 7;
constexpr int RC_MAX_SORT_KEYS = 6;

// Images shared by rows or header items, addressed by index. Not owned by the list.
class CImageList {
public:
    int Add(const QIcon& icon) {
        m_icons.push_back(icon);
        return static_cast<int>(m_icons.size()) - 1;
    }
    int Count() const { return static_cast<int>(m_icons.size()); }
    QIcon Icon(int index) const {
        return index >= 0 && index < Count() ? m_icons[static_cast<size_t>(index)] : QIcon();
    }

private:
    std::vector<QIcon> m_icons;
};

struct ColumnState {
    uint8_t visible = 1;
    int width = 0;        // restored when the column is shown again
    int restorePos = -1;  // -1 when inserted, the column count once hidden
};

struct ColumnSortInfo {
    int32_t column = 0;
    int32_t ascending = 1;
    bool operator==(const ColumnSortInfo&) const = default;
};

// What the profile remembers of one column.
struct ColumnLayoutEntry {
    bool visible = true;
    int width = 0;
    bool operator==(const ColumnLayoutEntry&) const = default;
};

// The record behind every row; the caller only ever sees userData.
struct ReportRowRecord {
    CAudioFileItem* userData = nullptr;  // the caller's, never freed by the list
    std::vector<COLORREF> textColors;    // per column
    std::vector<COLORREF> backColors;    // per column
};

// Returns 1: there is no theme library to apply on this platform, and the look stays as it is.
int ApplyWindowTheme(QWidget* window, const char* classList, const char* subAppName,
                     const char* subIdList);

// Report-form list of the file list: a record with per-cell colours behind every row, columns
// that hide to width 0 at the left end of the header, a column menu on the header, hints in the
// empty list, multi-key sorting by header clicks with row shading, and in-place cell editing.
class CReportCtrl : public QTreeView {
    Q_OBJECT

public:
    explicit CReportCtrl(QWidget* parent = nullptr);
    ~CReportCtrl() override;

    // Look
    void SetExtendedStyle(unsigned exStyle);
    unsigned GetExtendedStyle() const { return m_exStyle; }
    int ApplyExplorerTheme();
    void SetImageList(CImageList* list);
    CImageList* GetImageList() const { return m_imageList; }
    void SetHeaderImageList(CImageList* list);
    CImageList* GetHeaderImageList() const { return m_headerImageList; }
    void SetHeaderImage(int column, int image, bool imageOnLeft);
    int GetHeaderImage(int column) const;  // -1 without image
    // False for a list without column header. Column clicks sort only while sortable.
    bool SetSortable(bool sortable);
    bool IsSortable() const { return m_sortable; }
    void SetColumnHeaderVisible(bool visible);  // a list without header never sorts by click
    // The header's own sort indicator, drawn in a space every title keeps free for it, so no
    // title moves when it appears. Every SortItems sets it on the primary key; column -1 clears.
    void SetSortMark(int column, bool ascending);
    int GetSortMarkColumn() const;
    bool IsSortMarkAscending() const;
    void ShowHints(bool show);
    bool IsShowingHints() const { return m_showHints; }
    static QString HintText(uint32_t tickCount);  // the hint shown at that tick count
    QString CurrentHint() const;

    // Columns
    int InsertColumn(int index, const QString& heading, int format = LVCFMT_LEFT, int width = 100,
                     int subItem = -1);
    // A default width for a column that was templatePixels wide in the 8-point dialog font the
    // defaults were chosen for, scaled to this list's font and never narrower than the heading
    // with its sort mark. The last column in display order also takes the list's spare width.
    int DefaultColumnWidth(const QString& heading, int templatePixels) const;
    bool DeleteColumn(int column);
    int GetColumnCount() const;
    QString GetColumnHeading(int column) const;
    int GetColumnWidth(int column) const;
    // Refused (returns false, nothing changes) while the column is hidden.
    bool SetColumnWidth(int column, int width);
    bool AutoSizeColumn(int column = -1, bool useHeader = false);
    bool ShowColumn(int column, bool show);
    bool IsColumnVisible(int column) const;
    ColumnState GetColumnState(int column) const;
    std::vector<int> GetColumnOrder() const;  // column index at each display position
    bool SetColumnOrder(const std::vector<int>& order);
    bool EnsureColumnVisible(int column, bool partialOK);

    // Rows and cells
    int InsertItem(int index, const QString& text, CAudioFileItem* userData = nullptr,
                   int image = -1);
    int GetItemCount() const;
    int GetItemCount(unsigned filter) const;
    CAudioFileItem* GetItemData(int row) const;
    bool SetItemData(int row, CAudioFileItem* data);
    QString GetItemText(int row, int column) const;
    bool SetItemText(int row, int column, const QString& text);
    bool SetItemText(int row, int column, double value, int precision);
    static QString FormatNumber(double value, int precision);
    int GetItemImage(int row, int column) const;
    bool SetItemImage(int row, int column, int image);
    // The colours the cell paints with now (see CellTextColor, CellBackColor).
    COLORREF GetItemTextColor(int row, int column) const;
    COLORREF GetItemBkColor(int row, int column) const;
    // Fixed colours stand on a light palette. The system colours and the sort shades come from
    // the palette at paint time; on a dark palette the shades are derived from it and a
    // cell's text is lightened where it would not reach a contrast of 4.5:1 on its background.
    QColor CellTextColor(int row, int column) const;
    QColor CellBackColor(int row, int column) const;
    void SetItemTextColor(int row, int column, COLORREF color, bool redraw);
    void SetItemBkColor(int row, int column, COLORREF color, bool redraw);
    bool DeleteItem(int row, bool selectNext = false);
    int DeleteItems(unsigned filter);

    // States and filters
    unsigned GetItemStates(int row) const;
    bool SetItemStates(int row, unsigned flags);
    int SetAllItemStates(unsigned filter, unsigned flags);
    int GetNextItem(unsigned filter, int after) const;
    bool IsItemChecked(int row) const;

    // Sorting
    void OnColumnClick(int column);
    void SortItems(int first, int last, bool highlight);
    bool SortRange(int first, int last, int column, bool ascending);
    int CompareRows(int row1, int row2, int column, int depth) const;
    void RefreshRowColors(bool highlight);
    const std::vector<ColumnSortInfo>& GetSortKeys() const { return m_sortKeys; }
    void SetSortKeys(std::vector<ColumnSortInfo> keys);
    // Consulted before a header click touches the keys; false ignores the click (the owner
    // refuses sorts while a load fills rows).
    void SetClickSortGuard(std::function<bool()> guard) { m_clickSortGuard = std::move(guard); }

    // In-place editing
    void EnableEdit(bool enable);
    bool IsEditEnabled() const { return m_editEnabled; }
    bool AddEditableColumn(int column);
    bool IsEditableColumn(int column) const;
    bool IsEditing() const;
    bool StartEdit(int row, int column);
    bool EndEdit(bool commit);
    int GetEditRow() const { return m_editRow; }
    int GetEditColumn() const { return m_editColumn; }
    QLineEdit* GetEditor() const { return m_edit; }

    // Profile ("FileList" section of the per-user profile)
    static std::unique_ptr<QSettings> OpenProfile();
    QByteArray GetColumnLayoutValue() const;
    // Nothing for a value that is missing or malformed (size, widths, visibility flags).
    static std::optional<std::vector<ColumnLayoutEntry>> ParseColumnLayout(const QByteArray& value,
                                                                           int columnCount);
    static std::optional<std::vector<ColumnLayoutEntry>> ReadColumnLayout(int columnCount);
    // After the columns are in: hides those stored hidden, in column-index order.
    void ApplyColumnVisibility(const std::vector<ColumnLayoutEntry>& layout);
    QByteArray GetSortKeysValue() const;
    static std::optional<std::vector<ColumnSortInfo>> ParseSortKeys(const QByteArray& value,
                                                                    int columnCount);
    // The stored keys, or the single key {0, ascending} when none or malformed ones are stored.
    void ReadSortKeys();
    void WriteProfile() const;  // "Column" and "SortEx"

    // The owner's port; when set, the messages above are also delivered through it (sorted:
    // posted; cell edited and row clicked: sent).
    std::shared_ptr<CWindowPort> m_notifyWnd;

Q_SIGNALS:
    void ListSorted(int column, int ascending);  // queued, after every SortItems
    // Sent synchronously once a changed text is in the cell; oldText is what the cell held
    // when the edit began. The receiver may write the cell again.
    void CellEdited(int row, int column, const QString& oldText);
    void EditStarted(int row, int column);
    void RowClicked(int row, int mouseButton);     // a click changed a row's check box
    void RightClicked(int row, QPoint globalPos);  // row -1 below the rows
    void DoubleClicked(int row);                   // row -1 below the rows

protected:
    virtual void OnKeyDown(QKeyEvent* event);
    virtual bool OnHeaderBeginTrack(int column);  // true refuses the resize
    virtual void OnHeaderEndDrag(int column, int oldVisual, int newVisual);
    virtual void OnHeaderDividerDblClick(int column);
    virtual void OnContextMenu(const QPoint& globalPos);
    virtual void OnCommand(int column);

    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    friend class CReportHeader;
    friend class CReportModel;

    void HandleClick(QMouseEvent* event, bool doubleClick);
    bool HandleEditKey(QKeyEvent* event);
    void PaintHints();
    QRect EditRect(int row, int column) const;
    int ColumnAlignment(int column) const;
    void SetRedraw(bool on);
    void ApplyColor(int row, int column, COLORREF color, bool text, bool redraw);
    std::vector<char> SelectedRows() const;
    unsigned StatesOf(int row, const std::vector<char>& selected) const;
    static bool Matches(unsigned states, unsigned filter);
    bool ApplyStates(int row, unsigned flags);
    void QuickSort(std::vector<int>& rows, int lo, int hi, int column, bool ascending) const;
    QColor ResolveBack(COLORREF stored) const;
    int LastVisualColumn() const;
    COLORREF GetStoredColor(int row, int column, bool text) const;

    CReportModel* m_model = nullptr;
    CReportHeader* m_header = nullptr;

    std::vector<ColumnSortInfo> m_sortKeys;
    bool m_showHints = false;
    std::vector<ColumnState> m_columns;
    std::vector<unsigned> m_editableColumns;
    QLineEdit* m_edit = nullptr;
    bool m_editEnabled = false;
    int m_editRow = -1;
    int m_editColumn = -1;
    int m_editAlign = ES_LEFT;
    QString m_editOldText;
    unsigned m_exStyle = LVS_EX_FULLROWSELECT | LVS_EX_SUBITEMIMAGES;
    CImageList* m_imageList = nullptr;
    CImageList* m_headerImageList = nullptr;
    bool m_sortable = true;
    bool m_movingSections = false;  // our own reordering, not a user's drag
    bool m_inClick = false;
    QTimer m_hintTimer;
    std::function<bool()> m_clickSortGuard;
};
