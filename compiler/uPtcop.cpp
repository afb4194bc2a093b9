#include "uPtcop.h"

#include <algorithm>

namespace {

// Clocks as unsigned keys that sort in the same order.
inline uint32_t ClockKey(const TPtcopEventRec& e) { return static_cast<uint32_t>(e.Clock) ^ 0x80000000u; }

}  // namespace

// A stable least-significant-digit radix sort on the clock: a few linear
// passes over compact records, however the units interleave. One scan counts
// all three digits and sees whether the list is sorted already; a digit that
// is the same in every record needs no pass, so a song of up to four million
// clocks takes two.
void TPtcopEventList::SortByClock() {
  std::string scratch;
  SortByClock(scratch);
}

void TPtcopEventList::SortByClock(std::string& scratch) {
  const size_t n = Items.size();
  if (n < 2) return;
  if (n < 256) {
    std::stable_sort(Items.begin(), Items.end(),
                     [](const TPtcopEventRec& a, const TPtcopEventRec& b) { return a.Clock < b.Clock; });
    return;
  }
  constexpr unsigned kDigits = 3;
  constexpr unsigned kShift[kDigits] = {0, 11, 22};
  constexpr uint32_t kMask = (1u << 11) - 1;
  std::vector<size_t> counts(kDigits * (kMask + 1));
  bool sorted = true;
  uint32_t previous = 0;
  for (size_t i = 0; i < n; ++i) {
    const uint32_t key = ClockKey(Items[i]);
    sorted = sorted && previous <= key;
    previous = key;
    for (unsigned d = 0; d < kDigits; ++d) ++counts[d * (kMask + 1) + ((key >> kShift[d]) & kMask)];
  }
  if (sorted) return;

  // The passes move records between the list and the scratch bytes, as bytes.
  constexpr size_t kSize = sizeof(TPtcopEventRec);
  if (scratch.size() < n * kSize) scratch.resize(n * kSize);
  char* from = reinterpret_cast<char*>(Items.data());
  char* to = scratch.data();
  for (unsigned d = 0; d < kDigits; ++d) {
    size_t* start = counts.data() + d * (kMask + 1);
    if (start[(ClockKey(Items[0]) >> kShift[d]) & kMask] == n) continue;  // one digit for all
    size_t sum = 0;
    for (uint32_t b = 0; b <= kMask; ++b) {
      const size_t count = start[b];
      start[b] = sum;
      sum += count;
    }
    for (size_t i = 0; i < n; ++i) {
      TPtcopEventRec e;
      std::memcpy(&e, from + i * kSize, kSize);
      std::memcpy(to + start[(ClockKey(e) >> kShift[d]) & kMask]++ * kSize, &e, kSize);
    }
    std::swap(from, to);
  }
  if (from != reinterpret_cast<char*>(Items.data())) std::memcpy(Items.data(), from, n * kSize);
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

uint8_t* EncodeEvent(uint8_t* out, int32_t deltaClock, uint8_t unitNo, uint8_t kind, int32_t value) {
  out += EncodeVarInt(deltaClock, out);
  *out++ = unitNo;
  *out++ = kind;
  return out + EncodeVarInt(value, out);
}

void TPtcopStream::WriteEvent(int32_t deltaClock, uint8_t unitNo, uint8_t kind, int32_t value) {
  uint8_t buffer[kMaxEventBytes];
  Write(buffer, static_cast<size_t>(EncodeEvent(buffer, deltaClock, unitNo, kind, value) - buffer));
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
