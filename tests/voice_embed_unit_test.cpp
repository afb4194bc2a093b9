// The voice section when a voice file vanishes between its assignment and
// the writing of the project: nothing is written for it, and the name
// chunks that follow keep counting without a gap.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "mml_compiler.h"

namespace {

std::string Le32(int32_t v) {
  const uint32_t u = static_cast<uint32_t>(v);
  return std::string{static_cast<char>(u), static_cast<char>(u >> 8), static_cast<char>(u >> 16),
                     static_cast<char>(u >> 24)};
}

std::string ChunkBytes(const std::string& tag, const std::string& body) {
  return tag + Le32(static_cast<int32_t>(body.size())) + body;
}

std::string NameChunk(int32_t index, const std::string& name) {
  std::string field = name.substr(0, 16);
  field.resize(16, '\0');
  return ChunkBytes("assiWOIC", Le32(index) + field);
}

std::string PtvoiceChunk(const std::string& file) {
  return ChunkBytes("matePTV ",
                    std::string(8, '\0') + Le32(static_cast<int32_t>(file.size())) + file);
}

std::string EmptySlotChunk() {
  const std::string builtIn = "PTVOICE-" + Le32(20060111) + Le32(12) +
                              std::string("\x00\x00\x00\x01\x00\x00\x40\x00\x03\x01\x01\x00", 12);
  return PtvoiceChunk(builtIn);
}

class Folder {
 public:
  Folder() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "quavert-unit-XXXXXX").string();
    if (mkdtemp(tmpl.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
    path_ = tmpl;
  }
  ~Folder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string Write(const std::string& name, const std::string& bytes) const {
    const std::string path = path_ + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

void Assign(TMmlCompiler& c, size_t slot, const std::string& path) {
  auto& slots = c.VoiceAssignments.Items;
  if (slots.size() <= slot) slots.resize(slot + 1);
  slots[slot] = std::make_unique<TPtcopAssignVoice>(TPtcopAssignVoice{path, 69, 1.0f, 2});
}

TEST(VoiceEmbedUnit, VanishedVoiceFileWritesNothingAndLeavesNoGap) {
  Folder dir;
  const std::string a = "PTVOICE-" + Le32(20060111) + "aaaa";
  const std::string b = "PTVOICE-" + Le32(20060111) + "bbbbbb";
  TMmlCompiler compiler("out.mml", "", 0);
  Assign(compiler, 0, dir.Write("a.ptvoice", a));
  Assign(compiler, 1, dir / "gone.ptvoice");  // never written: missing at writing time
  // slot 2 stays empty
  Assign(compiler, 3, dir.Write("b.ptvoice", b));
  Assign(compiler, 4, dir / "gone-too.ptvoice");
  // names go by voice number: the vanished voice's name is not used
  compiler.VoiceNames = {"", "Ghost", "", "Bee"};

  TPtcopStream out, work;
  compiler.WriteVoiceSection(out, work);
  EXPECT_EQ(out.Data, PtvoiceChunk(a) + NameChunk(0, "a") + EmptySlotChunk() +
                          NameChunk(1, "----------------") + PtvoiceChunk(b) + NameChunk(2, "Bee"));
}

TEST(VoiceEmbedUnit, OnlyVanishedVoicesWriteAnEmptySection) {
  Folder dir;
  TMmlCompiler compiler("out.mml", "", 0);
  Assign(compiler, 0, dir / "gone.ptvoice");
  Assign(compiler, 1, dir / "gone.wav");
  TPtcopStream out, work;
  compiler.WriteVoiceSection(out, work);
  EXPECT_EQ(out.Data, "");
}

}  // namespace
