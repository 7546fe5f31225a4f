#pragma once

#include <cstdint>
#include <ctime>
#include <map>
#include <string>

#include "app/core/AudioFileItem.h"

// Audio type codes.
constexpr uint8_t AUDIO_TYPE_OTHER = 0;
constexpr uint8_t AUDIO_TYPE_OGG = 1;
constexpr uint8_t AUDIO_TYPE_MP3 = 2;

// Upper-cased extension -> audio type code; an extension not in the map is AUDIO_TYPE_OTHER.
extern const std::map<std::string, uint8_t> g_typeByExtension;

// The part of a file name after its last ".", upper-cased (ASCII letters only); the whole name
// when it has no ".".
std::string UpperExtension(const std::string& fileName);
uint8_t TypeFromExtension(const std::string& upperExtension);

// What the file system tells about one listed file, besides the record.
struct CFileFacts {
    std::string m_path;       // as given
    std::string m_name;       // after the last separator
    std::string m_folder;     // up to and including the last separator; may be empty
    std::string m_extension;  // UpperExtension of the name: the Type cell of a good file
    uint64_t m_sizeBytes = 0;
    std::time_t m_lastWrite = 0;
};

// The file-system half of adding a row: fills m_sizeMB and m_type of the record and the facts.
// False when nothing is found at path (such a path gets no row); a folder is found as well.
bool ReadFileFacts(const std::string& path, CAudioFileItem& item, CFileFacts& facts);

// Sampling rates a usable stream may have; a header outside them is damaged, and converting it
// would make hours of output from seconds of input.
constexpr uint32_t SCAN_MIN_RATE = 1000;
constexpr uint32_t SCAN_MAX_RATE = 768000;

// Why a scanned file is good or bad; every bad verdict sets m_error to 1.
enum class ScanVerdict {
    Good,
    Locked,         // cannot be opened for reading, or is not a regular file
    NotOggVorbis,   // the name does not say Ogg Vorbis, so it is not read
    InvalidStream,  // the decoder does not accept it
    NoAudio,        // no channels, no rate or no length
    MixedLinks,     // a chained stream whose parts differ in channels or rate
    UnusualRate,    // a sampling rate outside SCAN_MIN_RATE ... SCAN_MAX_RATE
};
const char* ScanVerdictText(ScanVerdict verdict);

// True when the file cannot be opened for reading (missing, unreadable) or is not a regular
// file; opening never blocks, so a named pipe cannot stall the scan.
bool IsFileLocked(const std::string& path);

// Reads channels, rate and length of an Ogg Vorbis file into the record, decoding no audio.
// On failure sets m_error to 1 and leaves the format members zero; returns the verdict.
ScanVerdict ReadOggInfo(const std::string& path, CAudioFileItem& item);

// The scan of one listed file whose m_type is already set (ReadFileFacts): the lock test, the
// Ogg Vorbis read for type 1, and the bad-file rules. A bad file ends with m_error 1 and a zero
// m_duration, so it adds nothing to the list's total duration.
ScanVerdict ScanFile(const std::string& path, CAudioFileItem& item);
