#include "uPtcop.h"

#include <algorithm>

void TPtcopEventList::SortByClock() {
  std::stable_sort(Items.begin(), Items.end(),
                   [](const TPtcopEventRec& a, const TPtcopEventRec& b) { return a.Clock < b.Clock; });
}

size_t EncodeVarInt(int32_t value, uint8_t out[5]) {
  uint32_t v = static_cast<uint32_t>(value);
  size_t n = 0;
  while (v >= 0x80) {
    out[n++] = static_cast<uint8_t>((v & 0x7F) | 0x80);
    v >>= 7;
  }
  out[n++] = static_cast<uint8_t>(v);
  return n;
}

void TPtcopStream::Write(const void* data, size_t size) {
  if (size == 0) return;
  const char* bytes = static_cast<const char*>(data);
  if (Pos == Data.size()) {
    Data.append(bytes, size);
  } else {
    if (Pos + size > Data.size()) Data.resize(Pos + size);
    std::memcpy(Data.data() + Pos, bytes, size);
  }
  Pos += size;
}

void TPtcopStream::WriteInt(int32_t value, int32_t size) {
  const uint32_t v = static_cast<uint32_t>(value);
  const uint8_t bytes[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                            static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
  Write(bytes, static_cast<size_t>(std::clamp(size, 0, 4)));
}

void TPtcopStream::WriteFloat(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  WriteInt(static_cast<int32_t>(bits), 4);
}

void TPtcopStream::WriteChunkHeader(const char tag[8], int32_t size) {
  Write(tag, 8);
  WriteInt(size, 4);
}

void TPtcopStream::WriteEvent(int32_t deltaClock, uint8_t unitNo, uint8_t kind, int32_t value) {
  uint8_t buffer[12];
  size_t n = EncodeVarInt(deltaClock, buffer);
  buffer[n++] = unitNo;
  buffer[n++] = kind;
  n += EncodeVarInt(value, buffer + n);
  Write(buffer, n);
}

void TPtcopStream::WriteNameField(const std::string& name) {
  char field[16] = {};
  std::memcpy(field, name.data(), std::min<size_t>(name.size(), sizeof field));
  Write(field, sizeof field);
}

size_t TPtcopStream::Read(void* out, size_t size) {
  if (Pos >= Data.size()) return 0;
  const size_t n = std::min(size, Data.size() - Pos);
  std::memcpy(out, Data.data() + Pos, n);
  Pos += n;
  return n;
}
