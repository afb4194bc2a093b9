#include <algorithm>

#include "message_log.h"
#include "messages.h"
#include "mml_compiler.h"
#include "uException.h"
#include "wrapping.h"

using quavert::Format;

namespace {
constexpr int32_t kGroupMax = 6;  // the project format has seven unit groups
}

void TMmlCompiler::UnitCommand(uint8_t command) {
  TMmlUnitInfo& unit = Unit();
  const uint8_t u = static_cast<uint8_t>(CurrentUnit);
  uint8_t c = 0;
  int32_t value;

  switch (command) {
    case '"':
      OctaveShift = wrap::Sub(OctaveShift, 1);
      return;
    case '`':
      OctaveShift = wrap::Add(OctaveShift, 1);
      return;

    case 'l':
      if (!Source.ReadChar(c)) return;
      Source.UnreadChar();
      if ((IsDigit(c) || c == '%' || c == '.') &&
          ReadLength(value, unit.DefaultLength, Master.Timebase))
        unit.DefaultLength = value;
      return;

    case 'o':
      if (!Source.ReadChar(c)) return;
      Source.UnreadChar();
      if (IsDigit(c) && ReadExpression(value, false, 0, 0)) unit.Octave = value;
      return;

    case '<':
    case '>': {
      const bool up = (command == '>') != OctaveReverse;
      unit.Octave = up ? wrap::Add(unit.Octave, 1) : wrap::Sub(unit.Octave, 1);
      return;
    }

    case 'v':
      if (SkipBlanks()) {
        Source.ReadChar(c);
        Source.UnreadChar();
        if (c == '+' || c == '-') {
          if (ReadExpression(value, false, 0, 0)) {
            unit.Velocity = wrap::Add(unit.Velocity, value);
          } else {
            // No number after the sign: a run of signs steps by VelocityStep.
            Source.UnreadChar();
            while (Source.ReadChar(c)) {
              if (c == '+') {
                unit.Velocity = wrap::Add(unit.Velocity, VelocityStep);
              } else if (c == '-') {
                unit.Velocity = wrap::Sub(unit.Velocity, VelocityStep);
              } else {
                Source.UnreadChar();
                break;
              }
            }
          }
        } else if (ReadExpression(value, false, 0, 0)) {
          unit.Velocity = value;
        }
      }
      unit.Velocity = std::clamp(unit.Velocity, 0, 128);
      return;

    case 'q':
      if (!Source.ReadChar(c)) {
        unit.AbsoluteGate = false;
        return;
      }
      unit.AbsoluteGate = c == '%';
      if (!unit.AbsoluteGate) Source.UnreadChar();
      if (!Source.ReadChar(c)) return;
      Source.UnreadChar();
      if (IsDigit(c) && ReadExpression(value, false, 0, 0)) unit.Gate = value;
      return;

    case 'P':
      if (!Source.ReadChar(c)) return;
      if (IsDigit(c)) {
        Source.UnreadChar();
        if (ReadExpression(value, false, 0, 0)) Events.AddEvent(unit.Clock, u, ekPanVolume, value);
      } else if (c == 'T') {
        if (ReadExpression(value, false, 0, 0)) Events.AddEvent(unit.Clock, u, ekPanTime, value);
      } else if (c == 'o') {
        if (!ReadLength(value, unit.DefaultLength, Master.Timebase)) value = 0;
        Events.AddEvent(unit.Clock, u, ekPortamento, value);
      } else {
        Source.UnreadChar();
      }
      return;

    case 'V':
    case '@':
    case 'G':
      if (!Source.ReadChar(c)) return;
      Source.UnreadChar();
      if (!IsDigit(c) || !ReadExpression(value, false, 0, 0)) return;
      if (command == 'G' && (value < 0 || value > kGroupMax))
        throw EQuavertError(IntegerRangeMessage(0, kGroupMax));
      Events.AddEvent(unit.Clock, u,
                      command == 'V' ? ekVolume : command == '@' ? ekVoiceNo : ekGroupNo, value);
      return;

    case 'U':
      if (!ReadExpression(value, false, 0, 0)) return;
      if (value < 0 || value >= UnitCount) throw EQuavertError(Format(msg::UnitLimit, UnitCount));
      CurrentUnit = value;
      return;

    case 'K':
    case 'p': {
      if (!Source.ReadChar(c)) return;
      if (c != '-' && !IsDigit(c)) {
        Source.UnreadChar();
        return;
      }
      const bool negative = c == '-';
      if (!negative) Source.UnreadChar();
      if (!ReadExpression(value, false, 0, 0)) return;
      if (negative) value = wrap::Neg(value);
      (command == 'K' ? Transpose : FineTune) = value;
      return;
    }

    case 't':
      if (!ReadNumberList()) return;
      if (NumberList.Count() >= 2 && NumberList.Items(0) <= 0)
        throw EQuavertError(msg::TimingInterval);
      unit.TimingOrigin = unit.Clock;
      unit.TimingShifts = NumberList;
      return;

    case 'T': {
      if (!ReadNumberList()) return;
      const size_t n = NumberList.Count();
      if (n >= 4) throw EQuavertError(msg::PositionArgs);
      const int32_t timebase = Master.Timebase;
      int32_t clock = wrap::Mul(wrap::Mul(NumberList.Items(0), timebase), Master.BeatNum);
      if (n >= 2) clock = wrap::Add(clock, wrap::Mul(NumberList.Items(1), timebase));
      if (n >= 3) clock = wrap::Add(clock, NumberList.Items(2));
      unit.Clock = clock;
      return;
    }

    case 'M':
      if (!ReadNumberList()) {
        unit.Muted = true;
        return;
      }
      for (int32_t n : NumberList.Values)
        if (n >= 0 && n < UnitCount) Units[static_cast<size_t>(n)].Muted = true;
      return;

    case '$':
      if (!Source.ReadChar(c)) return;
      if (c == 'F') {
        KeySignature.fill(0);
        if (!Source.ReadChar(c)) return;
        if (c == '+' || c == '-') {
          const int32_t step = c == '+' ? 1 : -1;
          if (!SkipBlanks()) return;
          while (Source.ReadChar(c)) {
            if (c < 'a' || c > 'g') {
              Source.UnreadChar();
              break;
            }
            KeySignature[static_cast<size_t>(c - 'a')] = step;
          }
        } else if (c == 'n') {
          SkipBlanks();
          if (!ReadNumberList()) return;
          static constexpr size_t kLetterOfPosition[7] = {2, 3, 4, 5, 6, 0, 1};  // c d e f g a b
          for (size_t i = 0; i < 7 && i < NumberList.Count(); ++i)
            KeySignature[kLetterOfPosition[i]] = NumberList.Items(i);
        } else {
          Source.UnreadChar();
        }
      } else if (c == 'K' || c == 'Q') {
        uint8_t mode = 0;
        if (!Source.ReadChar(mode)) return;
        if (c == 'K' && (mode == '+' || mode == '-'))
          unit.NoTranspose = mode == '-';
        else if (c == 'Q' && (mode == 'a' || mode == 'r'))
          unit.AbsoluteGate = mode == 'a';
        else
          Source.UnreadChar();
      } else {
        Source.UnreadChar();
      }
      return;

    default:
      return;
  }
}
