#pragma once

#include <functional>

#include "controls/Dialog.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QLabel;

// Control ids of the options dialog.
constexpr int IDC_OUTPUT_FOLDER = 1012;
constexpr int IDC_BROWSE = 1047;
constexpr int IDC_RESET = 3;
constexpr int IDC_FREQ_LABEL = 1084;
constexpr int IDC_ROW2_LABEL = 1085;
constexpr int IDC_ROW3_LABEL = 1086;
constexpr int IDC_FREQ = 1088;
constexpr int IDC_CHANNEL = 1089;
constexpr int IDC_BITRATE = 1090;
constexpr int IDC_NOTE = 1091;
constexpr int IDC_ID3_LABEL = 1092;
constexpr int IDC_ID3_VERSION = 1093;
constexpr int IDC_FILES_AT_ONCE_LABEL = 1094;
constexpr int IDC_FILES_AT_ONCE = 1095;
constexpr int IDC_STOP_ON_ERROR = 1096;

// The options dialog: output folder, sampling frequency, channel mode, bit rate, the ID3
// version of the tags, and how a batch runs. It edits the settings variables directly;
// Config.ini is written only when the main window closes, except that Reset deletes it.
class COption : public CDialog {
    Q_OBJECT

public:
    explicit COption(QWidget* parent = nullptr);
    ~COption() override;

    // Called after Reset put the defaults in force, so the owner shows them at once.
    std::function<void()> m_updateEncoderInfo;

protected:
    bool OnInitDialog() override;
    void OnCommand(int id) override;
    void OnOK() override;
    void OnBrowse();
    void OnReset();

private:
    QLabel* m_label1085 = nullptr;
    QLabel* m_label1086 = nullptr;
    QComboBox* m_freq = nullptr;
    QComboBox* m_channel = nullptr;
    QComboBox* m_bitrate = nullptr;
    QComboBox* m_id3Version = nullptr;
    QComboBox* m_filesAtOnce = nullptr;
    QCheckBox* m_stopOnError = nullptr;
    QLineEdit* m_folder = nullptr;
};
