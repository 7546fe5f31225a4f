// Opens the progress window on a batch of generated files, to look at it by hand:
//   convprog_preview [SECONDS_PER_FILE [FILES]]
#include <QApplication>
#include <QTemporaryDir>

#include <cstdlib>
#include <filesystem>

#include "app/core/AudioScan.h"
#include "app/core/TaskBuilder.h"
#include "batch/ConvProg.h"
#include "tests/fixtures/OggFixtures.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Quillon"));
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    const int files = argc > 2 ? std::max(1, std::atoi(argv[2])) : 4;

    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    std::filesystem::create_directories(root + "/Music/Sessions");
    CConvProg dlg;
    CTaskSettings settings;
    settings.m_outputFolder = root + "/Music/Converted/";
    dlg.m_outputFolder = QString::fromStdString(settings.m_outputFolder);
    for (int i = 0; i < files; ++i) {
        const std::string name =
            "Session " + std::to_string(i + 1) + " - Take " + std::to_string(3 + i) + ".ogg";
        const std::string path = root + "/Music/Sessions/" + name;
        fixtures::OggStream spec;
        spec.rate = i % 2 ? 48000 : 44100;
        spec.frames = static_cast<uint64_t>(spec.rate) * seconds;
        spec.tones = {fixtures::Tone{220.0 * (i + 1), -12}};
        fixtures::WriteOgg(path, spec);
        CAudioFileItem item;
        CFileFacts facts;
        ReadFileFacts(path, item, facts);
        ScanFile(path, item);
        AppendConversionTask(*dlg.m_state, facts.m_folder, facts.m_name, item, settings);
    }
    return dlg.exec();
}
