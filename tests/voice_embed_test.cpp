// Voices inside the project file: the chunk written for each kind of voice
// file, the files refused, and the slot and name rules of the voice section.
// Expected bytes are built here from the chunk layouts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <vector>

#include "support.h"

using namespace qt;

namespace {

const std::string kFixtures = QUAVERT_TEST_FIXTURES;

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s += static_cast<char>(v);
  return s;
}

// A UTF-8 literal as bytes, for qt::Sjis.
std::string U8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

std::string Zeros(size_t n) { return std::string(n, '\0'); }

std::string ChunkBytes(const std::string& tag, const std::string& body) {
  return tag + Le32(static_cast<int32_t>(body.size())) + body;
}

std::string NameField(const std::string& name) {
  std::string field = name.substr(0, 16);
  field.resize(16, '\0');
  return field;
}

std::string NameChunk(int32_t index, const std::string& name) {
  return ChunkBytes("assiWOIC", Le32(index) + NameField(name));
}

// Three zero bytes, then the base key's low byte.
std::string KeyField(int lowByte) { return Zeros(3) + static_cast<char>(lowByte); }

// The built-in voice: a pxtone voice image of 28 bytes.
std::string DefaultVoice() {
  return "PTVOICE-" + Le32(20060111) + Le32(12) +
         Bytes({0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x40, 0x00, 0x03, 0x01, 0x01, 0x00});
}

std::string EmptySlotChunk() { return ChunkBytes("matePTV ", Zeros(8) + Le32(28) + DefaultVoice()); }

std::string PtvoiceChunk(const std::string& file) {
  return ChunkBytes("matePTV ", Zeros(8) + Le32(static_cast<int32_t>(file.size())) + file);
}

struct Settings {
  int keyByte = 69;
  int32_t options = 2;
  float correct = 1.0f;
};

std::string PtnoiseChunk(const std::string& file, int32_t flag, const Settings& s = {}) {
  return ChunkBytes("matePTN ", KeyField(s.keyByte) + Le32(s.options) + LeFloat(s.correct) +
                                    Le32(flag) + file);
}

std::string PcmChunk(int channels, int bits, int32_t rate, const std::string& data,
                     const Settings& s = {}) {
  return ChunkBytes("matePCM ", KeyField(s.keyByte) + Le32(s.options) + Le16(channels) +
                                    Le16(bits) + Le32(rate) + LeFloat(s.correct) +
                                    Le32(static_cast<int32_t>(data.size())) + data);
}

std::string OggChunk(const std::string& file, int32_t channels, int32_t rate, int32_t samples,
                     const Settings& s = {}) {
  return ChunkBytes("mateOGGV", KeyField(s.keyByte) + Le32(s.options) + LeFloat(s.correct) +
                                    Le32(channels) + Le32(rate) + Le32(samples) +
                                    Le32(static_cast<int32_t>(file.size())) + file);
}

std::string Ptnoise(int32_t version) { return "PTNOISE-" + Le32(version) + "noise-body"; }

// A PCM WAVE file; every field can be spoiled on its own.
struct WaveSpec {
  std::string riff = "RIFF";
  int32_t riffSizeDelta = 0;  // added to the true RIFF size
  std::string wave = "WAVE";
  std::string fmt = "fmt ";
  int fmtSize = 16;
  int format = 1;
  int channels = 2;
  int32_t rate = 44100;
  int bits = 16;
  std::string dataTag = "data";
  std::string data = "\x01\x02\x03\x04\x05\x06\x07\x08";
  std::optional<uint32_t> dataSize{};  // written instead of the true size
  std::string tail{};                  // bytes after the data chunk
};

std::string Wave(const WaveSpec& w) {
  const int block = w.channels * w.bits / 8;
  std::string format = Le16(w.format) + Le16(w.channels) + Le32(w.rate) + Le32(w.rate * block) +
                       Le16(block) + Le16(w.bits);
  format.resize(static_cast<size_t>(w.fmtSize), '\0');
  const uint32_t dataSize = w.dataSize.value_or(static_cast<uint32_t>(w.data.size()));
  const std::string body = w.wave + w.fmt + Le32(w.fmtSize) + format + w.dataTag +
                           Le32(static_cast<int32_t>(dataSize)) + w.data + w.tail;
  return w.riff + Le32(static_cast<int32_t>(body.size()) + w.riffSizeDelta) + body;
}

// One Ogg page; each segment is below 255 bytes, so one lacing value each.
std::string OggPage(int flags, uint64_t granule, const std::vector<std::string>& segments,
                    uint32_t sequence = 0) {
  std::string page = "OggS" + Bytes({0, flags}) + Le32(static_cast<int32_t>(granule)) +
                     Le32(static_cast<int32_t>(granule >> 32)) + Le32(0x51A7) +
                     Le32(static_cast<int32_t>(sequence)) + Le32(0x0BADC0DE) +
                     static_cast<char>(segments.size());
  for (const std::string& s : segments) page += static_cast<char>(s.size());
  for (const std::string& s : segments) page += s;
  return page;
}

// The 30-byte Vorbis identification header.
std::string VorbisId(int channels, int32_t rate) {
  return "\x01" "vorbis" + Le32(0) + static_cast<char>(channels) + Le32(rate) + Le32(0) +
         Le32(64000) + Le32(0) + Bytes({0xB8, 0x01});
}

const std::string kComment = "\x03" "vorbis comment packet";
const std::string kSetup = "\x05" "vorbis setup packet";
const std::string kAudio = "audio packet bytes";

constexpr int kFirst = 2;
constexpr int kLast = 4;

struct Result {
  int32_t result = -1;
  std::vector<std::string> lines;
  bool written = false;
  std::string section;  // the voice section's bytes
};

// Compiles a source of directives only. Its project holds no events and no
// comment, so the voice section runs from the title chunk to the unit count.
Result CompileVoices(const std::string& mml) {
  const Outcome o = Compile(mml);
  Result r{o.result, o.lines, o.written, {}};
  if (!o.written) return r;
  const Project p = ParseProject(o.file);
  constexpr size_t kHead = 20 + 27 + 16 + 20;  // signature, master, events, title
  constexpr size_t kTail = 16 + 12;            // unit count, end
  if (o.file.size() < kHead + kTail || o.file.compare(kHead - 20, 8, "textNAME") != 0 ||
      o.file.compare(o.file.size() - kTail, 8, "num UNIT") != 0) {
    ADD_FAILURE() << "unexpected project layout";
    return r;
  }
  r.section = o.file.substr(kHead, o.file.size() - kHead - kTail);
  return r;
}

// The compile stops in the build with the message alone as its last line.
void ExpectBuildError(const std::string& mml, const std::string& message) {
  const Result r = CompileVoices(mml);
  EXPECT_EQ(r.result, crCompileError);
  EXPECT_FALSE(r.written);
  ASSERT_FALSE(r.lines.empty());
  EXPECT_EQ(r.lines.back(), message);
}

std::string Unsupported(const std::string& path) {
  return Sjis(path + U8(u8" は対応していない音色ファイルです。"));
}

TEST(VoiceEmbed, EmptySlotGetsTheBuiltInVoice) {
  TempDir dir;
  const std::string lead = "PTVOICE-" + Le32(20060111) + "lead";
  WriteFileBytes(dir / "lead.ptvoice", lead);
  const Result r = CompileVoices("#voice@1 " + (dir / "lead.ptvoice"));
  ASSERT_EQ(r.result, crOk);
  const std::string empty = EmptySlotChunk();
  ASSERT_EQ(empty.size(), 52u);
  // the built-in voice's version field, spelled out
  EXPECT_EQ(empty.substr(32, 4), Bytes({0xCF, 0x17, 0x32, 0x01}));
  EXPECT_EQ(r.section, empty + NameChunk(0, "----------------") + PtvoiceChunk(lead) +
                           NameChunk(1, "lead"));
}

TEST(VoiceEmbed, PtvoiceIsCopiedWholeWithoutTheVoiceSettings) {
  TempDir dir;
  std::string file = "PTVOICE-" + Le32(20060111) + Le32(88);
  for (int i = 0; file.size() < 100; ++i) file += static_cast<char>(i * 37);
  WriteFileBytes(dir / "piano.ptvoice", file);
  const Result r = CompileVoices("#voice-basekey 60\n#voice-correct 0.5\n#voice-options 1\n#voice " +
                                 (dir / "piano.ptvoice"));
  ASSERT_EQ(r.result, crOk);
  EXPECT_EQ(r.section.substr(0, 12), "matePTV " + Le32(112));
  EXPECT_EQ(r.section, PtvoiceChunk(file) + NameChunk(0, "piano"));
}

TEST(VoiceEmbed, PtnoiseFlagFollowsTheVersion) {
  const struct {
    int32_t version;
    int32_t flag;
  } cases[] = {
      {20120418, 1},
      {20120417, 0},
      {0, 0},
      {-1, 0},  // the version is signed: FF FF FF FF is below the limit
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.version);
    TempDir dir;
    WriteFileBytes(dir / "n.ptnoise", Ptnoise(c.version));
    const Result r = CompileVoices("#voice " + (dir / "n.ptnoise"));
    ASSERT_EQ(r.result, crOk);
    EXPECT_EQ(r.section, PtnoiseChunk(Ptnoise(c.version), c.flag) + NameChunk(0, "n"));
  }
}

TEST(VoiceEmbed, PtnoiseNewerThanTheLastKnownVersionIsRefused) {
  for (int32_t version : {20120419, INT32_MAX}) {
    SCOPED_TRACE(version);
    TempDir dir;
    WriteFileBytes(dir / "n.ptnoise", Ptnoise(version));
    ExpectBuildError("#voice " + (dir / "n.ptnoise"),
                     Sjis(U8(u8"このバージョンのPTNOISEには対応していません。")));
  }
}

// The settings in force at each voice line go into that voice's chunk; only
// the base key's low byte is kept.
TEST(VoiceEmbed, VoiceSettingsAndBaseKeyByte) {
  const std::string ogg = OggPage(kFirst, 0, {VorbisId(1, 8000)}) + OggPage(kLast, 40, {kAudio});
  const std::string wave = Wave({});
  const struct {
    std::string directives;
    Settings settings;
  } cases[] = {
      {"", {}},
      {"#voice-basekey 60\n", {0x3C, 2, 1.0f}},
      {"#voice-basekey 316\n", {0x3C, 2, 1.0f}},
      {"#voice-basekey 256\n#voice-options 5\n#voice-correct 1.25\n", {0x00, 5, 1.25f}},
      {"#voice-basekey 60\n#voice-options 0\n#voice-correct -0.5\n", {0x3C, 0, -0.5f}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.directives);
    TempDir dir;
    WriteFileBytes(dir / "n.ptnoise", Ptnoise(20120418));
    WriteFileBytes(dir / "w.wav", wave);
    WriteFileBytes(dir / "o.ogg", ogg);
    const Result r = CompileVoices(c.directives + "#voice " + (dir / "n.ptnoise") + "\n#voice " +
                                   (dir / "w.wav") + "\n#voice " + (dir / "o.ogg") +
                                   "\n#voice-basekey 50\n#voice-options 7\n#voice-correct 3\n");
    ASSERT_EQ(r.result, crOk);
    EXPECT_EQ(r.section, PtnoiseChunk(Ptnoise(20120418), 1, c.settings) + NameChunk(0, "n") +
                             PcmChunk(2, 16, 44100, "\x01\x02\x03\x04\x05\x06\x07\x08", c.settings) +
                             NameChunk(1, "w") + OggChunk(ogg, 1, 8000, 40, c.settings) +
                             NameChunk(2, "o"));
  }
}

TEST(VoiceEmbed, WaveDataIsEmbeddedWithItsFormat) {
  const struct {
    const char* what;
    WaveSpec wave;
    int channels, bits;
    int32_t rate;
    std::string data;
  } cases[] = {
      {"16-bit stereo 44100 Hz, a chunk after the data",
       {.data = "ABCDEFGH", .tail = "LIST" + Le32(4) + "INFO"}, 2, 16, 44100, "ABCDEFGH"},
      {"8-bit mono 22050 Hz, odd size and a pad byte",
       {.channels = 1, .rate = 22050, .bits = 8, .data = "abcde", .tail = std::string(1, '\0')},
       1, 8, 22050, "abcde"},
      {"16-bit mono", {.channels = 1, .rate = 11025, .data = "xxyyzz"}, 1, 16, 11025, "xxyyzz"},
      {"8-bit stereo", {.rate = 8000, .bits = 8, .data = "LRLR"}, 2, 8, 8000, "LRLR"},
      {"data size below the bytes present",
       {.data = "12345678abcd", .dataSize = 8u}, 2, 16, 44100, "12345678"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    WriteFileBytes(dir / "s.wav", Wave(c.wave));
    const Result r = CompileVoices("#voice " + (dir / "s.wav"));
    ASSERT_EQ(r.result, crOk);
    EXPECT_EQ(r.section, PcmChunk(c.channels, c.bits, c.rate, c.data) + NameChunk(0, "s"));
  }
}

TEST(VoiceEmbed, WaveFailingACheckIsRefused) {
  const struct {
    const char* what;
    WaveSpec wave;
  } cases[] = {
      {"24-bit mono", {.channels = 1, .bits = 24, .data = "123456"}},
      {"16-bit stereo, odd data size", {.data = "1234567", .tail = std::string(1, '\0')}},
      {"16-bit stereo, partial frame", {.data = "123456"}},
      {"8-bit stereo, partial frame", {.bits = 8, .data = "123"}},
      {"32-bit", {.bits = 32}},
      {"no bits", {.bits = 0}},
      {"18-byte format chunk", {.fmtSize = 18}},
      {"float samples", {.format = 3}},
      {"3 channels", {.channels = 3, .data = "123456"}},
      {"no channels", {.channels = 0}},
      {"RIFF size one too large", {.riffSizeDelta = 1}},
      {"RIFF size one too small", {.riffSizeDelta = -1}},
      {"not WAVE", {.wave = "AVI "}},
      {"format chunk not first", {.fmt = "fact"}},
      {"data chunk not after the format", {.dataTag = "LIST"}},
      {"data size one frame beyond the file", {.dataSize = 12u}},
      {"data size with the top bit set", {.dataSize = 0x80000008u}},
      {"data size FFFFFFFC", {.dataSize = 0xFFFFFFFCu}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string file = Wave(c.wave);
    ASSERT_GE(file.size(), 44u);
    WriteFileBytes(dir / "s.wav", file);
    ExpectBuildError("#voice " + (dir / "s.wav"), Sjis(U8(u8"このWAVEには対応していません。")));
  }
}

TEST(VoiceEmbed, OggPagesGiveChannelsRateAndSampleCount) {
  const struct {
    const char* what;
    std::string file;
    int32_t channels, rate, samples;
  } cases[] = {
      {"mono 22050 Hz, last page at granule 100000",
       OggPage(kFirst, 0, {VorbisId(1, 22050)}) + OggPage(0, 0, {kComment, kSetup}, 1) +
           OggPage(0, 4096, {kAudio, kAudio}, 2) + OggPage(kLast, 100000, {kAudio}, 3),
       1, 22050, 100000},
      {"one page both first and last",
       OggPage(kFirst | kLast, 4000, {VorbisId(2, 44100)}), 2, 44100, 0},
      {"no last page", OggPage(kFirst, 0, {VorbisId(2, 48000)}) + OggPage(0, 777, {kAudio}, 1),
       2, 48000, 0},
      {"granule beyond 32 bits keeps its low half",
       OggPage(kFirst, 0, {VorbisId(1, 8000)}) + OggPage(kLast, 0x100000005ull, {kAudio}, 1),
       1, 8000, 5},
      {"last page that continues a packet",
       OggPage(kFirst, 0, {VorbisId(1, 8000)}) + OggPage(kLast | 1, 321, {kAudio}, 1), 1, 8000, 321},
      {"header in the second segment of the first page",
       OggPage(kFirst, 0, {kComment, VorbisId(2, 32000)}) + OggPage(kLast, 9, {kAudio}, 1),
       2, 32000, 9},
      {"channel byte read unsigned",
       OggPage(kFirst, 0, {VorbisId(200, 8000)}) + OggPage(kLast, 1, {kAudio}, 1), 200, 8000, 1},
      {"later pages overwrite earlier ones",
       OggPage(kFirst, 0, {VorbisId(1, 8000)}) + OggPage(kLast, 50, {kAudio}, 1) +
           OggPage(kFirst, 0, {VorbisId(2, 16000)}) + OggPage(kLast, 70, {kAudio}, 1),
       2, 16000, 70},
      {"bytes after the pages end the scan",
       OggPage(kFirst, 0, {VorbisId(1, 8000)}) + "trailing junk " +
           OggPage(kLast, 60, {kAudio}, 1),
       1, 8000, 0},
      {"a first page header of 16 bytes is enough",
       OggPage(kFirst, 0, {VorbisId(1, 11025).substr(0, 16)}), 1, 11025, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    WriteFileBytes(dir / "o.ogg", c.file);
    const Result r = CompileVoices("#voice " + (dir / "o.ogg"));
    ASSERT_EQ(r.result, crOk);
    EXPECT_EQ(r.section, OggChunk(c.file, c.channels, c.rate, c.samples) + NameChunk(0, "o"));
  }
}

// Whatever is neither PTVOICE, PTNOISE nor WAVE and holds no Vorbis
// identification header on a first page is refused with its path.
TEST(VoiceEmbed, FilesOfNoKnownKindAreRefused) {
  const std::string id = VorbisId(1, 8000);
  const std::string innerPage = OggPage(kFirst, 0, {id}) + OggPage(kLast, 10, {kAudio}, 1);
  std::string cutTable = OggPage(kFirst, 0, {id});
  cutTable[26] = 5;  // five segments announced, one table byte present
  cutTable.resize(28);
  const struct {
    const char* what;
    std::string file;
  } cases[] = {
      {"empty", ""},
      {"8 bytes", "PTVOICE-"},
      {"11 bytes", "PTVOICE-" + Bytes({0xCF, 0x17, 0x32})},
      {"40 bytes starting with RIFF", "RIFF" + Le32(32) + "WAVEfmt " + Zeros(24)},
      {"43 bytes starting with RIFF", "RIFF" + Le32(35) + "WAVEfmt " + Zeros(27)},
      {"RIFX", Wave({.riff = "RIFX"})},
      {"signature almost PTNOISE", "PTNOISE_" + Le32(20120418) + "body"},
      {"plain text", "this is not a voice file at all"},
      {"Ogg page header cut short", OggPage(kFirst, 0, {VorbisId(1, 8000)}).substr(0, 26)},
      {"identification header of 15 bytes", OggPage(kFirst, 0, {id.substr(0, 15)})},
      {"identification header not on a first page",
       OggPage(0, 0, {id}) + OggPage(kLast, 10, {kAudio}, 1)},
      {"comment header only", OggPage(kFirst, 0, {kComment})},
      {"junk before the first page", "JUNK" + innerPage},
      {"segment table cut short", cutTable},
      // the cut segment's bytes look like a page but are not one
      {"segment cut short by the end of the file",
       OggPage(kFirst, 0, {std::string(200, 'x')}).substr(0, 28) + innerPage},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    WriteFileBytes(dir / "v.bin", c.file);
    ExpectBuildError("#voice " + (dir / "v.bin"), Unsupported(dir / "v.bin"));
  }
}

TEST(VoiceEmbed, SmallestPtvoiceIsEmbedded) {
  TempDir dir;
  const std::string file = "PTVOICE-" + Le32(20060111);
  WriteFileBytes(dir / "tiny.ptvoice", file);
  const Result r = CompileVoices("#voice " + (dir / "tiny.ptvoice"));
  ASSERT_EQ(r.result, crOk);
  EXPECT_EQ(r.section, ChunkBytes("matePTV ", Zeros(8) + Le32(12) + file) + NameChunk(0, "tiny"));
}

TEST(VoiceEmbed, UnreadableFileIsNamedInTheError) {
  // Exists and opens, but reading from its start fails.
  const std::string path = "/proc/self/mem";
  if (!PathExists(path)) GTEST_SKIP() << "no " << path;
  ExpectBuildError("#voice " + path, Sjis(path + U8(u8" を読み込めません。")));
}

TEST(VoiceEmbed, FileTooLargeForAChunkIsRefusedUnread) {
  TempDir dir;
  const std::string path = dir / "huge.ptvoice";
  WriteFileBytes(path, "PTVOICE-" + Le32(20060111));
  // sparse: no disk space is used, and the file must not be read
  std::filesystem::resize_file(path, static_cast<uintmax_t>(INT32_MAX) - 27);
  ExpectBuildError("#voice " + path, Unsupported(path));
}

TEST(VoiceEmbed, SlotsWithoutAFileAreFilledInOrder) {
  TempDir dir;
  const std::string a = "PTVOICE-" + Le32(20060111) + "a";
  const std::string b = Ptnoise(20120417);
  WriteFileBytes(dir / "a.ptvoice", a);
  WriteFileBytes(dir / "b.ptnoise", b);
  const std::string voices = "#voice@0 " + (dir / "a.ptvoice") + "\n#voice@2 " + (dir / "b.ptnoise") + "\n";
  {
    SCOPED_TRACE("file names and the placeholder");
    const Result r = CompileVoices(voices);
    ASSERT_EQ(r.result, crOk);
    EXPECT_EQ(r.section, PtvoiceChunk(a) + NameChunk(0, "a") + EmptySlotChunk() +
                             NameChunk(1, "----------------") + PtnoiseChunk(b, 0) +
                             NameChunk(2, "b"));
  }
  {
    SCOPED_TRACE("voice names win; an empty one does not count");
    const Result r = CompileVoices(voices + "#insname@1 gap\n#insname@0 Melody\n#insname@2\n");
    ASSERT_EQ(r.result, crOk);
    EXPECT_EQ(r.section, PtvoiceChunk(a) + NameChunk(0, "Melody") + EmptySlotChunk() +
                             NameChunk(1, "gap") + PtnoiseChunk(b, 0) + NameChunk(2, "b"));
  }
  {
    SCOPED_TRACE("plain voice names fill from 0; names beyond the voices are unused");
    const Result r = CompileVoices("#insname First\n#insname Second\n#insname Third\n" + voices);
    ASSERT_EQ(r.result, crOk);
    EXPECT_EQ(r.section, PtvoiceChunk(a) + NameChunk(0, "First") + EmptySlotChunk() +
                             NameChunk(1, "Second") + PtnoiseChunk(b, 0) + NameChunk(2, "Third"));
  }
}

TEST(VoiceEmbed, NameFromTheFileName) {
  const std::string longKanji = "abcdefghijklmno" + Sjis(U8(u8"音"));
  const struct {
    std::string folder;  // below the test folder, "" for none
    std::string file;
    std::string name;    // the name field's bytes, before zero fill
  } cases[] = {
      {"", "piano.ptvoice", "piano"},
      {"", "x.tar.gz", "x.tar"},
      {"", ".hidden", ".hidden"},
      {"", ".hidden.ptvoice", ".hidden"},
      {"", "noext", "noext"},
      {"", "trail.", "trail"},
      {"sub.dir", "inner", "inner"},
      {"", "sixteen_bytes_xy.ptvoice", "sixteen_bytes_xy"},
      {"", "abcdefghijklmnopqrstu.ptvoice", "abcdefghijklmnop"},
      {"", longKanji + ".ptvoice", longKanji.substr(0, 16)},  // cut after the lead byte
  };
  const std::string file = "PTVOICE-" + Le32(20060111);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    TempDir dir;
    std::string folder = dir.Path();
    if (!c.folder.empty()) {
      folder += "/" + c.folder;
      std::filesystem::create_directory(folder);
    }
    WriteFileBytes(folder + "/" + c.file, file);
    const Result r = CompileVoices("#voice " + folder + "/" + c.file);
    ASSERT_EQ(r.result, crOk);
    EXPECT_EQ(r.section, PtvoiceChunk(file) + NameChunk(0, c.name));
  }
}

TEST(VoiceEmbed, VoiceNameIsCutAtSixteenBytes) {
  TempDir dir;
  const std::string file = "PTVOICE-" + Le32(20060111);
  WriteFileBytes(dir / "v.ptvoice", file);
  const std::string kanji = Sjis(U8(u8"あいうえおかきくけこ"));  // 20 bytes
  const Result r = CompileVoices("#voice@0 " + (dir / "v.ptvoice") + "\n#voice@2 " +
                                 (dir / "v.ptvoice") + "\n#insname@0 twenty_bytes_long_xx\n" +
                                 "#insname@1 exactly16bytes!!\n#insname@2 " + kanji + "\n");
  ASSERT_EQ(r.result, crOk);
  EXPECT_EQ(r.section, PtvoiceChunk(file) + NameChunk(0, "twenty_bytes_lon") + EmptySlotChunk() +
                           NameChunk(1, "exactly16bytes!!") + PtvoiceChunk(file) +
                           NameChunk(2, kanji.substr(0, 16)));
}

// The fixtures made with real encoders and the pxtone library, end to end.
// Their formats are those given in tests/fixtures/README.md.
TEST(VoiceEmbed, RealVoiceFiles) {
  const std::string ptv1 = ReadFileBytes(kFixtures + "/sine.ptvoice");
  const std::string ptv2 = ReadFileBytes(kFixtures + "/organ_env.ptvoice");
  const std::string snare = ReadFileBytes(kFixtures + "/snare.ptnoise");
  const std::string hat = ReadFileBytes(kFixtures + "/hat.ptnoise");
  const std::string kick = ReadFileBytes(kFixtures + "/kick_2unit.ptnoise");
  const std::string wav = ReadFileBytes(kFixtures + "/sine440_m8_22k.wav");
  const std::string ogg = ReadFileBytes(kFixtures + "/sine441_m_11k.ogg");
  ASSERT_EQ(ptv1.size(), 37u);
  ASSERT_EQ(ptv2.size(), 59u);
  ASSERT_EQ(snare.size(), 32u);
  ASSERT_EQ(hat.size(), 31u);
  ASSERT_EQ(kick.size(), 55u);
  ASSERT_EQ(wav.size(), 11070u);
  ASSERT_EQ(ogg.size(), 2566u);

  std::string mml;
  for (const char* name : {"sine.ptvoice", "organ_env.ptvoice", "snare.ptnoise", "hat.ptnoise",
                           "kick_2unit.ptnoise", "sine440_m8_22k.wav", "sine441_m_11k.ogg"})
    mml += "#voice " + kFixtures + "/" + name + "\n";
  const Result r = CompileVoices(mml);
  ASSERT_EQ(r.result, crOk);
  // 0.5 s of 8-bit mono at 22050 Hz: 11025 bytes, then one pad byte that
  // stays out. 2200 samples of mono 11025 Hz: the last page's granule.
  EXPECT_EQ(r.section,
            PtvoiceChunk(ptv1) + NameChunk(0, "sine") + PtvoiceChunk(ptv2) +
                NameChunk(1, "organ_env") + PtnoiseChunk(snare, 1) + NameChunk(2, "snare") +
                PtnoiseChunk(hat, 1) + NameChunk(3, "hat") + PtnoiseChunk(kick, 1) +
                NameChunk(4, "kick_2unit") + PcmChunk(1, 8, 22050, wav.substr(44, 11025)) +
                NameChunk(5, "sine440_m8_22k") + OggChunk(ogg, 1, 11025, 2200) +
                NameChunk(6, "sine441_m_11k"));
}

// Nothing found in one Ogg file is carried into the next one.
TEST(VoiceEmbed, OggValuesAreNotCarriedOver) {
  TempDir dir;
  const std::string second = OggPage(kFirst, 0, {VorbisId(2, 44100)});
  WriteFileBytes(dir / "second.ogg", second);
  const std::string first = ReadFileBytes(kFixtures + "/sine441_m_11k.ogg");
  const Result r = CompileVoices("#voice " + kFixtures + "/sine441_m_11k.ogg\n#voice " +
                                 (dir / "second.ogg"));
  ASSERT_EQ(r.result, crOk);
  EXPECT_EQ(r.section, OggChunk(first, 1, 11025, 2200) + NameChunk(0, "sine441_m_11k") +
                           OggChunk(second, 2, 44100, 0) + NameChunk(1, "second"));
}

// A refused voice stops the whole compile, whatever voices came before.
TEST(VoiceEmbed, RefusalAfterGoodVoicesWritesNoFile) {
  TempDir dir;
  WriteFileBytes(dir / "bad.wav", Wave({.format = 3}));
  ExpectBuildError("#voice " + kFixtures + "/sine.ptvoice\n#voice@3 " + (dir / "bad.wav") +
                       "\nc d e",
                   Sjis(U8(u8"このWAVEには対応していません。")));
}

// The bundled example song, compiled from its own folder as its README
// says: its units play the pxtone voices, the sample and the noises beside it.
TEST(VoiceEmbed, ExampleSongCarriesItsVoices) {
  const std::filesystem::path examples =
      std::filesystem::path(kFixtures).parent_path().parent_path() / "examples";
  const std::string mml = ReadFileBytes((examples / "song.mml").string());
  ASSERT_FALSE(mml.empty());
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(examples);
  const Outcome o = Compile(mml);
  std::filesystem::current_path(before);
  ASSERT_EQ(o.result, crOk);
  for (const std::string& line : o.lines)
    EXPECT_EQ(line.find(Sjis(U8(u8"[ヒント]"))), std::string::npos) << line;
  const Project p = ParseProject(o.file);
  std::vector<std::string> kinds;
  for (const Chunk& c : p.chunks)
    if (c.tag.compare(0, 4, "mate") == 0) kinds.push_back(c.tag);
  const std::vector<std::string> expected = {"matePTV ", "mateOGGV", "matePTV ",
                                             "matePTN ", "matePTN ", "matePTN "};
  EXPECT_EQ(kinds, expected);
  // each unit selects a voice at its start; the drums play the noises
  const int melodic[] = {0, 1, 2};
  for (int unit : melodic) {
    SCOPED_TRACE(unit);
    EXPECT_NE(std::find(p.events.begin(), p.events.end(), Event{0, unit, 12, unit}),
              p.events.end());
  }
  std::vector<int32_t> drumVoices;
  for (const Event& e : p.events)
    if (e.unit >= 3 && e.kind == 12) drumVoices.push_back(e.value);
  EXPECT_NE(std::find(drumVoices.begin(), drumVoices.end(), 3), drumVoices.end());
  EXPECT_NE(std::find(drumVoices.begin(), drumVoices.end(), 4), drumVoices.end());
  EXPECT_NE(std::find(drumVoices.begin(), drumVoices.end(), 5), drumVoices.end());
  for (int32_t v : drumVoices) EXPECT_GE(v, 3);
  // the song ends after nine measures, and every unit plays into the ninth
  const int32_t measure = 4 * 480;
  EXPECT_EQ(Int32At(p.Find("MasterV5")->body, 11), 9 * measure);
  for (int unit = 0; unit < 5; ++unit) {
    SCOPED_TRACE(unit);
    int32_t lastOn = -1;
    for (const Event& e : p.events)
      if (e.unit == unit && e.kind == 1) lastOn = e.clock;
    EXPECT_GE(lastOn, 8 * measure);
    EXPECT_LT(lastOn, 9 * measure);
  }
}

}  // namespace
