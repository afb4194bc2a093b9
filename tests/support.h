// Helpers shared by the tests: code page 932 texts, temporary folders,
// compiling through the exports, and reading project files back.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "quavert.h"

namespace qt {

// The code page 932 bytes of a UTF-8 text, converted by iconv: an
// independent check of the library's own message bytes.
std::string Sjis(const std::string& utf8);
std::string Sjis(std::u8string_view utf8);

// "[ヒント] message (n行目)" and "[エラー] message (n行目)", message in code page 932.
std::string HintLine(const std::string& message, int line);
std::string ErrorLine(const std::string& message, int line);

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool PathExists(const std::string& path);

// A fresh folder, removed with everything in it at the end of the scope.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The whole message log of the last compile.
std::string Log();
// The log cut into its lines (CR LF removed).
std::vector<std::string> LogLines();

struct Outcome {
  int32_t result = -1;
  std::vector<std::string> lines;  // the log, one entry a line
  std::string file;                // bytes of the written project, "" if none
  bool written = false;
};

// Compiles mml into out.ptcop of a fresh folder with the given options
// (by default every suppressible line is left out).
Outcome Compile(const std::string& mml, int32_t options = 15);

struct Event {
  int32_t clock;
  int unit;
  int kind;
  int32_t value;
  bool operator==(const Event&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Event& e);

using Events = std::vector<Event>;

struct Chunk {
  std::string tag;
  int32_t size;
  std::string body;
};

// A project file read back: its version word, chunks and decoded events.
struct Project {
  std::string signature;
  int32_t version = 0;
  std::vector<Chunk> chunks;
  std::vector<Event> events;  // absolute clocks
  const Chunk* Find(const std::string& tag, size_t nth = 0) const;
  size_t CountOf(const std::string& tag) const;
};
// Parses a project image; fails the running test on a malformed file.
Project ParseProject(const std::string& bytes);

// Compiles mml expecting success without a log line; the project read back.
Project Clean(const std::string& mml);
// Compiles mml expecting exactly the one error line, and no file.
void ExpectError(const std::string& mml, const std::string& message, int line = 1);

// A source that compiles, with its decoded events and its log lines.
struct EventCase {
  std::string mml;
  Events events;
  std::vector<std::string> lines = {};
};
void ExpectEvents(const std::vector<EventCase>& cases);

// A source that fails, with its one log line.
struct ErrorCase {
  std::string mml;
  std::string line;
};
void ExpectErrors(const std::vector<ErrorCase>& cases);

int32_t Int32At(const std::string& bytes, size_t at);
float FloatAt(const std::string& bytes, size_t at);
std::string Le32(int32_t v);
std::string Le16(int v);
std::string LeFloat(float v);

// A private copy of the library in a folder of its own, loaded beside the
// linked one: its configuration file and voice folder are the test's alone.
class LibraryCopy {
 public:
  explicit LibraryCopy(const std::string& folder);  // copies libquavertc.so into folder
  ~LibraryCopy();
  LibraryCopy(const LibraryCopy&) = delete;
  LibraryCopy& operator=(const LibraryCopy&) = delete;

  int32_t (*Compile)(const char*, const char*) = nullptr;
  void (*GetErrorMessage)(char*, int32_t) = nullptr;
  void (*GetVersionString)(char*, int32_t) = nullptr;
  void (*SetErrorMessageOptions)(int32_t) = nullptr;

  std::vector<std::string> LogLines() const;

 private:
  void* handle_ = nullptr;
};

}  // namespace qt
