#include <memory>

#include "message_log.h"
#include "messages.h"
#include "mml_compiler.h"
#include "platform.h"
#include "uException.h"

using quavert::Format;

namespace {

// Stores name as entry n of a name table that holds at most `limit` names.
void SetName(TMmlCompiler& compiler, std::vector<std::string>& table, int32_t limit,
             bool& hintPending, const char* hint, const std::string& name, int32_t n) {
  if (n >= limit) {
    if (hintPending) {
      hintPending = false;
      compiler.LogHint(true, hint, limit);
    }
    return;
  }
  if (n < 0) throw EQuavertError(Format(msg::ListIndex, n));
  if (table.size() <= static_cast<size_t>(n)) table.resize(static_cast<size_t>(n) + 1);
  table[static_cast<size_t>(n)] = name;
}

}  // namespace

void TMmlCompiler::SetVoiceName(const std::string& name, int32_t n) {
  SetName(*this, VoiceNames, VoiceNameLimit, VoiceNameHintPending, msg::VoiceNameLimit, name, n);
}

void TMmlCompiler::SetUnitName(const std::string& name, int32_t n) {
  SetName(*this, UnitNames, UnitNameLimit, UnitNameHintPending, msg::UnitNameLimit, name, n);
}

void TMmlCompiler::AssignVoice(const std::string& fileName, int32_t n) {
  // As written (absolute, or relative to the current folder), then each
  // voice search folder, then the library's own voice folder.
  std::string found;
  if (platform::FileExists(fileName)) {
    found = fileName;
  } else {
    for (const std::string& folder : VoiceSearchPaths) {
      if (platform::FileExists(folder + fileName)) {
        found = folder + fileName;
        break;
      }
    }
    if (found.empty() && platform::FileExists(LibraryDir + "voice/" + fileName))
      found = LibraryDir + "voice/" + fileName;
  }
  if (found.empty()) throw EQuavertError(Format(msg::FileNotFound, fileName.c_str()));
  if (n < 0) throw EQuavertError(Format(msg::ListIndex, n));
  // The project format holds at most 100 voices; a larger number would also
  // make one line allocate without bound.
  if (n >= VoiceLimit) throw EQuavertError(Format(msg::VoiceLimit, VoiceLimit));

  auto& slots = VoiceAssignments.Items;
  if (slots.size() <= static_cast<size_t>(n)) slots.resize(static_cast<size_t>(n) + 1);
  slots[static_cast<size_t>(n)] = std::make_unique<TPtcopAssignVoice>(
      TPtcopAssignVoice{found, VoiceBaseKey, VoiceCorrect, VoiceOptions});
}
