#include "messages.h"
#include "mml_compiler.h"
#include "uException.h"

// A repeat is expanded by reading its body again: ']' moves the read
// position back to just after the '[', and each pass interprets it anew.

void TMmlCompiler::RepeatOpen() {
  if (RepeatDepth >= RepeatLimit) throw EQuavertError(msg::RepeatTooDeep);
  TRepeatEntry& entry = RepeatStack[static_cast<size_t>(RepeatDepth++)];
  int32_t count;
  entry.Remaining = ReadExpression(count, false, 0, 0) ? count : 2;
  entry.Start = Source.Position();
  entry.End = entry.Start;
  entry.Line = LineNo;
  entry.EndLine = LineNo;
}

void TMmlCompiler::RepeatBreak() {
  if (RepeatDepth == 0) throw EQuavertError(msg::RepeatBreakOutside);
  const TRepeatEntry& entry = RepeatStack[static_cast<size_t>(RepeatDepth - 1)];
  if (entry.End > entry.Start && entry.Remaining <= 1) {
    Source.SeekTo(entry.End);
    LineNo = entry.EndLine;
  }
}

void TMmlCompiler::RepeatClose() {
  if (RepeatDepth == 0) throw EQuavertError(msg::RepeatNotOpen);
  TRepeatEntry& entry = RepeatStack[static_cast<size_t>(RepeatDepth - 1)];
  entry.End = Source.Position() - 1;
  entry.EndLine = LineNo;
  // A count of 0 or less plays once; never wrap round to a huge count.
  entry.Remaining = entry.Remaining > 0 ? entry.Remaining - 1 : 0;
  if (entry.Remaining > 0) {
    LineNo = entry.Line;
    Source.SeekTo(entry.Start);
  } else {
    --RepeatDepth;
  }
}
