#include <cstdint>
#include <cstring>

#include "message_log.h"
#include "messages.h"
#include "mml_compiler.h"
#include "platform.h"
#include "uException.h"

using quavert::Format;

namespace {

// The built-in voice written for a voice number without a file.
constexpr uint8_t kDefaultVoice[28] = {
    'P', 'T', 'V', 'O', 'I', 'C', 'E', '-',  // signature
    0xCF, 0x17, 0x32, 0x01,                  // 20060111
    0x0C, 0x00, 0x00, 0x00,                  // 12 bytes follow
    0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x40, 0x00, 0x03, 0x01, 0x01, 0x00,
};

constexpr int32_t kNoiseFlagVersion = 20120418;

int32_t Int32At(const std::string& d, size_t at) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<uint8_t>(d[at + i])) << (8 * i);
  return static_cast<int32_t>(v);
}

uint16_t UInt16At(const std::string& d, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(d[at]) |
                               (static_cast<uint8_t>(d[at + 1]) << 8));
}

// The head of a noise, WAVE or Ogg voice chunk: the key field (three zero
// bytes, then the base key's low byte) and the flag word.
void WriteKeyAndOptions(TPtcopStream& out, const TPtcopAssignVoice& voice) {
  out.WriteInt(0, 3);
  out.WriteInt(voice.BaseKey & 0xFF, 1);
  out.WriteInt(voice.Options, 4);
}

// A pxtone voice chunk: eight zero bytes, the image's size, the image.
void WritePtvoiceChunk(TPtcopStream& out, const void* image, int32_t size) {
  out.WriteChunkHeader("matePTV ", size + 12);
  out.WriteInt(0, 4);
  out.WriteInt(0, 4);
  out.WriteInt(size, 4);
  out.Write(image, static_cast<size_t>(size));
}

struct OggInfo {
  bool HasVorbisHeader = false;
  int32_t Channels = 0;
  int32_t SampleRate = 0;
  int32_t SampleCount = 0;
};

// Walks the Ogg pages for the Vorbis identification header (channels and
// rate) and the last page's granule position (sample count).
OggInfo ScanOgg(const std::string& d) {
  OggInfo info;
  size_t pos = 0;
  while (d.size() >= 27 && pos + 27 <= d.size() && d.compare(pos, 4, "OggS") == 0) {
    const uint8_t flags = static_cast<uint8_t>(d[pos + 5]);
    const size_t segments = static_cast<uint8_t>(d[pos + 26]);
    const size_t table = pos + 27;
    if (table + segments > d.size()) break;
    size_t body = table + segments;
    if (flags & 2) {
      for (size_t s = 0; s < segments; ++s) {
        const size_t len = static_cast<uint8_t>(d[table + s]);
        if (body + len > d.size()) {
          // A segment cut off by the end of the file ends the scan: its bytes
          // are no page header.
          body = d.size();
          break;
        }
        if (len >= 16 && d.compare(body, 7, "\x01vorbis") == 0) {
          info.HasVorbisHeader = true;
          info.Channels = static_cast<uint8_t>(d[body + 11]);
          info.SampleRate = Int32At(d, body + 12);
        }
        body += len;
      }
    } else {
      if (flags & 4) info.SampleCount = Int32At(d, pos + 6);
      for (size_t s = 0; s < segments; ++s) body += static_cast<uint8_t>(d[table + s]);
    }
    pos = body;
  }
  return info;
}

std::string VoiceNameOfFile(const std::string& path) {
  const size_t slash = path.rfind('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t point = name.rfind('.');
  if (point != std::string::npos && point > 0) name.resize(point);
  return name;
}

// A chunk's size field must hold the file and the largest header (28 bytes).
constexpr size_t kLargestVoiceFile = static_cast<size_t>(INT32_MAX - 28);

void WriteFileVoice(TPtcopStream& out, TPtcopStream& work, const TPtcopAssignVoice& voice) {
  // A file too large to embed is refused before it is read into memory.
  switch (platform::ReadWholeFile(voice.FileName, work.Data, kLargestVoiceFile)) {
    case platform::ReadResult::Ok:
      break;
    case platform::ReadResult::TooLarge:
      throw EQuavertError(Format(msg::VoiceUnsupported, voice.FileName.c_str()));
    case platform::ReadResult::Failed:
      throw EQuavertError(Format(msg::VoiceUnreadable, voice.FileName.c_str()));
  }
  work.Seek(0);
  const std::string& d = work.Data;
  const size_t size = d.size();
  if (size < 12)
    throw EQuavertError(Format(msg::VoiceUnsupported, voice.FileName.c_str()));
  const int32_t fileSize = static_cast<int32_t>(size);

  if (d.compare(0, 8, "PTVOICE-") == 0) {
    WritePtvoiceChunk(out, d.data(), fileSize);
    return;
  }
  if (d.compare(0, 8, "PTNOISE-") == 0) {
    const int32_t version = Int32At(d, 8);
    if (version > kNoiseFlagVersion) throw EQuavertError(msg::PtnoiseVersion);
    out.WriteChunkHeader("matePTN ", fileSize + 16);
    WriteKeyAndOptions(out, voice);
    out.WriteFloat(voice.Correct);
    out.WriteInt(version == kNoiseFlagVersion ? 1 : 0, 4);
    out.WriteBytes(d);
    return;
  }
  if (size >= 44 && d.compare(0, 4, "RIFF") == 0) {
    const uint16_t channels = UInt16At(d, 22);
    const uint16_t bits = UInt16At(d, 34);
    const uint32_t dataSize = static_cast<uint32_t>(Int32At(d, 40));
    const uint32_t frame = static_cast<uint32_t>(channels) * bits / 8;
    // The player reads 8- and 16-bit samples only, in whole frames.
    const bool ok = static_cast<uint32_t>(Int32At(d, 4)) == size - 8 &&
                    d.compare(8, 4, "WAVE") == 0 && d.compare(12, 4, "fmt ") == 0 &&
                    UInt16At(d, 20) == 1 && (channels == 1 || channels == 2) &&
                    (bits == 8 || bits == 16) && d.compare(36, 4, "data") == 0 &&
                    dataSize <= size - 44 && dataSize % frame == 0;
    if (!ok) throw EQuavertError(msg::WaveUnsupported);
    out.WriteChunkHeader("matePCM ", static_cast<int32_t>(dataSize) + 24);
    WriteKeyAndOptions(out, voice);
    out.WriteInt(channels, 2);
    out.WriteInt(bits, 2);
    out.WriteInt(Int32At(d, 24), 4);
    out.WriteFloat(voice.Correct);
    out.WriteInt(static_cast<int32_t>(dataSize), 4);
    out.Write(d.data() + 44, dataSize);
    return;
  }
  const OggInfo ogg = ScanOgg(d);
  if (!ogg.HasVorbisHeader)
    throw EQuavertError(Format(msg::VoiceUnsupported, voice.FileName.c_str()));
  out.WriteChunkHeader("mateOGGV", fileSize + 28);
  WriteKeyAndOptions(out, voice);
  out.WriteFloat(voice.Correct);
  out.WriteInt(ogg.Channels, 4);
  out.WriteInt(ogg.SampleRate, 4);
  out.WriteInt(ogg.SampleCount, 4);
  out.WriteInt(fileSize, 4);
  out.WriteBytes(d);
}

}  // namespace

void TMmlCompiler::WriteVoiceSection(TPtcopStream& out, TPtcopStream& work) {
  int32_t voiceCounter = 0;
  const auto& slots = VoiceAssignments.Items;
  for (size_t i = 0; i < slots.size(); ++i) {
    const TPtcopAssignVoice* voice = slots[i].get();
    std::string name;
    if (voice == nullptr) {
      WritePtvoiceChunk(out, kDefaultVoice, static_cast<int32_t>(sizeof kDefaultVoice));
      name = "----------------";
    } else {
      if (!platform::FileExists(voice->FileName)) continue;
      WriteFileVoice(out, work, *voice);
      name = VoiceNameOfFile(voice->FileName);
    }
    if (i < VoiceNames.size() && !VoiceNames[i].empty()) name = VoiceNames[i];
    out.WriteChunkHeader("assiWOIC", 20);
    out.WriteInt(voiceCounter++, 4);
    out.WriteNameField(name);
  }
}
