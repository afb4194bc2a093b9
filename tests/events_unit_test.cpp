// The event list's order by clock and the byte-level encoders of the
// project stream, tested alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "uPtcop.h"

namespace {

std::string Bytes(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s += static_cast<char>(b);
  return s;
}

std::string Hex(const std::string& s) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : s) {
    if (!out.empty()) out += ' ';
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

std::string Encoded(int32_t value) {
  uint8_t buffer[5] = {};
  const size_t n = EncodeVarInt(value, buffer);
  return std::string(reinterpret_cast<const char*>(buffer), n);
}

// The file format's reader: up to five 7-bit groups, least significant first.
int32_t Decoded(const std::string& bytes, size_t& used) {
  uint32_t v = 0;
  used = 0;
  for (int shift = 0; used < bytes.size(); shift += 7) {
    const uint8_t b = static_cast<uint8_t>(bytes[used++]);
    v |= static_cast<uint32_t>(b & 0x7F) << shift;
    if ((b & 0x80) == 0) break;
  }
  return static_cast<int32_t>(v);
}

// --- order by clock ---

TEST(EventsSort, EmptyListStaysEmpty) {
  TPtcopEventList list;
  list.SortByClock();
  EXPECT_EQ(list.Count(), 0u);
}

TEST(EventsSort, EqualClocksKeepTheirOrderOfAppending) {
  TPtcopEventList list;
  list.AddEvent(10, 0, ekKey, 1);
  list.AddEvent(0, 0, ekKey, 2);
  list.AddEvent(10, 0, ekKey, 3);
  list.AddEvent(5, 0, ekKey, 4);
  list.SortByClock();
  std::vector<std::pair<int32_t, int32_t>> got;
  for (const auto& e : list.Items) got.emplace_back(e.Clock, e.Value);
  const std::vector<std::pair<int32_t, int32_t>> want = {{0, 2}, {5, 4}, {10, 1}, {10, 3}};
  EXPECT_EQ(got, want);
}

TEST(EventsSort, UnitAndKindNeverDecideTheOrder) {
  TPtcopEventList list;
  list.AddEvent(7, 3, ekVelocity, 1);
  list.AddEvent(7, 0, ekKey, 2);
  list.AddEvent(7, 49, ekOn, 3);
  list.AddEvent(7, 1, ekPanTime, 4);
  list.SortByClock();
  ASSERT_EQ(list.Count(), 4u);
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(list.Items[i].Value, static_cast<int32_t>(i + 1));
  EXPECT_EQ(list.Items[0].UnitNo, 3);
  EXPECT_EQ(list.Items[0].Kind, ekVelocity);
}

TEST(EventsSort, ClocksFarApartAreOrderedByValue) {
  // A subtraction of the two clocks would overflow for these pairs.
  TPtcopEventList list;
  list.AddEvent(INT32_MAX, 0, ekKey, 1);
  list.AddEvent(INT32_MIN, 0, ekKey, 2);
  list.AddEvent(2000000000, 0, ekKey, 3);
  list.AddEvent(-2000000000, 0, ekKey, 4);
  list.AddEvent(0, 0, ekKey, 5);
  list.AddEvent(INT32_MIN, 0, ekKey, 6);
  list.SortByClock();
  std::vector<int32_t> values;
  for (const auto& e : list.Items) values.push_back(e.Value);
  EXPECT_EQ(values, (std::vector<int32_t>{2, 6, 4, 5, 3, 1}));
}

TEST(EventsSort, LargeRandomListMatchesAStableReference) {
  std::mt19937 rng(12345);
  std::uniform_int_distribution<int32_t> small(-50, 200);
  std::uniform_int_distribution<int32_t> any(INT32_MIN, INT32_MAX);
  std::uniform_int_distribution<int> pick(0, 9);
  TPtcopEventList list;
  std::vector<std::pair<int32_t, int32_t>> reference;  // (clock, order of appending)
  const int32_t n = 30001;
  for (int32_t i = 0; i < n; ++i) {
    const int32_t clock = pick(rng) == 0 ? any(rng) : small(rng);  // many ties, some far off
    list.AddEvent(clock, static_cast<uint8_t>(i % 50), ekKey, i);
    reference.emplace_back(clock, i);
  }
  std::sort(reference.begin(), reference.end());
  list.SortByClock();
  ASSERT_EQ(list.Count(), reference.size());
  for (size_t i = 0; i < reference.size(); ++i) {
    ASSERT_EQ(list.Items[i].Clock, reference[i].first) << "at " << i;
    ASSERT_EQ(list.Items[i].Value, reference[i].second) << "at " << i;
    ASSERT_EQ(list.Items[i].UnitNo, reference[i].second % 50) << "at " << i;
  }
}

TEST(EventsSort, EveryNumberOfDigitPasses) {
  // Clock ranges that leave one, two or three digits to sort, and a list
  // sorted already; each against a stable reference.
  struct Range {
    int32_t low, high;
    bool ascending;
  };
  const std::vector<Range> ranges = {{0, 1999, false},      {-1000, 1000, false}, {0, 4000000, false},
                                     {INT32_MIN, INT32_MAX, false}, {0, 100000, true}, {5, 5, false}};
  std::mt19937 rng(7);
  for (const Range& r : ranges) {
    SCOPED_TRACE(std::to_string(r.low) + ".." + std::to_string(r.high));
    std::uniform_int_distribution<int32_t> clockOf(r.low, r.high);
    std::vector<TPtcopEventRec> reference;
    TPtcopEventList list;
    for (int32_t i = 0; i < 5000; ++i) {
      const int32_t clock = r.ascending ? r.low + i : clockOf(rng);
      list.AddEvent(clock, 0, ekKey, i);
      reference.push_back(list.Items.back());
    }
    std::stable_sort(reference.begin(), reference.end(),
                     [](const TPtcopEventRec& a, const TPtcopEventRec& b) { return a.Clock < b.Clock; });
    list.SortByClock();
    ASSERT_EQ(list.Count(), reference.size());
    for (size_t i = 0; i < reference.size(); ++i) {
      ASSERT_EQ(list.Items[i].Clock, reference[i].Clock) << "at " << i;
      ASSERT_EQ(list.Items[i].Value, reference[i].Value) << "at " << i;
    }
  }
}

TEST(EventsList, CloneSurvivesClearingTheChain) {
  TPtcopPortaEventList chain;
  chain.AddEvent(480, 2, ekKey, 22784);
  TPtcopEventList events;
  events.Add(chain.Items[0].Clone());
  chain.Clear();
  EXPECT_EQ(chain.Count(), 0u);
  ASSERT_EQ(events.Count(), 1u);
  EXPECT_EQ(events.Items[0].Clock, 480);
  EXPECT_EQ(events.Items[0].UnitNo, 2);
  EXPECT_EQ(events.Items[0].Kind, ekKey);
  EXPECT_EQ(events.Items[0].Value, 22784);
}

// --- variable-length integers ---

TEST(EventsVarInt, BoundariesOfEachLength) {
  struct Case {
    int32_t value;
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {0, Bytes({0x00})},
      {1, Bytes({0x01})},
      {127, Bytes({0x7F})},
      {128, Bytes({0x80, 0x01})},
      {480, Bytes({0xE0, 0x03})},
      {16383, Bytes({0xFF, 0x7F})},
      {16384, Bytes({0x80, 0x80, 0x01})},
      {2097151, Bytes({0xFF, 0xFF, 0x7F})},
      {2097152, Bytes({0x80, 0x80, 0x80, 0x01})},
      {268435455, Bytes({0xFF, 0xFF, 0xFF, 0x7F})},
      // beyond four groups: a fifth byte carries the top four bits
      {268435456, Bytes({0x80, 0x80, 0x80, 0x80, 0x01})},
      {INT32_MAX, Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0x07})},
      // negative values are taken as unsigned 32 bits
      {-1, Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0x0F})},
      {-2304, Bytes({0x80, 0xEE, 0xFF, 0xFF, 0x0F})},  // 0xFFFFF700
      {INT32_MIN, Bytes({0x80, 0x80, 0x80, 0x80, 0x08})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(Hex(Encoded(c.value)), Hex(c.bytes));
  }
}

TEST(EventsVarInt, EveryValueRoundTrips) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int32_t> any(INT32_MIN, INT32_MAX);
  std::vector<int32_t> values = {0, 1, -1, 127, 128, 16383, 16384, 268435455, 268435456,
                                 INT32_MAX, INT32_MIN, -10, -20};
  for (int i = 0; i < 2000; ++i) values.push_back(any(rng));
  for (int32_t v : values) {
    SCOPED_TRACE(v);
    const std::string bytes = Encoded(v);
    ASSERT_GE(bytes.size(), 1u);
    ASSERT_LE(bytes.size(), 5u);
    for (size_t i = 0; i + 1 < bytes.size(); ++i) EXPECT_NE(bytes[i] & 0x80, 0);
    EXPECT_EQ(bytes.back() & 0x80, 0);
    size_t used = 0;
    EXPECT_EQ(Decoded(bytes, used), v);
    EXPECT_EQ(used, bytes.size());
  }
}

// --- the project stream ---

TEST(EventsStream, WriteIntWritesTheLowBytesLittleEndian) {
  struct Case {
    int32_t value;
    int32_t size;
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {0x12345678, 1, Bytes({0x78})},
      {0x12345678, 2, Bytes({0x78, 0x56})},
      {0x12345678, 3, Bytes({0x78, 0x56, 0x34})},
      {0x12345678, 4, Bytes({0x78, 0x56, 0x34, 0x12})},
      {-2, 2, Bytes({0xFE, 0xFF})},
      {-1, 4, Bytes({0xFF, 0xFF, 0xFF, 0xFF})},
      {914, 4, Bytes({0x92, 0x03, 0x00, 0x00})},
      {480, 2, Bytes({0xE0, 0x01})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.value) + " size " + std::to_string(c.size));
    TPtcopStream s;
    s.WriteInt(c.value, c.size);
    EXPECT_EQ(Hex(s.Data), Hex(c.bytes));
    EXPECT_EQ(s.Position(), c.bytes.size());
  }
}

TEST(EventsStream, ChunkHeaderIsTagThenSize) {
  TPtcopStream s;
  s.WriteChunkHeader("MasterV5", 15);
  s.WriteChunkHeader("Event V5", 0);
  EXPECT_EQ(Hex(s.Data), Hex("MasterV5" + Bytes({15, 0, 0, 0}) + "Event V5" + Bytes({0, 0, 0, 0})));
}

TEST(EventsStream, WriteEventEncodesClockUnitKindValue) {
  struct Case {
    int32_t delta;
    uint8_t unit;
    uint8_t kind;
    int32_t value;
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {0, 0, ekKey, 22272, Bytes({0x00, 0x00, 0x02, 0x80, 0xAE, 0x01})},
      {0, 0, ekOn, 384, Bytes({0x00, 0x00, 0x01, 0x80, 0x03})},
      {0, 0, ekVelocity, 100, Bytes({0x00, 0x00, 0x04, 0x64})},
      {480, 49, ekVolume, 127, Bytes({0xE0, 0x03, 0x31, 0x05, 0x7F})},
      {-10, 3, ekPanTime, -20,
       Bytes({0xF6, 0xFF, 0xFF, 0xFF, 0x0F, 0x03, 0x0F, 0xEC, 0xFF, 0xFF, 0xFF, 0x0F})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.delta);
    TPtcopStream s;
    s.WriteEvent(c.delta, c.unit, c.kind, c.value);
    EXPECT_EQ(Hex(s.Data), Hex(c.bytes));
  }
}

TEST(EventsStream, NameFieldIsSixteenBytes) {
  struct Case {
    std::string name;
    std::string field;
  };
  const std::string zeros(16, '\0');
  const std::vector<Case> cases = {
      {"", zeros},
      {"abc", "abc" + std::string(13, '\0')},
      {"0123456789ABCDEF", "0123456789ABCDEF"},      // exactly 16: no terminator
      {"0123456789ABCDEFGHIJ", "0123456789ABCDEF"},  // cut at byte 16
      // a double-byte character across the cut loses its second byte
      {"0123456789ABCDE\x82\xA0", "0123456789ABCDE\x82"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Hex(c.name));
    TPtcopStream s;
    s.WriteNameField(c.name);
    ASSERT_EQ(s.Size(), 16u);
    EXPECT_EQ(Hex(s.Data), Hex(c.field));
  }
}

TEST(EventsStream, WritesAppendAndOverwriteAtThePosition) {
  TPtcopStream s;
  s.WriteInt(0x04030201, 4);
  s.Seek(1);
  s.WriteInt(0x0A09, 2);
  EXPECT_EQ(Hex(s.Data), Hex(Bytes({1, 9, 10, 4})));
  s.Seek(3);
  s.WriteInt(0x0C0B, 2);  // runs past the end and grows the buffer
  EXPECT_EQ(Hex(s.Data), Hex(Bytes({1, 9, 10, 11, 12})));
  s.Seek(2);
  char out[8] = {};
  EXPECT_EQ(s.Read(out, sizeof out), 3u);
  EXPECT_EQ(Hex(std::string(out, 3)), Hex(Bytes({10, 11, 12})));
  EXPECT_EQ(s.Read(out, 1), 0u);
}

}  // namespace
