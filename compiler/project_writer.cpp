#include <algorithm>

#include "message_log.h"
#include "mml_compiler.h"
#include "wrapping.h"

using quavert::Format;

void TMmlCompiler::WriteProject(TPtcopStream& out, TPtcopStream& work) {
  // Measures become clocks with the timing in force at the end of the source.
  const int32_t measure = wrap::Mul(Master.Timebase, Master.BeatNum);
  Master.LoopStartMeasure = wrap::Mul(measure, Master.LoopStartMeasure);
  Master.EndMeasure = wrap::Mul(measure, Master.EndMeasure);

  // The output buffer (at most kMaxEventBytes an event, plus the chunks around
  // them) lends the sort its scratch space: the project fills the same memory
  // afterwards, so sorting touches no memory of its own.
  out.Reserve(std::max(Events.Items.size() * sizeof(TPtcopEventRec),
                       Events.Count() * kMaxEventBytes + 4096 + Comment.size()));
  Events.SortByClock(out.Data);
  out.Data.clear();
  out.Seek(0);

  if (std::any_of(Units.begin(), Units.end(), [](const TMmlUnitInfo& u) { return u.Muted; }))
    Events.RemoveIf([&](const TPtcopEventRec& e) { return Units[e.UnitNo].Muted; });

  out.Write("PTCOLLAGE-071119", 16);
  out.WriteInt(ProjectVersion, 4);

  out.WriteChunkHeader("MasterV5", 15);
  out.WriteInt(Master.Timebase, 2);
  out.WriteInt(Master.BeatNum, 1);
  out.WriteFloat(Master.BeatTempo);
  out.WriteInt(Master.LoopStartMeasure, 4);
  out.WriteInt(Master.EndMeasure, 4);

  out.WriteChunkHeader("Event V5", 0);
  out.WriteInt(static_cast<int32_t>(Events.Count()), 4);
  // Encoded in blocks and appended; a note record stands for three events.
  uint8_t block[16384];
  uint8_t* p = block;
  int32_t previous = 0;
  int32_t unitCount = 0;
  for (const TPtcopEventRec& e : Events.Items) {
    const int32_t delta = wrap::Sub(e.Clock, previous);
    if (e.Kind == ekNote) {
      p = EncodeEvent(p, delta, e.UnitNo, ekKey, e.Value);
      p = EncodeEvent(p, 0, e.UnitNo, ekOn, e.Gate);
      p = EncodeEvent(p, 0, e.UnitNo, ekVelocity, e.Velocity);
    } else {
      p = EncodeEvent(p, delta, e.UnitNo, e.Kind, e.Value);
    }
    previous = e.Clock;
    if (e.UnitNo >= unitCount) unitCount = e.UnitNo + 1;
    if (p > block + sizeof block - 3 * kMaxEventBytes) {
      out.Write(block, static_cast<size_t>(p - block));
      p = block;
    }
  }
  out.Write(block, static_cast<size_t>(p - block));

  if (!Title.empty()) {
    out.WriteChunkHeader("textNAME", static_cast<int32_t>(Title.size()));
    out.WriteBytes(Title);
  }
  if (FullTitle.size() > 16) Comment = FullTitle + "\r\n" + Comment;
  if (!Comment.empty()) {
    out.WriteChunkHeader("textCOMM", static_cast<int32_t>(Comment.size()));
    out.WriteBytes(Comment);
  }

  WriteVoiceSection(out, work);

  for (int32_t i = 0; i < DelayCount; ++i) {
    const TDelayRec& d = Delays[static_cast<size_t>(i)];
    out.WriteChunkHeader("effeDELA", 12);
    out.WriteInt(d.DelayUnit, 2);
    out.WriteInt(d.Group, 2);
    out.WriteFloat(d.Quant);
    out.WriteFloat(d.Freq);
  }
  for (int32_t i = 0; i < OverdriveCount; ++i) {
    const TOverdriveRec& o = Overdrives[static_cast<size_t>(i)];
    out.WriteChunkHeader("effeOVER", 16);
    out.WriteInt(o.Reserved, 2);
    out.WriteInt(o.Group, 2);
    out.WriteFloat(o.Cut);
    out.WriteFloat(o.Amp);
    out.WriteFloat(o.Reserved2);
  }

  out.WriteChunkHeader("num UNIT", 4);
  out.WriteInt(unitCount, 4);
  for (int32_t u = 0; u < unitCount; ++u) {
    out.WriteChunkHeader("assiUNIT", 20);
    out.WriteInt(u, 4);
    const size_t i = static_cast<size_t>(u);
    out.WriteNameField(i < UnitNames.size() && !UnitNames[i].empty() ? UnitNames[i]
                                                                     : Format("unit%.2d", u));
  }

  out.WriteChunkHeader("pxtoneND", 0);
}
