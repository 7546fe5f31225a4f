#include "resources/DialogTemplates.h"

#include <algorithm>
#include <array>

namespace {

using K = DlgControlKind;

// The dialog font the sizes were chosen for; the builder lays a template out in the desktop's
// dialog font instead, so these only record what the units were measured against.
constexpr const char* TEMPLATE_FONT = "Tahoma";
constexpr int TEMPLATE_POINTS = 8;

constexpr DlgControl ABOUT_CONTROLS[] = {
    {IDC_STATIC, K::Icon, "", 6, 2, 20, 20, 0, 128},
    {IDC_STATIC, K::Label, "Quillon", 48, 7, 76, 13, CTL_NOPREFIX | CTL_CENTERIMAGE, 0},
    {IDC_STATIC, K::Label, "Homepage:", 25, 63, 37, 12, 0, 0},
    {1141, K::Label, "", 82, 63, 61, 12, 0, 0},
    {1, K::DefPushButton, "OK", 61, 112, 48, 14, 0, 0},
};

constexpr DlgControl MAIN_CONTROLS[] = {
    {1003, K::ListView, "", 2, 35, 597, 336,
     CTL_REPORT | CTL_SHOWSELALWAYS | CTL_BORDER | CTL_TABSTOP, 0},
};

constexpr DlgControl PROCESSING_CONTROLS[] = {
    {1054, K::ProgressBar, "", 7, 7, 302, 11, CTL_BORDER, 0},
    {3, K::PushButton, "Cancel", 259, 23, 50, 14, 0, 0},
};

constexpr DlgControl CONVPROG_CONTROLS[] = {
    {1071, K::GroupBox, "Current Progress", 7, 4, 354, 48, 0, 0},
    {1073, K::ProgressBar, "", 14, 20, 339, 10, 0, 0},
    {1076, K::Label, "Done:", 24, 36, 20, 10, 0, 0},
    {1080, K::Label, "0.00%", 48, 36, 30, 10, CTL_RIGHT, 0},
    {1078, K::Label, "Speed:", 106, 36, 26, 10, 0, 0},
    {1082, K::Label, "0.00x", 134, 36, 27, 10, CTL_RIGHT, 0},
    {1085, K::Label, "Elapsed:", 191, 36, 28, 10, 0, 0},
    {1087, K::Label, "00:00:00", 222, 37, 33, 10, CTL_RIGHT, 0},
    {1090, K::Label, "ETA:", 283, 36, 17, 10, 0, 0},
    {1088, K::Label, "00:00:00", 302, 37, 33, 10, CTL_RIGHT, 0},
    {1072, K::GroupBox, "Overall Progress", 7, 56, 354, 48, 0, 0},
    {1074, K::ProgressBar, "", 13, 72, 339, 10, 0, 0},
    {1077, K::Label, "Done:", 24, 88, 20, 10, 0, 0},
    {1081, K::Label, "0.00%", 48, 88, 30, 10, CTL_RIGHT, 0},
    {1079, K::Label, "Speed:", 106, 88, 26, 10, 0, 0},
    {1083, K::Label, "0.00x", 134, 88, 27, 10, CTL_RIGHT, 0},
    {1084, K::Label, "Elapsed:", 191, 88, 28, 10, 0, 0},
    {1086, K::Label, "00:00:00", 222, 89, 33, 10, CTL_RIGHT, 0},
    {1089, K::Label, "ETA:", 283, 88, 17, 10, 0, 0},
    {1091, K::Label, "00:00:00", 302, 89, 33, 10, CTL_RIGHT, 0},
    {1094, K::Label, "Source:", 9, 110, 34, 10, 0, 0},
    {1092, K::Label, "", 62, 110, 298, 10, 0, 0},
    {1095, K::Label, "Destination:", 9, 127, 43, 10, 0, 0},
    {1093, K::Label, "", 62, 127, 298, 10, 0, 0},
    {1003, K::ListView, "", 3, 144, 362, 105, CTL_REPORT | CTL_SHOWSELALWAYS | CTL_NOSORTHEADER, 0},
    {1096, K::PushButton, "&Clear", 75, 255, 48, 13, 0, 0},
    {1075, K::PushButton, "&Pause", 159, 255, 48, 13, 0, 0},
    {2, K::PushButton, "Cancel", 243, 255, 48, 13, 0, 0},
};

constexpr DlgControl OPTIONS_CONTROLS[] = {
    {IDC_STATIC, K::Label, "&Output Folder:", 7, 3, 50, 8, 0, 0},
    {1012, K::Edit, "", 19, 15, 262, 13, CTL_DISABLED | CTL_AUTOHSCROLL, 0},
    {1047, K::PushButton, "...", 283, 15, 21, 13, 0, 0},
    {IDC_STATIC, K::GroupBox, "Encoder Settings", 7, 33, 302, 107, 0, 0},
    {1084, K::Label, "Sampling &Frequency:", 21, 51, 75, 12, 0, 0},
    {1085, K::Label, "&Bitrate:", 21, 74, 75, 12, 0, 0},
    {1086, K::Label, "&Channel Mode:", 21, 97, 75, 12, 0, 0},
    {1088, K::DropDownList, "", 109, 51, 190, 12, 0, 0},
    {1089, K::DropDownList, "", 109, 74, 190, 12, 0, 0},
    {1090, K::DropDownList, "", 109, 97, 190, 12, 0, 0},
    {1091, K::Label, "NOTE: The Bitrate is Estimated  for Stereo 44100 Hz.", 21, 120, 257, 12, 0,
     0},
    {IDC_STATIC, K::GroupBox, "Tags", 7, 144, 302, 38, 0, 0},
    {1092, K::Label, "&Tag Version:", 21, 162, 75, 12, 0, 0},
    {1093, K::DropDownList, "", 109, 162, 190, 12, 0, 0},
    {IDC_STATIC, K::GroupBox, "Batch", 7, 186, 302, 58, 0, 0},
    {1094, K::Label, "Files &at once:", 21, 204, 75, 12, 0, 0},
    {1095, K::DropDownList, "", 109, 204, 190, 12, 0, 0},
    {1096, K::CheckBox, "&Stop the batch at the first failure", 21, 224, 278, 12, 0, 0},
    {3, K::PushButton, "&Reset", 54, 251, 50, 14, 0, 0},
    {1, K::PushButton, "OK", 133, 251, 50, 14, 0, 0},
    {2, K::PushButton, "Cancel", 212, 251, 50, 14, 0, 0},
};

constexpr uint32_t MODAL_STYLE = DLG_MODALFRAME | DLG_CAPTION | DLG_SYSMENU;
constexpr uint32_t RESIZABLE_STYLE =
    DLG_CAPTION | DLG_SYSMENU | DLG_THICKFRAME | DLG_MINIMIZEBOX | DLG_MAXIMIZEBOX;

constexpr std::array<DlgTemplate, 5> TEMPLATES = {{
    {IDD_ABOUTBOX, "About Quillon", 170, 130, TEMPLATE_FONT, TEMPLATE_POINTS, MODAL_STYLE,
     ABOUT_CONTROLS},
    {IDD_MAIN, "Quillon", 601, 388, TEMPLATE_FONT, TEMPLATE_POINTS, RESIZABLE_STYLE | DLG_APPWINDOW,
     MAIN_CONTROLS},
    {IDD_PROCESSING, "Processing Audio Files...", 316, 44, TEMPLATE_FONT, TEMPLATE_POINTS,
     MODAL_STYLE, PROCESSING_CONTROLS},
    {IDD_CONVPROG, "", 367, 273, TEMPLATE_FONT, TEMPLATE_POINTS, RESIZABLE_STYLE,
     CONVPROG_CONTROLS},
    {IDD_OPTIONS, "Options", 316, 270, TEMPLATE_FONT, TEMPLATE_POINTS, MODAL_STYLE,
     OPTIONS_CONTROLS},
}};

}  // namespace

const DlgTemplate* FindDlgTemplate(int id) {
    auto it = std::find_if(TEMPLATES.begin(), TEMPLATES.end(),
                           [id](const DlgTemplate& t) { return t.id == id; });
    return it == TEMPLATES.end() ? nullptr : &*it;
}

std::span<const DlgTemplate> AllDlgTemplates() {
    return TEMPLATES;
}
