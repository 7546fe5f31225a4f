#include <QSettings>

#include <cstring>
#include <set>

#include "controls/Profile.h"
#include "controls/ReportCtrl.h"
#include "controls/ReportCtrlHeader.h"

namespace {

const QString SECTION_COLUMN = QStringLiteral("FileList/Column");
const QString SECTION_SORT = QStringLiteral("FileList/SortEx");
// No screen makes a column this wide; a larger stored width is damage, not a choice.
constexpr int MAX_STORED_WIDTH = 10000;

void AppendInt32(QByteArray& out, int32_t value) {
    const auto u = static_cast<uint32_t>(value);
    const char bytes[4] = {char(u & 0xFF), char((u >> 8) & 0xFF), char((u >> 16) & 0xFF),
                           char((u >> 24) & 0xFF)};
    out.append(bytes, 4);
}

int32_t ReadInt32(const QByteArray& in, qsizetype offset) {
    uint32_t u = 0;
    for (int b = 3; b >= 0; --b)
        u = (u << 8) | static_cast<uint8_t>(in[offset + b]);
    return static_cast<int32_t>(u);
}

}  // namespace

std::unique_ptr<QSettings> CReportCtrl::OpenProfile() {
    return ::OpenProfile();
}

QByteArray CReportCtrl::GetColumnLayoutValue() const {
    QByteArray value;
    for (int c = 0; c < GetColumnCount(); ++c) {
        const ColumnState& state = m_columns[static_cast<size_t>(c)];
        AppendInt32(value, state.visible ? 1 : 0);
        AppendInt32(value, state.visible ? GetColumnWidth(c) : state.width);
    }
    return value;
}

std::optional<std::vector<ColumnLayoutEntry>> CReportCtrl::ParseColumnLayout(
    const QByteArray& value, int columnCount) {
    if (columnCount <= 0 || value.size() != qsizetype(columnCount) * 8)
        return std::nullopt;
    std::vector<ColumnLayoutEntry> layout;
    for (int c = 0; c < columnCount; ++c) {
        const int32_t visible = ReadInt32(value, qsizetype(c) * 8);
        const int32_t width = ReadInt32(value, qsizetype(c) * 8 + 4);
        if ((visible != 0 && visible != 1) || width < 0 || width > MAX_STORED_WIDTH)
            return std::nullopt;
        // The first two columns cannot be hidden from the menu, so they never start hidden.
        layout.push_back(ColumnLayoutEntry{visible == 1 || c < 2, width});
    }
    return layout;
}

std::optional<std::vector<ColumnLayoutEntry>> CReportCtrl::ReadColumnLayout(int columnCount) {
    const auto profile = OpenProfile();
    if (!profile->contains(SECTION_COLUMN))
        return std::nullopt;
    return ParseColumnLayout(profile->value(SECTION_COLUMN).toByteArray(), columnCount);
}

void CReportCtrl::ApplyColumnVisibility(const std::vector<ColumnLayoutEntry>& layout) {
    for (int c = 0; c < std::min<int>(GetColumnCount(), std::ssize(layout)); ++c) {
        if (!layout[static_cast<size_t>(c)].visible)
            ShowColumn(c, false);
    }
}

QByteArray CReportCtrl::GetSortKeysValue() const {
    QByteArray value;
    for (const ColumnSortInfo& key : m_sortKeys) {
        AppendInt32(value, key.column);
        AppendInt32(value, key.ascending ? 1 : 0);
    }
    return value;
}

std::optional<std::vector<ColumnSortInfo>> CReportCtrl::ParseSortKeys(const QByteArray& value,
                                                                      int columnCount) {
    if (value.isEmpty() || value.size() % 8 != 0 || value.size() / 8 > RC_MAX_SORT_KEYS)
        return std::nullopt;
    std::vector<ColumnSortInfo> keys;
    std::set<int32_t> seen;
    for (qsizetype at = 0; at < value.size(); at += 8) {
        const ColumnSortInfo key{ReadInt32(value, at), ReadInt32(value, at + 4)};
        if (key.column < 0 || key.column >= columnCount ||
            (key.ascending != 0 && key.ascending != 1) || !seen.insert(key.column).second)
            return std::nullopt;
        keys.push_back(key);
    }
    return keys;
}

void CReportCtrl::ReadSortKeys() {
    const auto profile = OpenProfile();
    std::optional<std::vector<ColumnSortInfo>> keys;
    if (profile->contains(SECTION_SORT))
        keys = ParseSortKeys(profile->value(SECTION_SORT).toByteArray(), GetColumnCount());
    m_sortKeys = keys ? std::move(*keys) : std::vector<ColumnSortInfo>{{0, 1}};
}

void CReportCtrl::WriteProfile() const {
    const auto profile = OpenProfile();
    profile->setValue(SECTION_COLUMN, GetColumnLayoutValue());
    profile->setValue(SECTION_SORT, GetSortKeysValue());
    profile->sync();
}
