#include "app/OptionDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <iterator>
#include <memory>

#include "app/core/Settings.h"
#include "controls/FolderDialog.h"

namespace {

const char* const FREQ_ENTRIES[FREQ_COUNT] = {
    " Automatic (Fastest & Optimal Way, Recommended)",
    "   8000 Hertz",
    " 11025 Hertz",
    " 12000 Hertz",
    " 16000 Hertz",
    " 22050 Hertz",
    " 24000 Hertz",
    " 32000 Hertz",
    " 44100 Hertz",
};

const char* const CHANNEL_ENTRIES[] = {
    " Automatic (Fastest & Optimal Way, Recommended)",
    " Mono",
    " Stereo",
};

// Entry i stands for the ID3v2 major version ID3_VERSIONS[i].
const short ID3_VERSIONS[] = {3, 4};
const char* const ID3_ENTRIES[] = {
    " ID3v2.3 (Read by Most Players, Recommended)",
    " ID3v2.4 (UTF-8 Text)",
};

int Id3Index(short version) {
    for (int i = 0; i < int(std::size(ID3_VERSIONS)); ++i) {
        if (ID3_VERSIONS[i] == version) {
            return i;
        }
    }
    return -1;
}

QString BitrateEntry(int kbps) {
    return QStringLiteral(" %1 kbits per second").arg(kbps, 3);
}

// A value outside the list shows the default, so OK never stores a value the list cannot hold.
void SelectEntry(QComboBox* list, int value, int fallback) {
    list->setCurrentIndex(value >= 0 && value < list->count() ? value : fallback);
}

// The selection to store; the default when nothing is selected.
short Selection(const QComboBox* list, short fallback) {
    const int index = list->currentIndex();
    return index >= 0 ? static_cast<short>(index) : fallback;
}

}  // namespace

COption::COption(QWidget* parent) : CDialog(IDD_OPTIONS, parent) {
    m_label1085 = ControlAs<QLabel>(IDC_ROW2_LABEL);
    m_label1086 = ControlAs<QLabel>(IDC_ROW3_LABEL);
    m_freq = ControlAs<QComboBox>(IDC_FREQ);
    m_channel = ControlAs<QComboBox>(IDC_CHANNEL);
    m_bitrate = ControlAs<QComboBox>(IDC_BITRATE);
    m_id3Version = ControlAs<QComboBox>(IDC_ID3_VERSION);
    m_filesAtOnce = ControlAs<QComboBox>(IDC_FILES_AT_ONCE);
    m_stopOnError = ControlAs<QCheckBox>(IDC_STOP_ON_ERROR);
    m_folder = ControlAs<QLineEdit>(IDC_OUTPUT_FOLDER);
    // Enter means OK wherever the focus is, never the browse or Reset button.
    for (QPushButton* button : findChildren<QPushButton*>()) {
        button->setAutoDefault(false);
        button->setDefault(ControlId(button) == 1);
    }
}

COption::~COption() = default;

bool COption::OnInitDialog() {
    CDialog::OnInitDialog();
    if (QWidget* browse = Control(IDC_BROWSE)) {
        browse->setEnabled(true);
    }
    m_folder->setText(QString::fromStdString(g_outputFolder));
    m_folder->setCursorPosition(0);

    m_freq->clear();
    for (const char* entry : FREQ_ENTRIES) {
        m_freq->addItem(QString::fromUtf8(entry));
    }
    m_channel->clear();
    m_bitrate->clear();
    if (QWidget* note = Control(IDC_NOTE)) {
        note->show();
    }
    m_label1085->setText(QStringLiteral("&Channel Mode:"));
    m_label1086->setText(QStringLiteral("&Bits per Second:"));
    for (const char* entry : CHANNEL_ENTRIES) {
        m_channel->addItem(QString::fromUtf8(entry));
    }
    for (int kbps : g_bitrateTable) {
        m_bitrate->addItem(BitrateEntry(kbps));
    }

    SelectEntry(m_freq, g_freq, DEFAULT_FREQ);
    SelectEntry(m_channel, g_lameChannel, DEFAULT_LAME_CHANNEL);
    SelectEntry(m_bitrate, g_lameBits, DEFAULT_LAME_BITS);

    m_id3Version->clear();
    for (const char* entry : ID3_ENTRIES) {
        m_id3Version->addItem(QString::fromUtf8(entry));
    }
    SelectEntry(m_id3Version, Id3Index(g_id3Version), Id3Index(DEFAULT_ID3_VERSION));

    // Entry i is the setting's value i: 0 one file per core, else that many files.
    m_filesAtOnce->clear();
    m_filesAtOnce->addItem(QStringLiteral(" Automatic (One per Processor Core)"));
    for (int files = 1; files <= MAX_FILES_AT_ONCE; ++files) {
        m_filesAtOnce->addItem(QStringLiteral(" %1").arg(files));
    }
    SelectEntry(m_filesAtOnce, g_filesAtOnce, DEFAULT_FILES_AT_ONCE);
    m_stopOnError->setChecked(g_stopOnError != 0);
    return true;
}

void COption::OnCommand(int id) {
    switch (id) {
        case IDC_BROWSE:
            OnBrowse();
            break;
        case IDC_RESET:
            OnReset();
            break;
        default:
            CDialog::OnCommand(id);
            break;
    }
}

void COption::OnBrowse() {
    // Starts where the field points, so a second browse continues from the first choice.
    auto picker = std::make_unique<CFolderDialog>(
        QStringLiteral("Specify the Output Folder"), m_folder->text(), this,
        BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE);
    if (picker->DoModal() == IDOK) {
        m_folder->setText(picker->m_path);
        m_folder->setCursorPosition(0);
    }
}

void COption::OnOK() {
    QString folder = m_folder->text();
    if (folder.isEmpty()) {
        QMessageBox box(QMessageBox::Critical, windowTitle(),
                        QStringLiteral("Invalidate Output Folder!"), QMessageBox::Ok, this);
        box.exec();
        return;
    }
    if (!folder.endsWith(QDir::separator())) {
        folder += QDir::separator();
    }
    g_outputFolder = folder.toStdString();
    g_outputType = 2;
    g_freq = Selection(m_freq, DEFAULT_FREQ);
    g_lameChannel = Selection(m_channel, DEFAULT_LAME_CHANNEL);
    g_lameBits = Selection(m_bitrate, DEFAULT_LAME_BITS);
    g_id3Version = ID3_VERSIONS[Selection(m_id3Version, short(Id3Index(DEFAULT_ID3_VERSION)))];
    g_filesAtOnce = Selection(m_filesAtOnce, DEFAULT_FILES_AT_ONCE);
    g_stopOnError = m_stopOnError->isChecked() ? 1 : 0;
    CDialog::OnOK();
}

void COption::OnReset() {
    QMessageBox ask(QMessageBox::Warning, windowTitle(),
                    QStringLiteral("Reset ALL Options, Are You Sure?"),
                    QMessageBox::Yes | QMessageBox::No, this);
    ask.setDefaultButton(QMessageBox::No);
    if (ask.exec() != QMessageBox::Yes) {
        return;
    }
    const QString path = QString::fromStdString(ConfigFilePath());
    QFile::remove(path);
    if (QFile::exists(path)) {
        // Still there (it is no plain file): the defaults must be in force all the same.
        ResetSettings();
    } else {
        LoadSettings();
    }
    OnInitDialog();
    if (m_updateEncoderInfo) {
        m_updateEncoderInfo();
    }
}
