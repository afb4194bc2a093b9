#include "message_log.h"
#include "messages.h"
#include "mml_compiler.h"
#include "wrapping.h"

using quavert::Format;

namespace {

// Semitone of each letter a to g within its octave.
constexpr int32_t kLetterSemitone[7] = {9, 11, 0, 2, 4, 5, 7};

// Floor division and a non-negative remainder, so that a timing pattern
// continues without a jump before its origin.
int32_t FloorDiv(int32_t a, int32_t b) {
  const int32_t q = wrap::Div(a, b);
  return (wrap::Mod(a, b) != 0 && ((a < 0) != (b < 0))) ? wrap::Sub(q, 1) : q;
}

int32_t TimingShift(const TMmlUnitInfo& unit) {
  const auto& shifts = unit.TimingShifts;
  const size_t n = shifts.Count();
  if (n == 0) return 0;
  if (n == 1) return shifts.Items(0);
  const int32_t interval = shifts.Items(0);  // at least 1, checked by 't'
  const int32_t k = FloorDiv(wrap::Sub(unit.Clock, unit.TimingOrigin), interval);
  const int64_t cycle = static_cast<int64_t>(n - 1);
  const int64_t index = ((static_cast<int64_t>(k) % cycle) + cycle) % cycle;
  return shifts.Items(static_cast<size_t>(1 + index));
}

}  // namespace

void TMmlCompiler::NoteCommand(uint8_t letter) {
  TMmlUnitInfo& unit = Unit();
  const uint8_t u = static_cast<uint8_t>(CurrentUnit);
  const bool isRest = letter == 'r';
  int32_t length = unit.DefaultLength;
  int32_t semitone = isRest ? 0 : kLetterSemitone[letter - 'a'];
  bool natural = false;

  // Accidentals and bar lines, then at most one length part; the first byte
  // that fits none of them is left for the command level.
  uint8_t c = 0;
  while (SkipBlanks()) {
    Source.Peek(c);
    if (IsDigit(c) || c == '%' || c == '.') {
      int32_t read;
      if (ReadLength(read, unit.DefaultLength, Master.Timebase)) length = read;
      break;
    }
    if (c != '+' && c != '-' && c != '*' && c != '|' && c != '^') break;
    Source.Skip();
    if (c == '+') {
      semitone = wrap::Add(semitone, 1);
    } else if (c == '-') {
      semitone = wrap::Sub(semitone, 1);
    } else if (c == '*') {
      natural = true;
    } else if (c == '^') {
      // A tie run: each '^' adds the default length; blanks, bar lines and
      // line breaks between them are skipped.
      length = wrap::Add(length, unit.DefaultLength);
      while (Source.Peek(c)) {
        if (c == '^') {
          length = wrap::Add(length, unit.DefaultLength);
        } else if (c == '\n' || c == '\r') {
          Source.Skip();
          CountLineBreak(c);
          continue;
        } else if (c != '\t' && c != ' ' && c != '|') {
          break;
        }
        Source.Skip();
      }
      break;
    }
  }

  // Slur mark.
  unit.SlurOpen = !isRest && SkipBlanks() && Source.Peek(c) && c == '&';
  if (unit.SlurOpen) Source.Skip();

  if (!isRest) {
    const int32_t index = letter - 'a';
    int32_t noteNumber =
        wrap::Add(wrap::Add(27, wrap::Mul(wrap::Add(unit.Octave, OctaveShift), 12)), semitone);
    if (!natural) noteNumber = wrap::Add(noteNumber, KeySignature[static_cast<size_t>(index)]);
    if (!unit.NoTranspose) noteNumber = wrap::Add(noteNumber, wrap::Add(KeyShift, Transpose));
    NoteKey = wrap::Mul(noteNumber, 256);
    if (!unit.NoTranspose) NoteKey = wrap::Add(NoteKey, wrap::Add(BaseFineTune, FineTune));
    NoteGate = unit.AbsoluteGate ? unit.Gate : wrap::Div(wrap::Mul(length, unit.Gate), 100);
    NoteShift = TimingShift(unit);
    unit.LastNoteKey = NoteKey;
    unit.LastNoteGate = NoteGate;
    unit.LastNoteShift = NoteShift;

    const int32_t at = wrap::Add(unit.Clock, NoteShift);
    if (unit.SlurOpen) {
      unit.SlurEvents.AddEvent(at, u, ekKey, NoteKey);
    } else if (!FlushSlur()) {
      Events.AddNote(at, u, NoteKey, NoteGate, unit.Velocity);
    }
  }

  unit.Clock = wrap::Add(unit.Clock, length);
  if (InheritLength) unit.DefaultLength = length;
  OctaveShift = 0;
}

bool TMmlCompiler::FlushSlur() {
  TMmlUnitInfo& unit = Unit();
  auto& chain = unit.SlurEvents.Items;
  if (chain.empty()) return false;
  const uint8_t u = static_cast<uint8_t>(CurrentUnit);
  const TPtcopEventRec first = chain.front();
  NoteGate = wrap::Add(NoteGate, wrap::Sub(unit.Clock, first.Clock));
  Events.AddNote(first.Clock, u, first.Value, NoteGate, unit.Velocity);
  unit.SlurEvents.AddEvent(wrap::Add(unit.Clock, NoteShift), u, ekKey, NoteKey);
  for (size_t i = 1; i < chain.size(); ++i)
    if (chain[i].Value != chain[i - 1].Value) Events.Add(chain[i].Clone());
  unit.SlurEvents.Clear();
  return true;
}

void TMmlCompiler::CloseOpenSlurs() {
  // Each open chain, whether its last note carried '&' or a rest followed
  // it, is closed with its own unit's last note.
  for (int32_t u = 0; u < UnitCount; ++u) {
    TMmlUnitInfo& unit = Units[static_cast<size_t>(u)];
    if (unit.SlurEvents.Empty()) continue;
    // At most one a unit, and never cut off by a flood of earlier hints.
    quavert::MessageLog::LogFormat(msg::HintNoLine, Format(msg::SlurNotClosed, u).c_str());
    CurrentUnit = u;
    NoteKey = unit.LastNoteKey;
    NoteGate = unit.LastNoteGate;
    NoteShift = unit.LastNoteShift;
    FlushSlur();
  }
}
