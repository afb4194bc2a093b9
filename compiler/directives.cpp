#include <string>

#include "message_log.h"
#include "messages.h"
#include "mml_compiler.h"
#include "quavert.h"
#include "text.h"
#include "uException.h"
#include "wrapping.h"

using quavert::Format;
using quavert::MessageLog;

namespace {

enum DirectiveId {
  dTitle, dComment, dTimebase, dClock, dTempo, dBeat, dLoopStart, dEndMeasure, dPVersion,
  dKeyShift, dFineTune, dOctave, dInheritL, dVAdd, dDelayType, dDelayGroup, dDelayQuant,
  dDelayFreq, dDelayAdd, dOverdriveGroup, dOverdriveCut, dOverdriveAmp, dOverdriveAdd,
  dUnitName, dInsName, dVoiceBaseKey, dVoiceCorrect, dVoiceOptions, dVoice,
};

// Directive names by id; built into the library, shared by every compile.
constexpr const char* kDirectiveTable[] = {
    "title", "comment", "timebase", "clock", "tempo", "beat", "loopstart", "endmeasure",
    "pversion", "keyshift", "finetune", "octave", "inheritl", "vadd", "delay-type",
    "delay-group", "delay-quant", "delay-freq", "delay-add", "overdrive-group",
    "overdrive-cut", "overdrive-amp", "overdrive-add", "unitname", "insname",
    "voice-basekey", "voice-correct", "voice-options", "voice",
};

constexpr int32_t kGroupMax = 6;        // seven unit groups in the project format
constexpr int32_t kVoiceOptionsMax = 7;  // loop, smooth and beat-fit flags

int FindDirective(const std::string& name) {
  for (size_t i = 0; i < std::size(kDirectiveTable); ++i)
    if (SameNoCase(name, kDirectiveTable[i])) return static_cast<int>(i);
  return -1;
}

std::string ShortTitle(const std::string& title) {
  if (title.size() <= 16) return title;
  const auto lead = [&](size_t i) { return IsLeadByte(static_cast<uint8_t>(title[i])); };
  size_t i = 0;
  while (i < 13) i += lead(i) ? 2 : 1;
  if (!lead(i)) ++i;
  std::string cut = title.substr(0, 16);
  for (size_t j = i; j < 16; ++j) cut[j] = '.';
  return cut;
}

uint16_t GroupOf(const std::string& value) {
  const uint16_t group = static_cast<uint16_t>(ConvertToInteger(value, false, 0, 0));
  if (group > kGroupMax) throw EQuavertValueConvertError(IntegerRangeMessage(0, kGroupMax));
  return group;
}

}  // namespace

void TMmlCompiler::DirectiveLine() {
  uint8_t c = 0;
  std::string name;
  while (Source.ReadChar(c)) {
    if (c == '\t' || c == ' ' || c == 0) break;
    if (c == '\n' || c == '\r') {
      Source.UnreadChar();
      break;
    }
    name += static_cast<char>(c);
  }
  if (name.empty()) return;
  while (Source.ReadChar(c)) {
    if (c != '\t' && c != ' ' && c != 0) {
      Source.UnreadChar();
      break;
    }
  }
  std::string raw;
  while (Source.ReadChar(c)) {
    if (c == '\n' || c == '\r' || c == 0) {
      Source.UnreadChar();
      break;
    }
    raw += static_cast<char>(c);
  }
  const std::string value = TrimControls(raw);

  if (!value.empty() && !quavert::OptionSet(emoSuppressDirectiveEcho) && MessageLog::Accepts())
    MessageLog::LogEcho(name + "=" + value);

  const int id = FindDirective(name);
  if (id >= 0) {
    RunDirective(id, value);
    return;
  }
  const std::vector<std::string> pieces = SplitText(name, "@");
  const int base = FindDirective(pieces.front());
  if (base < 0) {
    LogHint(true, msg::UnknownDirective, pieces.front().c_str(), quavert::VersionText().c_str());
    return;
  }
  int32_t n = 0;
  if (pieces.size() < 2 || !TryParseInteger(pieces[1], n)) n = 0;
  if (base == dUnitName)
    SetUnitName(value, n);
  else if (base == dInsName)
    SetVoiceName(value, n);
  else if (base == dVoice)
    AssignVoice(value, n);
}

void TMmlCompiler::RunDirective(int id, const std::string& value) {
  const int32_t measure = wrap::Mul(Master.Timebase, Master.BeatNum);
  switch (id) {
    case dTitle:
      FullTitle = value;
      Title = ShortTitle(value);
      break;
    case dComment:
      Comment += value;
      Comment += "\r\n";
      break;
    case dTimebase:
    case dClock:
      Master.Timebase = static_cast<uint16_t>(ConvertToInteger(value, true, 1, 32767));
      break;
    case dTempo:
      Master.BeatTempo = ConvertToFloat(value, true, 0.5f, 1000.0f);
      break;
    case dBeat:
      Master.BeatNum = static_cast<uint8_t>(ConvertToInteger(value, true, 1, 127));
      break;
    case dLoopStart:
      Master.LoopStartMeasure =
          value.empty() ? wrap::Div(Unit().Clock, measure) : ConvertToInteger(value, false, 0, 0);
      break;
    case dEndMeasure:
      if (value.empty()) {
        const int32_t clock = Unit().Clock;
        Master.EndMeasure = wrap::Add(wrap::Div(clock, measure), wrap::Mod(clock, measure) > 0);
      } else {
        Master.EndMeasure = ConvertToInteger(value, false, 0, 0);
      }
      break;
    case dPVersion:
      ProjectVersion = ConvertToInteger(value, false, 0, 0);
      break;
    case dKeyShift:
      KeyShift = ConvertToInteger(value, false, 0, 0);
      break;
    case dFineTune:
      BaseFineTune = ConvertToInteger(value, false, 0, 0);
      break;
    case dOctave:
      OctaveReverse = SameNoCase(value, "reverse");
      break;
    case dInheritL:
      InheritLength = !SameNoCase(value, "off");
      break;
    case dVAdd:
      VelocityStep = ConvertToInteger(value, true, 1, 2147483647);
      break;
    case dDelayType:
      if (SameNoCase(value, "beat"))
        CurrentDelay.DelayUnit = 0;
      else if (SameNoCase(value, "measure"))
        CurrentDelay.DelayUnit = 1;
      else if (SameNoCase(value, "second"))
        CurrentDelay.DelayUnit = 2;
      break;
    case dDelayGroup:
      CurrentDelay.Group = GroupOf(value);
      break;
    case dDelayQuant:
      CurrentDelay.Quant = ConvertToFloat(value, true, 0.0f, 100.0f);
      break;
    case dDelayFreq:
      CurrentDelay.Freq = ConvertToFloat(value, true, 0.0f, 100.0f);
      break;
    case dDelayAdd:
      if (DelayCount >= DelayLimit) throw EQuavertError(Format(msg::DelayLimit, DelayLimit));
      Delays[static_cast<size_t>(DelayCount++)] = CurrentDelay;
      break;
    case dOverdriveGroup:
      CurrentOverdrive.Group = GroupOf(value);
      break;
    case dOverdriveCut:
      CurrentOverdrive.Cut = ConvertToFloat(value, true, 50.0f, 99.9f);
      break;
    case dOverdriveAmp:
      CurrentOverdrive.Amp = ConvertToFloat(value, true, 0.1f, 8.0f);
      break;
    case dOverdriveAdd:
      if (OverdriveCount >= OverdriveLimit)
        throw EQuavertError(Format(msg::OverdriveLimit, OverdriveLimit));
      // The reserved fields of a committed record stay 0.
      Overdrives[static_cast<size_t>(OverdriveCount++)] =
          TOverdriveRec{0, CurrentOverdrive.Group, CurrentOverdrive.Cut, CurrentOverdrive.Amp, 0.0f};
      break;
    case dUnitName:
      SetUnitName(value, static_cast<int32_t>(UnitNames.size()));
      break;
    case dInsName:
      if (VoiceNames.size() < static_cast<size_t>(VoiceNameLimit)) VoiceNames.push_back(value);
      break;
    case dVoiceBaseKey:
      VoiceBaseKey = ConvertToInteger(value, false, 0, 0);
      break;
    case dVoiceCorrect:
      VoiceCorrect = ConvertToFloat(value, false, 0.0f, 0.0f);
      break;
    case dVoiceOptions:
      VoiceOptions = ConvertToInteger(value, true, 0, kVoiceOptionsMax);
      break;
    case dVoice:
      AssignVoice(value, static_cast<int32_t>(VoiceAssignments.Count()));
      break;
    default:
      break;
  }
}
