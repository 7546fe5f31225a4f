#pragma once

#include <cstdint>
#include <span>

// The program's dialog templates as data: what a resource script would hold. Sizes and
// positions are in dialog units of the dialog font; texts are UTF-8, and "&" marks a
// mnemonic ("&&" is a plain ampersand) as in a resource script.

constexpr int IDD_ABOUTBOX = 100;    // CAboutDlg
constexpr int IDD_MAIN = 102;        // CKestoDlg
constexpr int IDD_PROCESSING = 157;  // CProcessing, the loading window
constexpr int IDD_CONVPROG = 170;    // CConvProg, the progress window
constexpr int IDD_OPTIONS = 172;     // COption

// Id of a control the program never looks up.
constexpr int IDC_STATIC = -1;

enum class DlgControlKind {
    PushButton,
    DefPushButton,
    Label,
    Edit,
    DropDownList,  // combo box without an edit field
    ListView,
    ProgressBar,
    GroupBox,
    CheckBox,
    Icon,
};

// Control styles that matter to the program.
enum : uint32_t {
    CTL_BORDER = 1u << 0,
    CTL_TABSTOP = 1u << 1,
    CTL_DISABLED = 1u << 2,
    CTL_AUTOHSCROLL = 1u << 3,    // edit
    CTL_RIGHT = 1u << 4,          // label text right-aligned
    CTL_NOPREFIX = 1u << 5,       // label: "&" is shown, not a mnemonic
    CTL_CENTERIMAGE = 1u << 6,    // label: one line, vertically centred
    CTL_REPORT = 1u << 7,         // list view: report form
    CTL_SHOWSELALWAYS = 1u << 8,  // list view: selection shown without focus
    CTL_SINGLESEL = 1u << 9,      // list view: one selected row at most
    CTL_NOSORTHEADER = 1u << 10,  // list view: header sections are not buttons
    CTL_SORT = 1u << 11,          // combo box sorts its entries
};

// Window styles of a template.
enum : uint32_t {
    DLG_CAPTION = 1u << 0,
    DLG_SYSMENU = 1u << 1,
    DLG_THICKFRAME = 1u << 2,  // resizable frame
    DLG_MINIMIZEBOX = 1u << 3,
    DLG_MAXIMIZEBOX = 1u << 4,
    DLG_MODALFRAME = 1u << 5,
    DLG_APPWINDOW = 1u << 6,  // shown on the task bar
};

struct DlgControl {
    int id;
    DlgControlKind kind;
    const char* text;
    int x, y, cx, cy;
    uint32_t style;
    int imageId;  // icon resource of an Icon control, else 0
};

struct DlgTemplate {
    int id;
    const char* caption;
    int cx, cy;  // client area
    const char* fontFace;
    int pointSize;
    uint32_t style;
    std::span<const DlgControl> controls;  // in creation (and tab) order
};

// Null for an id that names no template.
const DlgTemplate* FindDlgTemplate(int id);
std::span<const DlgTemplate> AllDlgTemplates();
