// The source's Vorbis comments and pictures as an ID3v2 tag. TagLib's property interface does
// most of the mapping; what follows mends what it gets wrong for players and taggers.
#include "engine/Id3Tag.h"

#include <taglib/attachedpictureframe.h>
#include <taglib/commentsframe.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2tag.h>
#include <taglib/oggfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tpropertymap.h>
#include <taglib/uniquefileidentifierframe.h>
#include <taglib/unsynchronizedlyricsframe.h>
#include <taglib/xiphcomment.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <mutex>
#include <set>
#include <utility>

using namespace TagLib;
using namespace TagLib::ID3v2;

namespace {

constexpr const char* MUSICBRAINZ_UFID_OWNER = "http://musicbrainz.org";

// The descriptions that music taggers write and look for.
constexpr std::pair<const char*, const char*> kUserTextNames[] = {
    {"MUSICBRAINZ_ALBUMID", "MusicBrainz Album Id"},
    {"MUSICBRAINZ_ARTISTID", "MusicBrainz Artist Id"},
    {"MUSICBRAINZ_ALBUMARTISTID", "MusicBrainz Album Artist Id"},
    {"MUSICBRAINZ_RELEASEGROUPID", "MusicBrainz Release Group Id"},
    {"MUSICBRAINZ_RELEASETRACKID", "MusicBrainz Release Track Id"},
    {"MUSICBRAINZ_WORKID", "MusicBrainz Work Id"},
    {"MUSICBRAINZ_DISCID", "MusicBrainz Disc Id"},
    {"MUSICBRAINZ_TRMID", "MusicBrainz TRM Id"},
    {"MUSICBRAINZ_ORIGINALALBUMID", "MusicBrainz Original Album Id"},
    {"MUSICBRAINZ_ORIGINALARTISTID", "MusicBrainz Original Artist Id"},
    {"RELEASECOUNTRY", "MusicBrainz Album Release Country"},
    {"RELEASESTATUS", "MusicBrainz Album Status"},
    {"RELEASETYPE", "MusicBrainz Album Type"},
    {"ACOUSTID_ID", "Acoustid Id"},
    {"ACOUSTID_FINGERPRINT", "Acoustid Fingerprint"},
    {"MUSICIP_PUID", "MusicIP PUID"},
};

// Frames that ID3v2.3 lacks and that TagLib drops when it writes 2.3 (TDRC and TDOR are
// handled on their own: 2.3 has frames for the plain forms of a date).
constexpr const char* kFramesNotIn23[] = {"TDEN", "TDRL", "TDTG", "TMOO", "TPRO",
                                          "TSOA", "TSOP", "TSOT", "TSST"};

constexpr const char* SEPARATOR_23 = " / ";

std::string Format(const char* format, int number) {
    char buffer[160];
    std::snprintf(buffer, sizeof buffer, format, number);
    return buffer;
}

String Joined(const StringList& values) {
    return values.toString(SEPARATOR_23);
}

// Takes a key's values out of the map; empty when it has none.
StringList Take(PropertyMap& map, const char* key) {
    auto it = map.find(key);
    if (it == map.end())
        return {};
    StringList values = it->second;
    map.erase(key);
    return values;
}

// The first description not used yet: base itself, then "fallback 2", "fallback 3", ...
String Unique(const String& base, const String& fallback, std::set<String>& used) {
    String candidate = base;
    for (int n = 2; used.count(candidate); ++n)
        candidate = (base.isEmpty() ? fallback : base) + " " + String::number(n);
    used.insert(candidate);
    return candidate;
}

uint32_t LittleEndian32(const ByteVector& data, size_t at) {
    return static_cast<uint32_t>(static_cast<unsigned char>(data[at])) |
           static_cast<uint32_t>(static_cast<unsigned char>(data[at + 1])) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(data[at + 2])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(data[at + 3])) << 24;
}

// The comment header packet as stored, read once. TagLib's Vorbis file would read it, decode
// every picture in it and drop the broken ones without a word.
class CCommentPacketReader : public Ogg::File {
public:
    explicit CCommentPacketReader(const std::string& path) : Ogg::File(path.c_str()) {}
    TagLib::Tag* tag() const override { return nullptr; }
    AudioProperties* audioProperties() const override { return nullptr; }
    bool save() override { return false; }
};

struct RawField {
    std::string key;  // upper case
    ByteVector value;
};

// Splits the comment header: picture fields stay raw, so that a broken one can be named; the
// others go into comments. False when the header is malformed.
bool ReadCommentPacket(const ByteVector& packet, Ogg::XiphComment& comments,
                       std::vector<RawField>& pictureFields, std::vector<std::string>& notes) {
    static constexpr char kHeader[] = "\x03vorbis";
    const size_t size = packet.size();
    if (size < 11 || std::memcmp(packet.data(), kHeader, 7) != 0)
        return false;
    size_t at = 7;
    const uint32_t vendor = LittleEndian32(packet, at);
    if (vendor > size - at - 4)
        return false;
    at += 4 + vendor;
    if (size - at < 4)
        return false;
    const uint32_t count = LittleEndian32(packet, at);
    at += 4;
    int unnamed = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (size - at < 4)
            return false;
        const uint32_t length = LittleEndian32(packet, at);
        at += 4;
        if (length > size - at)
            return false;
        const char* entry = packet.data() + at;
        const char* equals = static_cast<const char*>(std::memchr(entry, '=', length));
        const size_t keyLength = equals ? static_cast<size_t>(equals - entry) : 0;
        const String key = String(std::string(entry, keyLength), String::Latin1).upper();
        if (!equals || !Ogg::XiphComment::checkKey(key)) {
            ++unnamed;
        } else {
            const auto valueAt = static_cast<unsigned>(at + keyLength + 1);
            const auto valueLength = static_cast<unsigned>(length - keyLength - 1);
            if (key == "METADATA_BLOCK_PICTURE" || key == "COVERART" || key == "COVERARTMIME")
                pictureFields.push_back({key.to8Bit(), packet.mid(valueAt, valueLength)});
            else
                comments.addField(key, String(packet.mid(valueAt, valueLength), String::UTF8),
                                  false);
        }
        at += length;
    }
    if (unnamed > 0)
        notes.push_back(Format("%d comment field(s) left out: no valid field name", unnamed));
    return true;
}

struct Picture {
    AttachedPictureFrame::Type type = AttachedPictureFrame::Other;
    String mimeType;
    String description;
    ByteVector data;
};

// Base64 that TagLib takes: a whole number of groups, nothing else in it.
ByteVector DecodeBase64(const ByteVector& text) {
    if (text.isEmpty() || text.size() % 4 != 0)
        return {};
    return ByteVector::fromBase64(text);
}

std::vector<Picture> ReadPictures(const std::vector<RawField>& fields,
                                  std::vector<std::string>& notes) {
    std::vector<Picture> pictures;
    int blocks = 0;
    for (const RawField& field : fields) {
        if (field.key != "METADATA_BLOCK_PICTURE")
            continue;
        ++blocks;
        const ByteVector decoded = DecodeBase64(field.value);
        if (decoded.isEmpty()) {
            notes.push_back(Format("Picture %d left out: not valid base64", blocks));
            continue;
        }
        FLAC::Picture block;
        if (!block.parse(decoded)) {
            notes.push_back(Format("Picture %d left out: not a picture block", blocks));
            continue;
        }
        if (block.data().size() > ID3_MAX_PICTURE_BYTES) {
            notes.push_back(Format("Picture %d left out: larger than 16 MiB", blocks));
            continue;
        }
        Picture picture;
        picture.type = static_cast<AttachedPictureFrame::Type>(block.type());
        picture.mimeType = block.mimeType();
        picture.description = block.description();
        picture.data = block.data();
        if (picture.mimeType.isEmpty())
            picture.mimeType = ImageMimeType(reinterpret_cast<const uint8_t*>(picture.data.data()),
                                             picture.data.size());
        pictures.push_back(std::move(picture));
    }

    // The older single-field covers, with their MIME types in a field of their own.
    std::vector<const ByteVector*> covers;
    std::vector<String> mimeTypes;
    for (const RawField& field : fields) {
        if (field.key == "COVERART")
            covers.push_back(&field.value);
        else if (field.key == "COVERARTMIME")
            mimeTypes.push_back(String(field.value, String::UTF8));
    }
    if (covers.empty())
        return pictures;
    if (blocks > 0) {
        notes.push_back(Format("%d legacy cover field(s) left out: the source has picture blocks",
                               static_cast<int>(covers.size())));
        return pictures;
    }
    for (size_t i = 0; i < covers.size(); ++i) {
        const int number = static_cast<int>(i) + 1;
        const ByteVector data = DecodeBase64(*covers[i]);
        if (data.isEmpty()) {
            notes.push_back(Format("Cover %d left out: not valid base64", number));
            continue;
        }
        if (data.size() > ID3_MAX_PICTURE_BYTES) {
            notes.push_back(Format("Cover %d left out: larger than 16 MiB", number));
            continue;
        }
        Picture picture;
        // These fields held the album cover; any further ones are of no known kind.
        picture.type = i == 0 ? AttachedPictureFrame::FrontCover : AttachedPictureFrame::Other;
        picture.mimeType = i < mimeTypes.size() ? mimeTypes[i] : String();
        if (picture.mimeType.isEmpty())
            picture.mimeType =
                ImageMimeType(reinterpret_cast<const uint8_t*>(data.data()), data.size());
        picture.data = data;
        pictures.push_back(std::move(picture));
    }
    return pictures;
}

// "n" and a total become "n/N"; a number that already carries a total keeps it.
void CombineWithTotal(PropertyMap& map, const char* numberKey, const char* totalKey,
                      const char* otherTotalKey) {
    auto number = map.find(numberKey);
    if (number == map.end() || number->second.isEmpty() || number->second.front().find("/") >= 0)
        return;
    for (const char* key : {totalKey, otherTotalKey}) {
        auto total = map.find(key);
        if (total == map.end() || total->second.isEmpty() || total->second.front().isEmpty())
            continue;
        number->second.front() += "/" + total->second.front();
        map.erase(key);
        return;
    }
}

bool IsDigits(const String& text, int from, int count) {
    for (int i = from; i < from + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
    }
    return true;
}

// yyyy, yyyy-mm-dd or yyyy-mm-ddThh:mm: the dates that 2.3's year, date and time frames hold
// without loss.
bool FitsDateFrames23(const String& date) {
    const int size = static_cast<int>(date.size());
    if (size != 4 && size != 10 && size != 16)
        return false;
    if (!IsDigits(date, 0, 4))
        return false;
    if (size >= 10 &&
        (date[4] != '-' || date[7] != '-' || !IsDigits(date, 5, 2) || !IsDigits(date, 8, 2)))
        return false;
    return size < 16 ||
           (date[10] == 'T' && date[13] == ':' && IsDigits(date, 11, 2) && IsDigits(date, 14, 2));
}

// Whether a 2.4 frame must become TXXX in a 2.3 tag, where TagLib would drop or cut it.
bool NeedsUserTextIn23(const Frame& frame) {
    const ByteVector id = frame.frameID();
    for (const char* missing : kFramesNotIn23) {
        if (id == missing)
            return true;
    }
    const auto* text = dynamic_cast<const TextIdentificationFrame*>(&frame);
    if (!text)
        return false;
    const StringList values = text->fieldList();
    if (id == "TDRC")
        return values.size() != 1 || !FitsDateFrames23(values.front());
    if (id == "TDOR")
        return values.size() != 1 || values.front().size() != 4 || !IsDigits(values.front(), 0, 4);
    return false;
}

void SetEncoding(Frame* frame, String::Type encoding) {
    if (auto* text = dynamic_cast<TextIdentificationFrame*>(frame))
        text->setTextEncoding(encoding);
    else if (auto* comment = dynamic_cast<CommentsFrame*>(frame))
        comment->setTextEncoding(encoding);
    else if (auto* lyrics = dynamic_cast<UnsynchronizedLyricsFrame*>(frame))
        lyrics->setTextEncoding(encoding);
    else if (auto* picture = dynamic_cast<AttachedPictureFrame*>(frame))
        picture->setTextEncoding(encoding);
}

void BuildFrames(PropertyMap properties, const std::vector<Picture>& pictures, bool v23,
                 ID3v2::Tag& tag) {
    const String::Type encoding = v23 ? String::UTF16 : String::UTF8;

    CombineWithTotal(properties, "TRACKNUMBER", "TRACKTOTAL", "TOTALTRACKS");
    CombineWithTotal(properties, "DISCNUMBER", "DISCTOTAL", "TOTALDISCS");

    // Comments and lyrics: one frame per value in English, each with a description of its own;
    // the first has none, so players show it. (TagLib would write the language "XXX", and
    // several values as one TXXX frame.)
    auto addTextFrames = [&](std::initializer_list<std::pair<const char*, const char*>> keys,
                             auto makeFrame) {
        std::set<String> used;
        for (const auto& [key, name] : keys) {
            for (const String& value : Take(properties, key)) {
                const String description =
                    Unique(used.empty() ? String() : String(name), String(name), used);
                tag.addFrame(makeFrame(description, value));
            }
        }
    };
    addTextFrames({{"COMMENT", "Comment"}, {"DESCRIPTION", "Description"}},
                  [&](const String& description, const String& value) -> Frame* {
                      auto* frame = new CommentsFrame(encoding);
                      frame->setLanguage("eng");
                      frame->setDescription(description);
                      frame->setText(value);
                      return frame;
                  });
    addTextFrames({{"LYRICS", "Lyrics"}, {"UNSYNCEDLYRICS", "Lyrics"}},
                  [&](const String& description, const String& value) -> Frame* {
                      auto* frame = new UnsynchronizedLyricsFrame(encoding);
                      frame->setLanguage("eng");
                      frame->setDescription(description);
                      frame->setText(value);
                      return frame;
                  });

    StringList trackIds = Take(properties, "MUSICBRAINZ_TRACKID");
    if (!trackIds.isEmpty()) {
        tag.addFrame(new UniqueFileIdentifierFrame(MUSICBRAINZ_UFID_OWNER,
                                                   trackIds.front().data(String::UTF8)));
        // Only one UFID frame per owner: any further ids go where TagLib reads them back.
        trackIds.erase(trackIds.begin());
        if (!trackIds.isEmpty())
            tag.addFrame(new UserTextIdentificationFrame(
                "MUSICBRAINZ_TRACKID", v23 ? StringList(Joined(trackIds)) : trackIds, encoding));
    }
    for (const auto& [key, description] : kUserTextNames) {
        const StringList values = Take(properties, key);
        if (!values.isEmpty())
            tag.addFrame(new UserTextIdentificationFrame(
                description, v23 ? StringList(Joined(values)) : values, encoding));
    }

    if (v23) {
        for (auto& [key, values] : properties) {
            if (values.size() > 1)
                values = StringList(Joined(values));
        }
    }
    // Everything else: the named frames TagLib knows, a TXXX frame under its own key for the
    // rest.
    ID3v2::Tag named;
    named.setProperties(properties);
    // One at a time from the front: a copy of TagLib's list would share, and later delete,
    // the frames handed over.
    while (!named.frameList().isEmpty()) {
        Frame* frame = named.frameList().front();
        named.removeFrame(frame, false);
        if (auto* comment = dynamic_cast<CommentsFrame*>(frame))
            comment->setLanguage("eng");
        else if (auto* lyrics = dynamic_cast<UnsynchronizedLyricsFrame*>(frame))
            lyrics->setLanguage("eng");
        if (v23 && NeedsUserTextIn23(*frame)) {
            ID3v2::Tag one;  // owns the frame from here on
            one.addFrame(frame);
            for (const auto& [key, values] : one.properties())
                tag.addFrame(
                    new UserTextIdentificationFrame(key, StringList(Joined(values)), encoding));
            continue;
        }
        tag.addFrame(frame);
    }

    std::set<String> pictureNames;
    for (const Picture& picture : pictures) {
        auto* frame = new AttachedPictureFrame;
        frame->setType(picture.type);
        frame->setMimeType(picture.mimeType);
        frame->setDescription(Unique(picture.description, "Picture", pictureNames));
        frame->setPicture(picture.data);
        tag.addFrame(frame);
    }

    for (Frame* frame : tag.frameList())
        SetEncoding(frame, encoding);
}

}  // namespace

std::string ImageMimeType(const uint8_t* data, size_t size) {
    auto starts = [&](const char* magic, size_t length, size_t offset = 0) {
        return size >= offset + length && std::memcmp(data + offset, magic, length) == 0;
    };
    if (starts("\xFF\xD8\xFF", 3))
        return "image/jpeg";
    if (starts("\x89PNG\r\n\x1A\n", 8))
        return "image/png";
    if (starts("GIF87a", 6) || starts("GIF89a", 6))
        return "image/gif";
    if (starts("RIFF", 4) && starts("WEBP", 4, 8))
        return "image/webp";
    if (starts("BM", 2))
        return "image/bmp";
    if (starts("II*\0", 4) || starts("MM\0*", 4))
        return "image/tiff";
    return "application/octet-stream";
}

CId3Tag BuildId3Tag(const std::string& sourcePath, int version) {
    // TagLib's strings share state between threads without a lock we can see (ThreadSanitizer
    // caught two files' tags being built at once); a tag takes milliseconds, so one at a time.
    static std::mutex tagLib;
    const std::lock_guard<std::mutex> oneAtATime(tagLib);
    CId3Tag result;
    const bool v23 = version != 4;
    try {
        CCommentPacketReader reader(sourcePath);
        const ByteVector packet = reader.isValid() ? reader.packet(1) : ByteVector();
        Ogg::XiphComment comments;
        std::vector<RawField> pictureFields;
        if (!ReadCommentPacket(packet, comments, pictureFields, result.m_notes)) {
            result.m_notes = {"Tags left out: the source's comments cannot be read"};
            return result;
        }
        PropertyMap properties = comments.properties();
        const std::vector<Picture> pictures = ReadPictures(pictureFields, result.m_notes);

        ID3v2::Tag tag;
        BuildFrames(properties, pictures, v23, tag);
        if (tag.frameList().isEmpty())
            return result;
        const ByteVector bytes = tag.render(v23 ? ID3v2::v3 : ID3v2::v4);
        result.m_bytes.assign(bytes.begin(), bytes.end());
    } catch (const std::exception&) {
        result.m_bytes.clear();
        result.m_notes.push_back("Tags left out: the source's comments cannot be read");
    }
    return result;
}
