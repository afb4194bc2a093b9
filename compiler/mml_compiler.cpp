#include "mml_compiler.h"

#include <cstdarg>
#include <cstring>

#include "ini_reader.h"
#include "message_log.h"
#include "output_name.h"
#include "messages.h"
#include "platform.h"
#include "quavert.h"
#include "text.h"
#include "uException.h"

using quavert::Format;
using quavert::MessageLog;
using quavert::OptionSet;

namespace {

bool EndsWithSeparator(const std::string& s) {
  return !s.empty() && (s.back() == '/' || s.back() == '\\');
}

}  // namespace

TMmlCompiler::TMmlCompiler(const char* outputFileName, const char* mmlText, uint32_t startTime)
    : StartTime(startTime),
      OutputFileName(outputFileName ? outputFileName : ""),
      Source(mmlText, mmlText ? std::strlen(mmlText) : 0) {
  LibraryDir = platform::FolderOf(platform::LibraryPath());
  if (!EndsWithSeparator(LibraryDir)) LibraryDir += '/';
  for (auto& unit : Units) unit.DefaultLength = Master.Timebase;
  // Room for the largest song up front: the list does not move while it
  // grows, and the pages a small song does not use are never touched.
  Events.Items.reserve(EventLimit + 1024);
}

void TMmlCompiler::LogHint(bool withLine, const char* format, ...) const {
  if (!MessageLog::Accepts()) return;
  va_list args;
  va_start(args, format);
  const std::string message = quavert::FormatV(format, args);
  va_end(args);
  MessageLog::LogHint(message, withLine, LineNo);
}

void TMmlCompiler::ReadConfiguration() {
  std::string ini;
  if (platform::ReadWholeFile(LibraryDir + "quavert.ini", ini) != platform::ReadResult::Ok) return;
  const std::string value = ReadIniValue(ini, "Path", "VoiceSearchPath");
  VoiceSearchPaths = SplitText(value, ">");
  for (size_t i = 0; i < VoiceSearchPaths.size();) {
    std::string entry = TrimControls(VoiceSearchPaths[i]);
    if (entry.empty()) {  // kept untouched, as the file has it
      ++i;
      continue;
    }
    if (!platform::IsAbsolutePath(entry)) entry = LibraryDir + entry;
    if (!EndsWithSeparator(entry)) entry += '/';
    if (platform::DirectoryExists(entry)) {
      VoiceSearchPaths[i++] = entry;
    } else {
      MessageLog::LogFormat(msg::VoiceFolderMissing, entry.c_str());
      VoiceSearchPaths.erase(VoiceSearchPaths.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
}

void TMmlCompiler::Dispatch(uint8_t c) {
  switch (c) {
    case '#':
      DirectiveLine();
      break;
    case 'a': case 'b': case 'c': case 'd': case 'e': case 'f': case 'g': case 'r':
      NoteCommand(c);
      break;
    case 'l': case '<': case '>': case 'v': case 'q': case 'o': case 'P': case 'V': case 'U':
    case 'K': case 'p': case 't': case 'T': case 'M': case 'G': case '@': case '$': case '"':
    case '`':
      UnitCommand(c);
      break;
    case '[':
      RepeatOpen();
      break;
    case ':':
      RepeatBreak();
      break;
    case ']':
      RepeatClose();
      break;
    case '/':
      CommentCommand();
      break;
    default:
      DefaultBranch(c);
      break;
  }
}

void TMmlCompiler::MainLoop() {
  try {
    uint8_t c = 0;
    while (Source.ReadChar(c)) {
      CurrentChar = c;
      if (Events.Count() > EventLimit)
        throw EQuavertError(Format(msg::EventLimit, static_cast<int>(EventLimit)));
      Dispatch(c);
    }
  } catch (const EQuavertError& e) {
    MessageLog::LogFormat(msg::ErrorWithLine, e.Message.c_str(), LineNo);
    Failed = true;
    ResultCode = crCompileError;
  }
}

void TMmlCompiler::BuildAndSave() {
  try {
    CloseOpenSlurs();
    TPtcopStream out, work;
    WriteProject(out, work);
    const std::string fileName = ApplyOutputExtension(OutputFileName);
    if (!platform::WriteFileReplacing(fileName, out.Data.data(), out.Data.size())) {
      MessageLog::LogFormat(msg::OutputFailed, fileName.c_str());
      ResultCode = crSaveError;
    } else if (!OptionSet(emoSuppressOutputNotice)) {
      MessageLog::LogFormat(msg::OutputWritten, fileName.c_str());
    }
  } catch (const EQuavertError& e) {
    MessageLog::LogLine(e.Message);
    ResultCode = crCompileError;
  }
}

int32_t TMmlCompiler::Run() {
  if (!OptionSet(emoSuppressBanner)) {
    const std::string rule(32, '=');
    MessageLog::LogLine(rule);
    MessageLog::LogFormat("  quavert Ver.%s", quavert::VersionText().c_str());
    MessageLog::LogLine("  MML to pxtone Collage compiler");
    MessageLog::LogLine(rule);
  }
  ReadConfiguration();
  MainLoop();
  if (!Failed) BuildAndSave();
  return ResultCode;
}

int32_t CompileMml(const char* outputFileName, const char* mmlText) {
  const uint32_t start = platform::MilliTimer();
  MessageLog::Clear();
  int32_t result;
  {
    TMmlCompiler compiler(outputFileName, mmlText, start);
    result = compiler.Run();
  }  // everything the compile made is released before the last line
  if (!OptionSet(emoSuppressElapsedTime))
    MessageLog::LogFormat(msg::ElapsedTime,
                          static_cast<double>(platform::MilliTimer() - start) * 0.001);
  return result;
}
