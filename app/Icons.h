#pragma once

#include <QIcon>

// Icon resources by id: 128 the application (null until its image exists), 160 Add Files,
// 161 Convert, 169 Options, 159 About, and the header marks 132 (no sort), 134 (ascending),
// 133 (descending). Null for an unknown id.
QIcon ResourceIcon(int id);

constexpr int IDI_APPLICATION_ICON = 128;
constexpr int IDI_ADD_FILES = 160;
constexpr int IDI_CONVERT = 161;
constexpr int IDI_OPTIONS = 169;
constexpr int IDI_ABOUT = 159;
constexpr int IDI_SORT_NONE = 132;
constexpr int IDI_SORT_ASCENDING = 134;
constexpr int IDI_SORT_DESCENDING = 133;
