#include "controls/ReportCtrl.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>
#include <cstdio>

#include "controls/CellEditor.h"
#include "controls/PaletteColors.h"
#include "controls/ReportCtrlHeader.h"
#include "controls/ReportCtrlModel.h"
#include "platform/Tick.h"

namespace {

COLORREF ToColorRef(const QColor& c) {
    return RGB(c.red(), c.green(), c.blue());
}

QColor ToQColor(COLORREF c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

constexpr int HINT_PERIOD_MS = 6000;

}  // namespace

int ApplyWindowTheme(QWidget*, const char*, const char*, const char*) {
    return 1;
}

CReportCtrl::CReportCtrl(QWidget* parent) : QTreeView(parent) {
    m_model = new CReportModel(this);
    m_header = new CReportHeader(this);
    setHeader(m_header);
    setModel(m_model);
    // The tree view makes its header clickable only with its own sorting on; ours sorts itself.
    m_header->setSectionsClickable(true);
    // The divider double click is ours: it must leave hidden columns alone.
    disconnect(m_header, &QHeaderView::sectionHandleDoubleClicked, this,
               &QTreeView::resizeColumnToContents);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setExpandsOnDoubleClick(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setIconSize(QSize(16, 16));
    setTabKeyNavigation(false);

    m_edit = new CCellEditor(viewport());
    m_edit->hide();
    m_edit->installEventFilter(this);
    installEventFilter(this);

    connect(m_header, &QHeaderView::sectionClicked, this, &CReportCtrl::OnColumnClick);
    connect(m_header, &QHeaderView::sectionMoved, this, &CReportCtrl::OnHeaderEndDrag);
    connect(m_header, &QHeaderView::sectionHandleDoubleClicked, this,
            &CReportCtrl::OnHeaderDividerDblClick);
    // Only the user's scrolling ends an edit; scrolling done by the list itself does not.
    connect(horizontalScrollBar(), &QAbstractSlider::actionTriggered, this,
            [this] { EndEdit(false); });
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
            [this] { EndEdit(false); });

    m_hintTimer.setSingleShot(true);
    connect(&m_hintTimer, &QTimer::timeout, viewport(), qOverload<>(&QWidget::update));
}

CReportCtrl::~CReportCtrl() {
    m_hintTimer.stop();
    m_edit->removeEventFilter(this);
    removeEventFilter(this);
}

// ---- look ----

void CReportCtrl::SetExtendedStyle(unsigned exStyle) {
    m_exStyle = exStyle | LVS_EX_FULLROWSELECT | LVS_EX_SUBITEMIMAGES;
    m_header->setSectionsMovable((m_exStyle & LVS_EX_HEADERDRAGDROP) != 0);
    if (m_model->rowCount() > 0)
        Q_EMIT m_model->dataChanged(m_model->index(0, 0),
                                    m_model->index(m_model->rowCount() - 1, 0));
    viewport()->update();
}

int CReportCtrl::ApplyExplorerTheme() {
    return ApplyWindowTheme(this, "ListView", "Explorer", nullptr);
}

void CReportCtrl::SetImageList(CImageList* list) {
    m_imageList = list;
    viewport()->update();
}

void CReportCtrl::SetHeaderImageList(CImageList* list) {
    m_headerImageList = list;
    m_header->viewport()->update();
}

void CReportCtrl::ShowHints(bool show) {
    m_showHints = show;
    viewport()->update();
}

QString CReportCtrl::HintText(uint32_t tickCount) {
    switch ((tickCount / HINT_PERIOD_MS) % 4) {
        case 0:
            return QStringLiteral("Load your files by clicking the \"Add Files\" toolbar button");
        case 1:
            return QStringLiteral(
                "Right click items in the file list, then click the floating popup menu to "
                "perform various file operations");
        case 2:
            return QStringLiteral("Click the column header to sort the file list");
        default:
            return QStringLiteral(
                "Right click the column header, then click the floating popup menu to show/hide "
                "columns");
    }
}

QString CReportCtrl::CurrentHint() const {
    return HintText(GetTickCount());
}

void CReportCtrl::paintEvent(QPaintEvent* event) {
    QTreeView::paintEvent(event);
    if (m_showHints && m_model->rowCount() == 0)
        PaintHints();
}

// Centred in the area below the header, drawn straight into the window in the palette's
// placeholder colour over whatever the list painted; a timer repaints at the next 6-second
// boundary so the hints rotate.
void CReportCtrl::PaintHints() {
    const uint32_t tick = GetTickCount();
    QPainter painter(viewport());
    QFont font = this->font();
    font.setPointSizeF(15.6);
    painter.setFont(font);
    QRect area = viewport()->rect();
    const int textHeight = QFontMetrics(font).height();
    area.setTop(area.top() + (area.height() - textHeight) / 2);
    painter.setPen(palette().color(QPalette::PlaceholderText));
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.drawText(area, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, HintText(tick));
    m_hintTimer.start(static_cast<int>(HINT_PERIOD_MS - tick % HINT_PERIOD_MS) + 20);
}

void CReportCtrl::SetRedraw(bool on) {
    viewport()->setUpdatesEnabled(on);
}

void CReportCtrl::changeEvent(QEvent* event) {
    QTreeView::changeEvent(event);
    // Cells resolve their colours as they paint, so a repaint is all a new palette needs.
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) {
        viewport()->update();
        m_header->viewport()->update();
    }
}

QColor CReportCtrl::ResolveBack(COLORREF stored) const {
    const QPalette& pal = palette();
    if (stored == RC_SYSTEM_COLOR)
        return pal.color(QPalette::Base);
    if ((stored & 0xFF000000) != RC_SHADE_TAG)
        return ToQColor(stored);
    if (!IsDarkPalette(pal)) {
        switch (stored) {
            case SHADE_ODD:
                return QColor(244, 245, 252);
            case SHADE_EVEN_SORTED:
                return QColor(241, 242, 247);
            case SHADE_ODD_SORTED:
                return QColor(227, 230, 242);
            case SHADE_BAD:
                return QColor(255, 225, 241);
            default:
                return QColor(255, 255, 255);
        }
    }
    // The same roles derived from a dark palette: alternate rows, a tint of the highlight
    // for the sorted column, a tint of red for a file that cannot be converted.
    const QColor base = pal.color(QPalette::Base);
    QColor alternate = pal.color(QPalette::AlternateBase);
    if (alternate == base)
        alternate = MixColors(base, pal.color(QPalette::Text), 0.06);
    const QColor highlight = pal.color(QPalette::Highlight);
    switch (stored) {
        case SHADE_ODD:
            return alternate;
        case SHADE_EVEN_SORTED:
            return MixColors(base, highlight, 0.12);
        case SHADE_ODD_SORTED:
            return MixColors(alternate, highlight, 0.16);
        case SHADE_BAD:
            return MixColors(base, QColor(255, 0, 0), 0.22);
        default:
            return base;
    }
}

QColor CReportCtrl::CellBackColor(int row, int column) const {
    return ResolveBack(GetStoredColor(row, column, false));
}

QColor CReportCtrl::CellTextColor(int row, int column) const {
    const COLORREF stored = GetStoredColor(row, column, true);
    if (stored == RC_SYSTEM_COLOR)
        return palette().color(QPalette::Text);
    const QColor text = ToQColor(stored);
    if (!IsDarkPalette(palette()))
        return text;
    return EnsureContrast(text, CellBackColor(row, column));
}

// ---- rows and cells ----

int CReportCtrl::InsertItem(int index, const QString& text, CAudioFileItem* userData, int image) {
    EndEdit(true);
    if (index < 0)
        return -1;
    const auto columns = static_cast<size_t>(m_model->columnCount());
    CReportModel::Row row;
    row.record = std::make_unique<ReportRowRecord>();
    row.record->userData = userData;
    row.record->textColors.assign(columns, RC_SYSTEM_COLOR);
    row.record->backColors.assign(columns, RC_SYSTEM_COLOR);
    row.cells.resize(std::max<size_t>(columns, 1));
    row.cells[0].text = text;
    row.cells[0].image = image;
    return m_model->InsertRow(index, std::move(row));
}

int CReportCtrl::GetItemCount() const {
    return m_model->rowCount();
}

CAudioFileItem* CReportCtrl::GetItemData(int row) const {
    if (!m_model->IsRow(row) || !m_model->RowAt(row).record)
        return nullptr;
    return m_model->RowAt(row).record->userData;
}

bool CReportCtrl::SetItemData(int row, CAudioFileItem* data) {
    if (!m_model->IsRow(row) || !m_model->RowAt(row).record)
        return false;
    m_model->RowAt(row).record->userData = data;
    return true;
}

QString CReportCtrl::GetItemText(int row, int column) const {
    if (!m_model->IsRow(row) || !m_model->IsColumn(column))
        return {};
    return m_model->RowAt(row).cells[static_cast<size_t>(column)].text;
}

bool CReportCtrl::SetItemText(int row, int column, const QString& text) {
    EndEdit(true);
    if (!m_model->IsRow(row) || !m_model->IsColumn(column))
        return false;
    m_model->RowAt(row).cells[static_cast<size_t>(column)].text = text;
    m_model->CellChanged(row, column);
    return true;
}

QString CReportCtrl::FormatNumber(double value, int precision) {
    const int size = precision < 0 ? std::snprintf(nullptr, 0, "%f", value)
                                   : std::snprintf(nullptr, 0, "%.*f", precision, value);
    std::string text(static_cast<size_t>(std::max(size, 0)) + 1, '\0');
    if (precision < 0)
        std::snprintf(text.data(), text.size(), "%f", value);
    else
        std::snprintf(text.data(), text.size(), "%.*f", precision, value);
    text.resize(static_cast<size_t>(std::max(size, 0)));
    if (precision < 0) {
        while (!text.empty() && text.back() == '0')
            text.pop_back();
        while (!text.empty() && text.back() == '.')
            text.pop_back();
    }
    return QString::fromStdString(text);
}

bool CReportCtrl::SetItemText(int row, int column, double value, int precision) {
    return SetItemText(row, column, FormatNumber(value, precision));
}

int CReportCtrl::GetItemImage(int row, int column) const {
    if (!m_model->IsRow(row) || !m_model->IsColumn(column))
        return -1;
    return m_model->RowAt(row).cells[static_cast<size_t>(column)].image;
}

bool CReportCtrl::SetItemImage(int row, int column, int image) {
    if (!m_model->IsRow(row) || !m_model->IsColumn(column))
        return false;
    m_model->RowAt(row).cells[static_cast<size_t>(column)].image = image;
    m_model->CellChanged(row, column);
    return true;
}

COLORREF CReportCtrl::GetStoredColor(int row, int column, bool text) const {
    if (!m_model->IsRow(row) || !m_model->RowAt(row).record)
        return RC_SYSTEM_COLOR;
    const ReportRowRecord& record = *m_model->RowAt(row).record;
    const auto& colors = text ? record.textColors : record.backColors;
    return column >= 0 && column < std::ssize(colors) ? colors[static_cast<size_t>(column)]
                                                      : RC_SYSTEM_COLOR;
}

COLORREF CReportCtrl::GetItemTextColor(int row, int column) const {
    return ToColorRef(CellTextColor(row, column));
}

COLORREF CReportCtrl::GetItemBkColor(int row, int column) const {
    return ToColorRef(CellBackColor(row, column));
}

void CReportCtrl::SetItemTextColor(int row, int column, COLORREF color, bool redraw) {
    ApplyColor(row, column, color, true, redraw);
}

void CReportCtrl::SetItemBkColor(int row, int column, COLORREF color, bool redraw) {
    ApplyColor(row, column, color, false, redraw);
}

// An invalid row or column stands for all of them.
void CReportCtrl::ApplyColor(int row, int column, COLORREF color, bool text, bool redraw) {
    const int rows = m_model->rowCount();
    const int columns = m_model->columnCount();
    const bool oneRow = m_model->IsRow(row);
    const bool oneColumn = m_model->IsColumn(column);
    const int firstRow = oneRow ? row : 0;
    const int lastRow = oneRow ? row : rows - 1;
    const int firstColumn = oneColumn ? column : 0;
    const int lastColumn = oneColumn ? column : columns - 1;
    for (int r = firstRow; r <= lastRow; ++r) {
        ReportRowRecord* record = m_model->RowAt(r).record.get();
        if (record == nullptr)
            continue;
        auto& colors = text ? record->textColors : record->backColors;
        for (int c = firstColumn; c <= lastColumn && c < std::ssize(colors); ++c)
            colors[static_cast<size_t>(c)] = color;
    }
    if (lastRow >= firstRow && lastColumn >= firstColumn)
        Q_EMIT m_model->dataChanged(m_model->index(firstRow, firstColumn),
                                    m_model->index(lastRow, lastColumn));
    if (redraw)
        viewport()->repaint();
}

bool CReportCtrl::DeleteItem(int row, bool selectNext) {
    if (IsEditing())
        EndEdit(m_editRow != row);
    if (!m_model->IsRow(row))
        return false;
    if (selectNext && m_model->IsRow(row + 1))
        ApplyStates(row + 1, RC_ITEM_SELECTED);
    m_model->RemoveRows(row, row);
    return true;
}

int CReportCtrl::DeleteItems(unsigned filter) {
    EndEdit(false);
    setUpdatesEnabled(false);
    int deleted = 0;
    if (filter & RC_ITEM_ALL) {
        deleted = m_model->rowCount();
        m_model->Clear();
    } else if (filter != 0) {
        // Matching rows are found first and removed in runs from the bottom, which deletes the
        // same rows as walking down one at a time without shifting rows per deletion.
        const std::vector<char> selected = SelectedRows();
        std::vector<int> doomed;
        for (int r = 0; r < m_model->rowCount(); ++r) {
            if (Matches(StatesOf(r, selected), filter))
                doomed.push_back(r);
        }
        deleted = static_cast<int>(doomed.size());
        for (auto last = doomed.rbegin(); last != doomed.rend();) {
            auto first = last;
            while (std::next(first) != doomed.rend() && *std::next(first) == *first - 1)
                ++first;
            m_model->RemoveRows(*first, *last);
            last = std::next(first);
        }
    }
    setUpdatesEnabled(true);
    return deleted;
}

// ---- states ----

std::vector<char> CReportCtrl::SelectedRows() const {
    std::vector<char> selected(static_cast<size_t>(m_model->rowCount()), 0);
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        for (int r = range.top(); r <= range.bottom(); ++r) {
            if (r >= 0 && r < std::ssize(selected))
                selected[static_cast<size_t>(r)] = 1;
        }
    }
    return selected;
}

unsigned CReportCtrl::StatesOf(int row, const std::vector<char>& selected) const {
    unsigned states = selected[static_cast<size_t>(row)] ? RC_ITEM_SELECTED : RC_ITEM_UNSELECTED;
    states |= m_model->RowAt(row).checked ? RC_ITEM_CHECKED : RC_ITEM_UNCHECKED;
    states |= currentIndex().row() == row && currentIndex().isValid() ? RC_ITEM_FOCUSED
                                                                      : RC_ITEM_UNFOCUSED;
    return states;
}

bool CReportCtrl::Matches(unsigned states, unsigned filter) {
    if (filter == 0)
        return false;
    if (filter & RC_ITEM_ALL)
        return true;
    return (states & filter) == filter;
}

unsigned CReportCtrl::GetItemStates(int row) const {
    if (!m_model->IsRow(row))
        return 0;
    unsigned states = selectionModel()->isSelected(m_model->index(row, 0)) ? RC_ITEM_SELECTED
                                                                           : RC_ITEM_UNSELECTED;
    states |= m_model->RowAt(row).checked ? RC_ITEM_CHECKED : RC_ITEM_UNCHECKED;
    states |= currentIndex().isValid() && currentIndex().row() == row ? RC_ITEM_FOCUSED
                                                                      : RC_ITEM_UNFOCUSED;
    return states;
}

bool CReportCtrl::IsItemChecked(int row) const {
    return m_model->IsRow(row) && m_model->RowAt(row).checked;
}

bool CReportCtrl::ApplyStates(int row, unsigned flags) {
    if (!m_model->IsRow(row))
        return false;
    const QModelIndex index = m_model->index(row, 0);
    QItemSelectionModel* selection = selectionModel();
    if (flags & RC_ITEM_SELECTED)
        selection->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    if (flags & RC_ITEM_UNSELECTED)
        selection->select(index, QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    if (flags & (RC_ITEM_CHECKED | RC_ITEM_UNCHECKED)) {
        m_model->RowAt(row).checked = (flags & RC_ITEM_CHECKED) != 0;
        m_model->CellChanged(row, 0);
    }
    if (flags & RC_ITEM_FOCUSED)
        selection->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    if ((flags & RC_ITEM_UNFOCUSED) && currentIndex().row() == row)
        selection->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    return true;
}

bool CReportCtrl::SetItemStates(int row, unsigned flags) {
    if (flags == 0)
        return false;
    return ApplyStates(row, flags);
}

int CReportCtrl::SetAllItemStates(unsigned filter, unsigned flags) {
    if (filter == 0 || flags == 0)
        return 0;
    const std::vector<char> selected = SelectedRows();
    std::vector<int> rows;
    for (int r = 0; r < m_model->rowCount(); ++r) {
        if (Matches(StatesOf(r, selected), filter))
            rows.push_back(r);
    }
    // Selection changes go in as one selection of row runs, so selecting every row of a long
    // list costs one change, not one per row.
    if (flags & (RC_ITEM_SELECTED | RC_ITEM_UNSELECTED)) {
        QItemSelection runs;
        const int lastColumn = std::max(m_model->columnCount() - 1, 0);
        for (size_t i = 0; i < rows.size();) {
            size_t j = i;
            while (j + 1 < rows.size() && rows[j + 1] == rows[j] + 1)
                ++j;
            runs.select(m_model->index(rows[i], 0), m_model->index(rows[j], lastColumn));
            i = j + 1;
        }
        if (flags & RC_ITEM_SELECTED)
            selectionModel()->select(runs, QItemSelectionModel::Select);
        if (flags & RC_ITEM_UNSELECTED)
            selectionModel()->select(runs, QItemSelectionModel::Deselect);
    }
    const unsigned rest = flags & ~(RC_ITEM_SELECTED | RC_ITEM_UNSELECTED);
    if (rest != 0) {
        for (int r : rows)
            ApplyStates(r, rest);
    }
    return static_cast<int>(rows.size());
}

int CReportCtrl::GetItemCount(unsigned filter) const {
    if (filter & RC_ITEM_ALL)
        return m_model->rowCount();
    if (filter == 0)
        return 0;
    const std::vector<char> selected = SelectedRows();
    int count = 0;
    for (int r = 0; r < m_model->rowCount(); ++r)
        count += Matches(StatesOf(r, selected), filter) ? 1 : 0;
    return count;
}

int CReportCtrl::GetNextItem(unsigned filter, int after) const {
    if (filter == 0)
        return -1;
    after = std::max(after, -1);
    const std::vector<char> selected = SelectedRows();
    for (int r = after + 1; r < m_model->rowCount(); ++r) {
        if (Matches(StatesOf(r, selected), filter))
            return r;
    }
    return -1;
}

// ---- mouse ----

void CReportCtrl::mousePressEvent(QMouseEvent* event) {
    if (m_inClick) {
        QTreeView::mousePressEvent(event);
        return;
    }
    HandleClick(event, false);
}

void CReportCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    HandleClick(event, true);
}

void CReportCtrl::HandleClick(QMouseEvent* event, bool doubleClick) {
    const QPoint pos = event->position().toPoint();
    const QModelIndex hit = indexAt(pos);
    const int row = hit.isValid() ? hit.row() : -1;
    const int column = hit.isValid() ? hit.column() : -1;
    const bool wasChecked = IsItemChecked(row);
    const bool wasEditing = IsEditing();
    EndEdit(true);
    const bool left = event->button() == Qt::LeftButton;
    const bool wasCurrent = left && (GetItemStates(row) & (RC_ITEM_SELECTED | RC_ITEM_FOCUSED)) ==
                                        (RC_ITEM_SELECTED | RC_ITEM_FOCUSED);

    m_inClick = true;
    if (doubleClick)
        QTreeView::mouseDoubleClickEvent(event);
    else
        QTreeView::mousePressEvent(event);
    m_inClick = false;

    // The check box sits at the start of the first cell.
    if (left && column == 0 && (m_exStyle & LVS_EX_CHECKBOXES) && m_model->IsRow(row)) {
        const int box = style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, this) + 6;
        if (pos.x() - visualRect(hit).left() < box)
            ApplyStates(row, wasChecked ? RC_ITEM_UNCHECKED : RC_ITEM_CHECKED);
    }
    bool acted = false;
    if (m_model->IsRow(row) && IsItemChecked(row) != wasChecked) {
        selectionModel()->setCurrentIndex(
            m_model->index(row, 0),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        Q_EMIT RowClicked(row, static_cast<int>(event->button()));
        if (m_notifyWnd)
            m_notifyWnd->Send(Message{WM_LIST_ROW_CLICKED,
                                      static_cast<uintptr_t>(row),
                                      static_cast<intptr_t>(event->button()),
                                      {}});
        acted = true;
    }
    if (left && m_editEnabled && !acted && !wasEditing && wasCurrent && IsEditableColumn(column))
        StartEdit(row, column);

    if (event->button() == Qt::RightButton)
        Q_EMIT RightClicked(row, event->globalPosition().toPoint());
    if (doubleClick && left)
        Q_EMIT DoubleClicked(row);
}

void CReportCtrl::contextMenuEvent(QContextMenuEvent* event) {
    // Row menus are the owner's business (RightClicked); the header has its own menu.
    event->ignore();
}
