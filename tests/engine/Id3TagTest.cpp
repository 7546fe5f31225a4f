// The tag built from a source's comments and pictures, read back with TagLib.
#include "engine/Id3Tag.h"

#include <gtest/gtest.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tpropertymap.h>

#include <fstream>
#include <thread>
#include <vector>

#include "tests/fixtures/OggFixtures.h"
#include "tests/fixtures/TagTable.h"
#include "tests/fixtures/TempDir.h"

namespace {

using fixtures::OggStream;
using fixtures::PictureBlock;

OggStream ShortSource(std::vector<std::pair<std::string, std::string>> comments) {
    OggStream stream;
    stream.frames = 4410;
    stream.comments = std::move(comments);
    return stream;
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
}

class Id3TagVersion : public testing::TestWithParam<int> {
protected:
    fixtures::TempDir m_dir;
};

TEST_P(Id3TagVersion, EveryCommentAndPictureIsCarriedOver) {
    const std::string source = m_dir.File("tagged.ogg");
    fixtures::WriteOgg(source, ShortSource(fixtures::TaggedComments()));
    const CId3Tag tag = BuildId3Tag(source, GetParam());
    EXPECT_TRUE(tag.m_notes.empty()) << tag.m_notes.front();
    ASSERT_FALSE(tag.m_bytes.empty());
    // The tag alone, as it will stand at the start of the MP3.
    const std::string mp3 = m_dir.File("tag.mp3");
    WriteBytes(mp3, tag.m_bytes);
    EXPECT_EQ(fixtures::Id3v2Size(mp3), tag.m_bytes.size());
    EXPECT_EQ(fixtures::CheckCarriedTags(mp3, GetParam()), "");
}

INSTANTIATE_TEST_SUITE_P(Id3, Id3TagVersion, testing::Values(3, 4),
                         [](const auto& info) { return "v2_" + std::to_string(info.param); });

TEST(Id3Tag, AnyOtherVersionNumberWritesVersion3) {
    fixtures::TempDir dir;
    fixtures::WriteOgg(dir.File("a.ogg"), ShortSource({{"TITLE", "x"}}));
    for (int version : {0, 2, 5, -4}) {
        const CId3Tag tag = BuildId3Tag(dir.File("a.ogg"), version);
        ASSERT_GT(tag.m_bytes.size(), 10u);
        EXPECT_EQ(tag.m_bytes[3], 3) << version;
    }
}

// Fields that need more than TagLib's mapping, one case each.
struct FieldCase {
    const char* label;
    std::vector<std::pair<std::string, std::string>> comments;
    int version;
    std::string key;  // in TagLib's property view of the tag
    std::vector<std::string> values;
};

class Id3TagField : public testing::TestWithParam<FieldCase> {};

TEST_P(Id3TagField, ReadsBackAsExpected) {
    const FieldCase& c = GetParam();
    fixtures::TempDir dir;
    fixtures::WriteOgg(dir.File("a.ogg"), ShortSource(c.comments));
    const CId3Tag tag = BuildId3Tag(dir.File("a.ogg"), c.version);
    EXPECT_TRUE(tag.m_notes.empty());
    WriteBytes(dir.File("a.mp3"), tag.m_bytes);
    TagLib::MPEG::File file(dir.File("a.mp3").c_str(), false);
    ASSERT_TRUE(file.hasID3v2Tag());
    const TagLib::PropertyMap properties = file.ID3v2Tag()->properties();
    const std::string all = properties.toString().to8Bit(true);
    ASSERT_TRUE(properties.contains(c.key)) << all;
    std::vector<std::string> values;
    for (const TagLib::String& v : properties[c.key])
        values.push_back(v.to8Bit(true));
    EXPECT_EQ(values, c.values) << all;
}

INSTANTIATE_TEST_SUITE_P(
    Id3, Id3TagField,
    testing::Values(
        FieldCase{"TrackNumberKeepsItsOwnTotal",
                  {{"TRACKNUMBER", "4/9"}, {"TRACKTOTAL", "12"}},
                  3,
                  "TRACKNUMBER",
                  {"4/9"}},
        FieldCase{"TrackTotalAloneIsKept", {{"TOTALTRACKS", "12"}}, 4, "TOTALTRACKS", {"12"}},
        FieldCase{"DiscTotal", {{"DISCNUMBER", "2"}, {"DISCTOTAL", "3"}}, 4, "DISCNUMBER", {"2/3"}},
        FieldCase{
            "DescriptionIsAComment", {{"DESCRIPTION", "About it"}}, 3, "COMMENT", {"About it"}},
        FieldCase{"DescriptionAfterAComment",
                  {{"COMMENT", "one"}, {"DESCRIPTION", "two"}},
                  4,
                  "COMMENT:DESCRIPTION",
                  {"two"}},
        FieldCase{"ThirdComment",
                  {{"COMMENT", "one"}, {"COMMENT", "two"}, {"COMMENT", "three"}},
                  3,
                  "COMMENT:COMMENT 2",
                  {"three"}},
        FieldCase{"UnsyncedLyrics", {{"UNSYNCEDLYRICS", "la la"}}, 3, "LYRICS", {"la la"}},
        // Descriptions "", "Lyrics" and "Lyrics 2"; TagLib reads the first two as LYRICS.
        FieldCase{"ThirdLyrics",
                  {{"UNSYNCEDLYRICS", "b"}, {"LYRICS", "a"}, {"LYRICS", "c"}},
                  4,
                  "LYRICS:LYRICS 2",
                  {"b"}},
        FieldCase{"MonthOnlyDateIsKeptWholeIn23", {{"DATE", "2003-05"}}, 3, "DATE", {"2003-05"}},
        FieldCase{"FullOriginalDateIsKeptWholeIn23",
                  {{"ORIGINALDATE", "1969-09-26"}},
                  3,
                  "ORIGINALDATE",
                  {"1969-09-26"}},
        FieldCase{"OriginalYearIn23", {{"ORIGINALDATE", "1969"}}, 3, "ORIGINALDATE", {"1969"}},
        FieldCase{
            "SortOrderIn23", {{"ARTISTSORT", "Beatles, The"}}, 3, "ARTISTSORT", {"Beatles, The"}},
        FieldCase{
            "ReleaseTimeIn23", {{"RELEASEDATE", "2004-01-02"}}, 3, "RELEASEDATE", {"2004-01-02"}},
        FieldCase{
            "MultipleCustomValuesIn24", {{"STYLE", "a"}, {"STYLE", "b"}}, 4, "STYLE", {"a", "b"}},
        FieldCase{
            "MultipleCustomValuesIn23", {{"STYLE", "a"}, {"STYLE", "b"}}, 3, "STYLE", {"a / b"}},
        FieldCase{"TwoTrackIds",
                  {{"MUSICBRAINZ_TRACKID", "a"}, {"MUSICBRAINZ_TRACKID", "b"}},
                  4,
                  "MUSICBRAINZ_TRACKID",
                  {"a", "b"}},
        FieldCase{"NonLatinGenreIn23", {{"GENRE", "Джаз"}}, 3, "GENRE", {"Джаз"}},
        FieldCase{"DiscSubtitleIn24", {{"DISCSUBTITLE", "Side B"}}, 4, "DISCSUBTITLE", {"Side B"}},
        FieldCase{"LowerCaseKeys", {{"title", "small"}}, 4, "TITLE", {"small"}},
        FieldCase{"ReleaseCountryKeepsItsTaggerName",
                  {{"RELEASECOUNTRY", "JP"}},
                  3,
                  "RELEASECOUNTRY",
                  {"JP"}}),
    [](const auto& info) { return std::string(info.param.label); });

// Pictures that are broken, too large or stored the old way.
struct PictureCase {
    const char* label;
    std::vector<std::pair<std::string, std::string>> comments;
    std::vector<std::string> notes;
    struct Expected {
        int type;
        std::string mimeType;
        std::vector<uint8_t> data;
    };
    std::vector<Expected> pictures;
};

const std::vector<uint8_t> kJpeg = fixtures::FakeImage("jpeg", 700, 7);
const std::vector<uint8_t> kPng = fixtures::FakeImage("png", 500, 8);
const std::vector<uint8_t> kUnknown = fixtures::FakeImage("none", 300, 9);
const std::string kJpegBlock = fixtures::PictureComment({3, "image/jpeg", "", kJpeg});

class Id3TagPicture : public testing::TestWithParam<PictureCase> {};

TEST_P(Id3TagPicture, KeepsTheGoodOnesAndNamesTheRest) {
    const PictureCase& c = GetParam();
    fixtures::TempDir dir;
    auto comments = c.comments;
    comments.emplace_back("TITLE", "still here");
    fixtures::WriteOgg(dir.File("a.ogg"), ShortSource(comments));
    const CId3Tag tag = BuildId3Tag(dir.File("a.ogg"), 4);
    EXPECT_EQ(tag.m_notes, c.notes);
    WriteBytes(dir.File("a.mp3"), tag.m_bytes);
    TagLib::MPEG::File file(dir.File("a.mp3").c_str(), false);
    ASSERT_TRUE(file.hasID3v2Tag());
    EXPECT_EQ(file.ID3v2Tag()->title().to8Bit(true), "still here");
    const TagLib::ID3v2::FrameList frames = file.ID3v2Tag()->frameList("APIC");
    ASSERT_EQ(frames.size(), c.pictures.size());
    for (size_t i = 0; i < c.pictures.size(); ++i) {
        const auto* apic = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(frames[i]);
        ASSERT_NE(apic, nullptr);
        EXPECT_EQ(apic->type(), c.pictures[i].type) << i;
        EXPECT_EQ(apic->mimeType().to8Bit(true), c.pictures[i].mimeType) << i;
        const auto& data = c.pictures[i].data;
        EXPECT_EQ(apic->picture(), TagLib::ByteVector(reinterpret_cast<const char*>(data.data()),
                                                      static_cast<unsigned>(data.size())))
            << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Id3, Id3TagPicture,
    testing::Values(
        PictureCase{"NotBase64",
                    {{"METADATA_BLOCK_PICTURE", "@@@not base64@@@"},
                     {"METADATA_BLOCK_PICTURE", kJpegBlock}},
                    {"Picture 1 left out: not valid base64"},
                    {{3, "image/jpeg", kJpeg}}},
        PictureCase{"Base64ButNoPictureBlock",
                    {{"METADATA_BLOCK_PICTURE", kJpegBlock},
                     {"METADATA_BLOCK_PICTURE", fixtures::Base64({1, 2, 3, 4, 5, 6})}},
                    {"Picture 2 left out: not a picture block"},
                    {{3, "image/jpeg", kJpeg}}},
        PictureCase{"BlockWithoutMimeTypeTakesItFromTheBytes",
                    {{"METADATA_BLOCK_PICTURE", fixtures::PictureComment({4, "", "", kPng})}},
                    {},
                    {{4, "image/png", kPng}}},
        PictureCase{"LegacyCoverWithItsMimeType",
                    {{"COVERART", fixtures::Base64(kPng)}, {"COVERARTMIME", "image/x-mine"}},
                    {},
                    {{3, "image/x-mine", kPng}}},
        PictureCase{
            "LegacyCoversWithoutMimeTypes",
            {{"COVERART", fixtures::Base64(kJpeg)}, {"COVERART", fixtures::Base64(kUnknown)}},
            {},
            {{3, "image/jpeg", kJpeg}, {0, "application/octet-stream", kUnknown}}},
        PictureCase{"LegacyCoverNotBase64",
                    {{"COVERART", "!!!!"}, {"COVERARTMIME", "image/png"}},
                    {"Cover 1 left out: not valid base64"},
                    {}},
        PictureCase{"LegacyCoverIgnoredBesidePictureBlocks",
                    {{"COVERART", fixtures::Base64(kPng)}, {"METADATA_BLOCK_PICTURE", kJpegBlock}},
                    {"1 legacy cover field(s) left out: the source has picture blocks"},
                    {{3, "image/jpeg", kJpeg}}}),
    [](const auto& info) { return std::string(info.param.label); });

// Pictures at the size limit: a picture block describes at most 16 MiB of data.
struct SizeCase {
    const char* label;
    size_t size;
    bool legacy;
    bool kept;
};

class Id3TagPictureSize : public testing::TestWithParam<SizeCase> {};

TEST_P(Id3TagPictureSize, LargerThan16MiBIsLeftOut) {
    const SizeCase& c = GetParam();
    fixtures::TempDir dir;
    const std::vector<uint8_t> data = fixtures::FakeImage("jpeg", c.size, 3);
    const std::string value =
        c.legacy ? fixtures::Base64(data) : fixtures::PictureComment({3, "image/jpeg", "", data});
    fixtures::WriteOgg(
        dir.File("big.ogg"),
        ShortSource({{c.legacy ? "COVERART" : "METADATA_BLOCK_PICTURE", value}, {"TITLE", "big"}}));
    const CId3Tag tag = BuildId3Tag(dir.File("big.ogg"), 3);
    if (c.kept) {
        EXPECT_TRUE(tag.m_notes.empty());
        EXPECT_GT(tag.m_bytes.size(), c.size);
    } else {
        EXPECT_EQ(tag.m_notes,
                  std::vector<std::string>{c.legacy ? "Cover 1 left out: larger than 16 MiB"
                                                    : "Picture 1 left out: larger than 16 MiB"});
        EXPECT_LT(tag.m_bytes.size(), 4096u);  // the title, and padding
        EXPECT_GT(tag.m_bytes.size(), 10u);
    }
}

INSTANTIATE_TEST_SUITE_P(Id3, Id3TagPictureSize,
                         testing::Values(SizeCase{"Block16MiB", 16u << 20, false, true},
                                         SizeCase{"BlockOneByteMore", (16u << 20) + 1, false,
                                                  false},
                                         SizeCase{"Legacy20MiB", 20u << 20, true, false}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(Id3Tag, UnreadableSourcesGiveNoTagAndOneNote) {
    fixtures::TempDir dir;
    fixtures::WriteOgg(dir.File("good.ogg"), ShortSource({{"TITLE", "x"}}));
    fixtures::WriteTextFile(dir.File("text.ogg"), "not an Ogg file at all");
    fixtures::WriteTruncatedCopy(dir.File("good.ogg"), dir.File("cut.ogg"), 60);
    for (const char* name : {"missing.ogg", "text.ogg", "cut.ogg"}) {
        const CId3Tag tag = BuildId3Tag(dir.File(name), 3);
        EXPECT_TRUE(tag.m_bytes.empty()) << name;
        EXPECT_EQ(tag.m_notes,
                  std::vector<std::string>{"Tags left out: the source's comments cannot be read"})
            << name;
    }
}

TEST(Id3Tag, FieldsWithoutAValidNameAreLeftOutWithANote) {
    fixtures::TempDir dir;
    // Field names are ASCII 0x20 to 0x7D.
    fixtures::WriteOgg(dir.File("a.ogg"),
                       ShortSource({{"TITLE", "kept"}, {"BAD~KEY", "x"}, {"ÄRGER", "y"}}));
    const CId3Tag tag = BuildId3Tag(dir.File("a.ogg"), 4);
    EXPECT_EQ(tag.m_notes,
              std::vector<std::string>{"2 comment field(s) left out: no valid field name"});
    WriteBytes(dir.File("a.mp3"), tag.m_bytes);
    TagLib::MPEG::File file(dir.File("a.mp3").c_str(), false);
    ASSERT_TRUE(file.hasID3v2Tag());
    EXPECT_EQ(file.ID3v2Tag()->title().to8Bit(true), "kept");
}

TEST(Id3Tag, MimeTypeFromMagicBytes) {
    const std::pair<std::vector<uint8_t>, const char*> cases[] = {
        {{0xFF, 0xD8, 0xFF, 0xDB}, "image/jpeg"},
        {{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, "image/png"},
        {{'G', 'I', 'F', '8', '9', 'a'}, "image/gif"},
        {{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'E', 'B', 'P'}, "image/webp"},
        {{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}, "application/octet-stream"},
        {{'B', 'M', 0, 0}, "image/bmp"},
        {{0xFF, 0xD8}, "application/octet-stream"},  // cut short
        {{}, "application/octet-stream"},
    };
    for (const auto& [bytes, mime] : cases)
        EXPECT_EQ(ImageMimeType(bytes.data(), bytes.size()), mime);
}

// Files converted side by side build their tags at the same moment; each must come out as it
// would alone. ThreadSanitizer watches the shared library state.
TEST(Id3Tag, TagsBuiltAtTheSameMomentAreEachWhole) {
    fixtures::TempDir dir;
    const std::string source = dir.File("a.ogg");
    fixtures::WriteOgg(source, ShortSource(fixtures::TaggedComments()));
    const std::vector<uint8_t> alone = BuildId3Tag(source, 3).m_bytes;
    ASSERT_FALSE(alone.empty());
    constexpr int THREADS = 8;
    std::vector<std::vector<uint8_t>> built(THREADS);
    std::vector<std::thread> threads;
    for (int i = 0; i < THREADS; ++i)
        threads.emplace_back([&, i] { built[i] = BuildId3Tag(source, 3).m_bytes; });
    for (auto& t : threads)
        t.join();
    for (const auto& bytes : built)
        EXPECT_EQ(bytes, alone);
}

}  // namespace
