#include "support.h"

#include <gtest/gtest.h>
#include <dlfcn.h>
#include <iconv.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace qt {

std::string Sjis(const std::string& utf8) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    ADD_FAILURE() << "iconv cannot convert to CP932";
    return {};
  }
  std::string in = utf8;
  std::string out(in.size() * 2 + 4, '\0');
  char* inp = in.data();
  size_t inLeft = in.size();
  char* outp = out.data();
  size_t outLeft = out.size();
  if (iconv(cd, &inp, &inLeft, &outp, &outLeft) == static_cast<size_t>(-1))
    ADD_FAILURE() << "not convertible to CP932: " << utf8;
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
}

std::string Sjis(std::u8string_view utf8) { return Sjis(std::string(utf8.begin(), utf8.end())); }

std::string HintLine(const std::string& message, int line) {
  return Sjis(u8"[ヒント] ") + message + " (" + std::to_string(line) + Sjis(u8"行目)");
}

std::string ErrorLine(const std::string& message, int line) {
  return Sjis(u8"[エラー] ") + message + " (" + std::to_string(line) + Sjis(u8"行目)");
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << path;
}

bool PathExists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "quavert-test-XXXXXX").string();
  if (mkdtemp(tmpl.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
  path_ = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

namespace {

std::vector<std::string> SplitLog(const std::string& text) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) {
      ADD_FAILURE() << "log text not ended by CR LF";
      lines.push_back(text.substr(pos));
      break;
    }
    lines.push_back(text.substr(pos, end - pos));
    pos = end + 2;
  }
  return lines;
}

std::string FetchLog(void (*get)(char*, int32_t)) {
  std::vector<char> buffer(1 << 16);
  for (;;) {
    get(buffer.data(), static_cast<int32_t>(buffer.size() - 1));
    const size_t n = std::strlen(buffer.data());
    if (n < buffer.size() - 1) return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 4);
  }
}

}  // namespace

std::string Log() { return FetchLog(QuavertGetErrorMessage); }

std::vector<std::string> LogLines() { return SplitLog(Log()); }

LibraryCopy::LibraryCopy(const std::string& folder) {
  const std::string copy = folder + "/libquavertc.so";
  std::filesystem::copy_file(std::string(QUAVERT_BIN_DIR) + "/libquavertc.so", copy,
                             std::filesystem::copy_options::overwrite_existing);
  handle_ = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    ADD_FAILURE() << "dlopen: " << dlerror();
    return;
  }
  Compile = reinterpret_cast<int32_t (*)(const char*, const char*)>(dlsym(handle_, "QuavertCompile"));
  GetErrorMessage = reinterpret_cast<void (*)(char*, int32_t)>(dlsym(handle_, "QuavertGetErrorMessage"));
  GetVersionString = reinterpret_cast<void (*)(char*, int32_t)>(dlsym(handle_, "QuavertGetVersionString"));
  SetErrorMessageOptions =
      reinterpret_cast<void (*)(int32_t)>(dlsym(handle_, "QuavertSetErrorMessageOptions"));
  if (!Compile || !GetErrorMessage || !GetVersionString || !SetErrorMessageOptions)
    ADD_FAILURE() << "an export is missing from the library copy";
}

LibraryCopy::~LibraryCopy() {
  if (handle_ != nullptr) dlclose(handle_);
}

std::vector<std::string> LibraryCopy::LogLines() const { return SplitLog(FetchLog(GetErrorMessage)); }

namespace {

// With QUAVERT_SAVE_SOURCES set to a folder, every compiled text is kept
// there: the fuzzers' seed corpus is made of the tests' sources.
void SaveSource(const std::string& mml) {
  const char* folder = std::getenv("QUAVERT_SAVE_SOURCES");
  if (folder == nullptr || *folder == '\0') return;
  const size_t hash = std::hash<std::string>{}(mml);
  WriteFileBytes(std::string(folder) + "/" + std::to_string(hash) + ".mml", mml);
}

}  // namespace

Outcome Compile(const std::string& mml, int32_t options) {
  SaveSource(mml);
  TempDir dir;
  QuavertSetErrorMessageOptions(options);
  Outcome o;
  const std::string out = dir / "out.mml";
  o.result = QuavertCompile(out.c_str(), mml.c_str());
  o.lines = LogLines();
  const std::string file = dir / "out.ptcop";
  o.written = PathExists(file);
  if (o.written) o.file = ReadFileBytes(file);
  return o;
}

std::ostream& operator<<(std::ostream& os, const Event& e) {
  return os << "{" << e.clock << ", u" << e.unit << ", k" << e.kind << ", " << e.value << "}";
}

int32_t Int32At(const std::string& b, size_t at) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<uint8_t>(b.at(at + i))) << (8 * i);
  return static_cast<int32_t>(v);
}

float FloatAt(const std::string& b, size_t at) {
  const int32_t bits = Int32At(b, at);
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

std::string Le32(int32_t v) {
  const uint32_t u = static_cast<uint32_t>(v);
  return std::string{static_cast<char>(u), static_cast<char>(u >> 8), static_cast<char>(u >> 16),
                     static_cast<char>(u >> 24)};
}

std::string Le16(int v) { return std::string{static_cast<char>(v), static_cast<char>(v >> 8)}; }

std::string LeFloat(float v) {
  int32_t bits;
  std::memcpy(&bits, &v, 4);
  return Le32(bits);
}

const Chunk* Project::Find(const std::string& tag, size_t nth) const {
  for (const Chunk& c : chunks)
    if (c.tag == tag && nth-- == 0) return &c;
  return nullptr;
}

size_t Project::CountOf(const std::string& tag) const {
  size_t n = 0;
  for (const Chunk& c : chunks) n += c.tag == tag;
  return n;
}

namespace {

// Reads a variable-length value of up to five 7-bit groups.
int32_t ReadVar(const std::string& b, size_t& pos) {
  uint32_t v = 0;
  for (int shift = 0; shift < 35; shift += 7) {
    const uint8_t byte = static_cast<uint8_t>(b.at(pos++));
    v |= static_cast<uint32_t>(byte & 0x7F) << shift;
    if ((byte & 0x80) == 0) return static_cast<int32_t>(v);
  }
  ADD_FAILURE() << "variable-length value longer than five bytes";
  return static_cast<int32_t>(v);
}

}  // namespace

Project ParseProject(const std::string& b) {
  Project p;
  if (b.size() < 20) {
    ADD_FAILURE() << "project too short: " << b.size();
    return p;
  }
  p.signature = b.substr(0, 16);
  p.version = Int32At(b, 16);
  size_t pos = 20;
  while (pos < b.size()) {
    if (pos + 12 > b.size()) {
      ADD_FAILURE() << "truncated chunk header at " << pos;
      return p;
    }
    Chunk c;
    c.tag = b.substr(pos, 8);
    c.size = Int32At(b, pos + 8);
    pos += 12;
    if (c.tag == "Event V5") {
      const size_t start = pos;
      const int32_t count = Int32At(b, pos);
      pos += 4;
      uint32_t clock = 0;
      for (int32_t i = 0; i < count; ++i) {
        clock += static_cast<uint32_t>(ReadVar(b, pos));
        Event e{};
        e.clock = static_cast<int32_t>(clock);
        e.unit = static_cast<uint8_t>(b.at(pos++));
        e.kind = static_cast<uint8_t>(b.at(pos++));
        e.value = ReadVar(b, pos);
        p.events.push_back(e);
      }
      c.body = b.substr(start, pos - start);
    } else {
      if (c.size < 0 || pos + static_cast<size_t>(c.size) > b.size()) {
        ADD_FAILURE() << "chunk " << c.tag << " overruns the file";
        return p;
      }
      c.body = b.substr(pos, static_cast<size_t>(c.size));
      pos += static_cast<size_t>(c.size);
    }
    p.chunks.push_back(c);
    if (c.tag == "pxtoneND") {
      EXPECT_EQ(pos, b.size()) << "bytes after the end chunk";
      break;
    }
  }
  return p;
}

Project Clean(const std::string& mml) {
  const Outcome o = Compile(mml);
  EXPECT_EQ(o.result, crOk) << mml;
  EXPECT_TRUE(o.lines.empty()) << mml << "\n" << (o.lines.empty() ? "" : o.lines[0]);
  return o.written ? ParseProject(o.file) : Project{};
}

void ExpectError(const std::string& mml, const std::string& message, int line) {
  SCOPED_TRACE(mml);
  const Outcome o = Compile(mml);
  EXPECT_EQ(o.result, crCompileError);
  EXPECT_FALSE(o.written);
  EXPECT_EQ(o.lines, std::vector<std::string>{ErrorLine(message, line)});
}

void ExpectEvents(const std::vector<EventCase>& cases) {
  for (const EventCase& c : cases) {
    SCOPED_TRACE("mml: " + c.mml.substr(0, 80));
    const Outcome o = Compile(c.mml);
    EXPECT_EQ(o.result, crOk);
    EXPECT_EQ(o.lines, c.lines);
    ASSERT_TRUE(o.written);
    EXPECT_EQ(ParseProject(o.file).events, c.events);
  }
}

void ExpectErrors(const std::vector<ErrorCase>& cases) {
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE("mml: " + c.mml.substr(0, 80));
    const Outcome o = Compile(c.mml);
    EXPECT_EQ(o.result, crCompileError);
    EXPECT_EQ(o.lines, std::vector<std::string>{c.line});
    EXPECT_FALSE(o.written);
  }
}

}  // namespace qt
