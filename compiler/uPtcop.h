// The project-file model: events and their lists, unit state, voice
// assignments, integer lists and the byte stream the project is built in.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

// Event kinds, numbered as the project file numbers them. ekNote is the
// list's own: one record for the key, on and velocity events of a note, which
// the writer expands into those three.
enum TPtcopEventKind : uint8_t {
  ekNote = 0,
  ekOn = 1,
  ekKey = 2,
  ekPanVolume = 3,
  ekVelocity = 4,
  ekVolume = 5,
  ekPortamento = 6,
  ekVoiceNo = 12,
  ekGroupNo = 13,
  ekPanTime = 15,
};

// One event: at Clock, unit UnitNo receives Value of kind Kind. A small value.
// A note record (ekNote) holds the key in Value, and its gate and velocity.
struct TPtcopEventRec {
  int32_t Clock;
  int32_t Value;
  uint8_t UnitNo;
  uint8_t Kind;
  uint8_t Velocity;  // ekNote: the velocity, which 'v' keeps within 0..128
  int32_t Gate;      // ekNote: the sounding length

  TPtcopEventRec Clone() const { return *this; }
  // The number of events of the file this record stands for.
  size_t EventCount() const { return Kind == ekNote ? 3 : 1; }
};

// An ordered list of events, owning them by value. A note's three events
// travel as one record, so a song's notes take a third of the records.
class TPtcopEventList {
 public:
  // Records are built in place: a record built aside and copied in would be
  // read back whole right after being written field by field, which stalls.
  void AddEvent(int32_t clock, uint8_t unitNo, uint8_t kind, int32_t value) {
    TPtcopEventRec& r = Items.emplace_back();
    r.Clock = clock;
    r.Value = value;
    r.UnitNo = unitNo;
    r.Kind = kind;
    ++Events;
  }
  // The key, on and velocity events of a note, at one clock.
  void AddNote(int32_t clock, uint8_t unitNo, int32_t key, int32_t gate, int32_t velocity) {
    TPtcopEventRec& r = Items.emplace_back();
    r.Clock = clock;
    r.Value = key;
    r.UnitNo = unitNo;
    r.Kind = ekNote;
    r.Velocity = static_cast<uint8_t>(velocity);
    r.Gate = gate;
    Events += 3;
  }
  void Add(const TPtcopEventRec& rec) {
    Items.push_back(rec);
    Events += rec.EventCount();
  }
  // The number of events, a note counting three.
  size_t Count() const { return Events; }
  bool Empty() const { return Items.empty(); }
  void Clear() {
    Items.clear();
    Events = 0;
  }
  // Removes the records of which drop(record) is true.
  template <class Pred>
  void RemoveIf(Pred drop) {
    size_t kept = 0;
    Events = 0;
    for (const TPtcopEventRec& e : Items) {
      if (drop(e)) continue;
      Items[kept++] = e;
      Events += e.EventCount();
    }
    Items.resize(kept);
  }
  // Ascending Clock; events of equal Clock keep the order they were added in.
  void SortByClock();
  // The same, with scratch space taken from the bytes of `scratch` (grown as
  // needed; its content is lost): the writer lends its output buffer.
  void SortByClock(std::string& scratch);

  std::vector<TPtcopEventRec> Items;

 private:
  size_t Events = 0;
};

// The key events of a slur chain that is still open.
class TPtcopPortaEventList : public TPtcopEventList {};

// An ordered list of signed 32-bit integers.
class TIntegerList {
 public:
  void Add(int32_t value) { Values.push_back(value); }
  int32_t Items(size_t index) const { return Values[index]; }
  size_t Count() const { return Values.size(); }
  void Clear() { Values.clear(); }

  std::vector<int32_t> Values;
};

// The state of one unit (track).
struct TMmlUnitInfo {
  int32_t DefaultLength = 480;
  int32_t Velocity = 100;
  int32_t Gate = 80;
  int32_t Clock = 0;
  int32_t Octave = 5;
  TPtcopPortaEventList SlurEvents;
  TIntegerList TimingShifts;
  int32_t TimingOrigin = 0;
  bool Muted = false;
  bool NoTranspose = false;
  bool AbsoluteGate = false;
  bool SlurOpen = false;
  // Key, gate and shift of this unit's last note: what closes its open
  // slur chain when the source ends.
  int32_t LastNoteKey = 0;
  int32_t LastNoteGate = 0;
  int32_t LastNoteShift = 0;
};

// One voice assignment: the file found for a voice number and its settings.
struct TPtcopAssignVoice {
  std::string FileName;
  int32_t BaseKey = 69;
  float Correct = 1.0f;
  int32_t Options = 2;
};

// Voice assignments by voice number; an empty slot has no voice file.
class TPtcopAssignVoiceList {
 public:
  size_t Count() const { return Items.size(); }
  std::vector<std::unique_ptr<TPtcopAssignVoice>> Items;
};

// Variable-length encoding of an event's clock difference and value:
// 7-bit groups, least significant first, bit 7 set on all but the last byte.
// The value is taken as unsigned 32 bits, so it needs one to five bytes.
size_t EncodeVarInt(int32_t value, uint8_t out[5]);

// One event as the file holds it (clock difference, unit, kind, value) at
// out, which has room for kMaxEventBytes; returns the byte after it.
constexpr size_t kMaxEventBytes = 12;
uint8_t* EncodeEvent(uint8_t* out, int32_t deltaClock, uint8_t unitNo, uint8_t kind, int32_t value);

// A growable byte buffer with a read/write position.
class TPtcopStream {
 public:
  void Write(const void* data, size_t size);
  void WriteBytes(const std::string& bytes) { Write(bytes.data(), bytes.size()); }
  // The low `size` bytes (1 to 4) of value, least significant first.
  void WriteInt(int32_t value, int32_t size);
  void WriteFloat(float value);
  void WriteChunkHeader(const char tag[8], int32_t size);
  void WriteEvent(int32_t deltaClock, uint8_t unitNo, uint8_t kind, int32_t value);
  // A 16-byte field: the name's first bytes, zero-filled behind it.
  void WriteNameField(const std::string& name);
  void Reserve(size_t size) { Data.reserve(size); }

  // Reads up to size bytes at the position; returns how many were read.
  size_t Read(void* out, size_t size);
  void Seek(size_t position) { Pos = position; }
  size_t Position() const { return Pos; }
  size_t Size() const { return Data.size(); }

  std::string Data;
  size_t Pos = 0;
};
