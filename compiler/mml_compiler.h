// TMmlCompiler: the state of one compile and the operations on it. The
// handlers of the language live in the files named for them (scanner,
// notes, commands, repeats, directives, voice tables, writer).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "scanner.h"
#include "uPtcop.h"
#include "wrapping.h"

struct TMasterRec {
  uint16_t Timebase = 480;
  uint8_t BeatNum = 4;
  float BeatTempo = 120.0f;
  int32_t LoopStartMeasure = 0;
  int32_t EndMeasure = 0;
};

struct TDelayRec {
  uint16_t DelayUnit = 0;  // 0 beat, 1 measure, 2 second
  uint16_t Group = 0;
  float Quant = 33.3f;
  float Freq = 3.3f;
};

struct TOverdriveRec {
  uint16_t Reserved = 0;
  uint16_t Group = 0;
  float Cut = 90.0f;
  float Amp = 2.0f;
  float Reserved2 = 0.0f;
};

struct TRepeatEntry {
  size_t Start = 0;     // just after the '[' and its count
  size_t End = 0;       // position of the ']' once reached; until then Start
  int32_t Remaining = 0;
  int32_t Line = 0;     // LineNo at Start, restored on every pass
  int32_t EndLine = 0;  // LineNo at the ']', restored by the break-out jump
};

class TMmlCompiler {
 public:
  static constexpr size_t EventLimit = 500000;
  static constexpr int32_t UnitCount = 50;
  static constexpr int32_t RepeatLimit = 8;
  static constexpr int32_t DelayLimit = 4;
  static constexpr int32_t OverdriveLimit = 2;
  static constexpr int32_t VoiceLimit = 100;
  static constexpr int32_t VoiceNameLimit = 100;
  static constexpr int32_t UnitNameLimit = 50;

  TMmlCompiler(const char* outputFileName, const char* mmlText, uint32_t startTime);
  TMmlCompiler(const TMmlCompiler&) = delete;
  TMmlCompiler& operator=(const TMmlCompiler&) = delete;

  // Runs the whole compile after the setup; returns ResultCode.
  int32_t Run();

  // --- driver ---
  int32_t ResultCode = 0;
  bool Failed = false;
  uint32_t StartTime;
  std::string LibraryDir;
  std::string OutputFileName;
  std::vector<std::string> VoiceSearchPaths;
  uint8_t CurrentChar = 0;
  TMasterRec Master;

  // --- scanner ---
  SourceReader Source;
  int32_t LineNo = 1;
  int32_t CommentDepth = 0;
  TIntegerList NumberList;

  // --- events and units ---
  TPtcopEventList Events;
  std::array<TMmlUnitInfo, UnitCount> Units;
  int32_t CurrentUnit = 0;
  int32_t OctaveShift = 0;
  int32_t Transpose = 0;
  int32_t FineTune = 0;
  std::array<int32_t, 7> KeySignature{};  // letters a to g
  int32_t KeyShift = 0;
  int32_t BaseFineTune = 0;
  int32_t VelocityStep = 8;
  bool InheritLength = false;
  bool OctaveReverse = false;
  int32_t NoteKey = 0;
  int32_t NoteGate = 0;
  int32_t NoteShift = 0;

  // --- repeats ---
  std::array<TRepeatEntry, RepeatLimit> RepeatStack{};
  int32_t RepeatDepth = 0;

  // --- directives and project settings ---
  std::string FullTitle = "Untitled";
  std::string Title = "Untitled";
  std::string Comment;
  int32_t ProjectVersion = 914;
  TDelayRec CurrentDelay;
  std::array<TDelayRec, DelayLimit> Delays{};
  int32_t DelayCount = 0;
  TOverdriveRec CurrentOverdrive;
  std::array<TOverdriveRec, OverdriveLimit> Overdrives{};
  int32_t OverdriveCount = 0;

  // --- voice and name tables ---
  TPtcopAssignVoiceList VoiceAssignments;
  std::vector<std::string> VoiceNames;
  std::vector<std::string> UnitNames;
  bool VoiceNameHintPending = true;
  bool UnitNameHintPending = true;
  int32_t VoiceBaseKey = 69;
  float VoiceCorrect = 1.0f;
  int32_t VoiceOptions = 2;

  // --- log helpers ---
  // A hint formatted from format and its arguments; nothing is formatted once
  // the log takes no more hints.
  void LogHint(bool withLine, const char* format, ...) const __attribute__((format(printf, 3, 4)));

  // --- scanner (scanner.cpp) ---
  // Skips blanks and line breaks; true when a byte follows. The common case,
  // a byte that is no blank, is decided here.
  bool SkipBlanks() {
    uint8_t c = 0;
    return (Source.Peek(c) && c > ' ') || SkipBlanksSlow();
  }
  bool SkipBlanksSlow();
  // A number: an optional "%", an optional sign, decimal digits. The common
  // case, digits right away, is decided here.
  bool ReadNumber(TMmlNumber& number) {
    uint8_t c = 0;
    if (!SkipBlanks() || !Source.Peek(c) || !IsDigit(c)) return ReadNumberSlow(number);
    number.Prefix = 0;
    number.Value = ReadDigits();
    return true;
  }
  // A run of decimal digits, in 32-bit arithmetic that wraps.
  int32_t ReadDigits() {
    int32_t value = 0;
    uint8_t c = 0;
    while (Source.Peek(c) && IsDigit(c)) {
      Source.Skip();
      value = wrap::Add(wrap::Mul(value, 10), c - '0');
    }
    return value;
  }
  bool ReadNumberSlow(TMmlNumber& number);
  bool ReadExpression(int32_t& result, bool asLength, int32_t defaultLength, int32_t timebase);
  bool ReadLength(int32_t& result, int32_t defaultLength, int32_t timebase);
  bool ReadNumberList();
  void SkipBlockComment();
  void CommentCommand();
  void DefaultBranch(uint8_t c);
  // Consumes the LF of a CR LF pair after a CR was read; counts the line.
  void CountLineBreak(uint8_t c);

  // --- notes and rests (notes.cpp) ---
  void NoteCommand(uint8_t letter);
  bool FlushSlur();
  void CloseOpenSlurs();

  // --- unit control commands (commands.cpp) ---
  void UnitCommand(uint8_t c);

  // --- repeats (repeats.cpp) ---
  void RepeatOpen();
  void RepeatBreak();
  void RepeatClose();

  // --- directives (directives.cpp) ---
  void DirectiveLine();
  void RunDirective(int id, const std::string& value);

  // --- voice and name tables (voice_tables.cpp) ---
  void SetVoiceName(const std::string& name, int32_t n);
  void SetUnitName(const std::string& name, int32_t n);
  void AssignVoice(const std::string& fileName, int32_t n);

  // --- project writer (project_writer.cpp, voice_embed.cpp) ---
  void WriteProject(TPtcopStream& out, TPtcopStream& work);
  void WriteVoiceSection(TPtcopStream& out, TPtcopStream& work);

  TMmlUnitInfo& Unit() { return Units[static_cast<size_t>(CurrentUnit)]; }

 private:
  void ReadConfiguration();
  void MainLoop();
  void Dispatch(uint8_t c);
  void BuildAndSave();
};

// The whole compile behind QuavertCompile.
int32_t CompileMml(const char* outputFileName, const char* mmlText);
