#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The ID3v2 tag an MP3 starts with, made from the Ogg Vorbis source's comments and pictures.
struct CId3Tag {
    std::vector<uint8_t> m_bytes;      // header, frames and padding; empty: the MP3 gets no tag
    std::vector<std::string> m_notes;  // one log line for each thing that was left out
};

constexpr int ID3_VERSION_DEFAULT = 3;
// Pictures above this size are left out: no Ogg picture block can describe more.
constexpr size_t ID3_MAX_PICTURE_BYTES = size_t{16} << 20;

// Reads the source's comment header and builds its tag: ID3v2.4 with UTF-8 text for version 4,
// ID3v2.3 with UTF-16 text for anything else. Never throws; a source whose comments cannot be
// read gives no tag and one note.
CId3Tag BuildId3Tag(const std::string& sourcePath, int version);

// The MIME type that an image's first bytes show; "application/octet-stream" when unknown.
std::string ImageMimeType(const uint8_t* data, size_t size);
