// The console program run as a process: its arguments, what it prints,
// the project it writes, its exit status and the wait for Enter.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "support.h"

using namespace qt;

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;


const std::string kPressEnter = Sjis(u8"終了するには Enter キーを決定してください。") + "\n";

std::string OpenError(const std::string& name) {
  return Sjis(u8"[エラー] ファイル ") + name + Sjis(u8" は開けません") + "\n";
}

struct Ran {
  std::string out;   // everything written to standard output
  int status = -1;   // exit status
  int waits = 0;     // times the program was seen blocked reading standard input
};

// Whether the process is blocked reading its standard input (and has read
// everything sent so far). Deterministic: the kernel reports the system call
// a sleeping process is in.
bool BlockedOnStdin(pid_t pid, int stdinRead) {
  int pending = 0;
  if (ioctl(stdinRead, FIONREAD, &pending) != 0 || pending != 0) return false;
  std::ifstream sys("/proc/" + std::to_string(pid) + "/syscall");
  std::string text;
  if (std::getline(sys, text)) return text.rfind(std::to_string(SYS_read) + " 0x0 ", 0) == 0;
  // Without that file: asleep with the input drained.
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::getline(stat, text);
  const size_t close = text.rfind(')');
  return close != std::string::npos && close + 2 < text.size() && text[close + 2] == 'S';
}

// Runs quavert in folder cwd. Standard input is a pipe, closed at once when
// closeStdin is set; otherwise each time the program blocks reading it the
// next answer is written, and once they are used up the pipe is closed.
Ran RunQuavert(const std::vector<std::string>& args, const std::string& cwd, bool closeStdin = false,
               const std::vector<std::string>& answers = {}) {
  Ran r;
  const std::string program = std::string(QUAVERT_BIN_DIR) + "/quavert";
  std::vector<std::string> argStore = {program};
  argStore.insert(argStore.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argStore) argv.push_back(a.data());
  argv.push_back(nullptr);

  int in[2], out[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "pipe";
    return r;
  }
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(cwd.c_str()) != 0 || dup2(in[0], 0) < 0 || dup2(out[1], 1) < 0) _exit(126);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(out[1]);
  int stdinWrite = in[1];
  if (closeStdin) {
    close(stdinWrite);
    stdinWrite = -1;
  }
  fcntl(out[0], F_SETFL, O_NONBLOCK);
  size_t answered = 0;
  auto drain = [&] {
    char chunk[4096];
    ssize_t n;
    while ((n = read(out[0], chunk, sizeof chunk)) > 0) r.out.append(chunk, static_cast<size_t>(n));
  };
  int wstatus = 0;
  for (int round = 0;; ++round) {
    drain();
    if (waitpid(pid, &wstatus, WNOHANG) == pid) break;
    if (stdinWrite >= 0 && BlockedOnStdin(pid, in[0])) {
      ++r.waits;
      if (answered < answers.size()) {
        const std::string& a = answers[answered++];
        EXPECT_EQ(write(stdinWrite, a.data(), a.size()), static_cast<ssize_t>(a.size()));
      } else {
        close(stdinWrite);
        stdinWrite = -1;
      }
    }
    if (round > 60000) {  // a program that never ends: stop it and fail
      kill(pid, SIGKILL);
      waitpid(pid, &wstatus, 0);
      ADD_FAILURE() << "quavert did not end";
      break;
    }
    usleep(1000);
  }
  fcntl(out[0], F_SETFL, 0);
  drain();
  close(out[0]);
  close(in[0]);
  if (stdinWrite >= 0) close(stdinWrite);
  r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  return r;
}

bool IsElapsedLine(const std::string& line) {
  const std::string head = Sjis(u8"コンパイルが"), tail = Sjis(u8"秒で完了しました。");
  return line.size() > head.size() + tail.size() && line.compare(0, head.size(), head) == 0 &&
         line.compare(line.size() - tail.size(), tail.size(), tail) == 0 &&
         std::regex_match(line.substr(head.size(), line.size() - head.size() - tail.size()),
                          std::regex("[0-9]+\\.[0-9]{2}"));
}

// The log lines of a program's output, checked to be the whole log (lines
// ended by CR LF, then the program's own line break) ending with the elapsed
// time; the elapsed line itself is left out.
Lines LogOf(std::string out) {
  if (out.size() < 3 || out.compare(out.size() - 3, 3, "\r\n\n") != 0) {
    ADD_FAILURE() << "output does not end with the log's CR LF and a line break: "
                  << testing::PrintToString(out);
    return {};
  }
  out.resize(out.size() - 3);
  Lines lines;
  for (size_t pos = 0;;) {
    const size_t end = out.find("\r\n", pos);
    lines.push_back(out.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
    if (end == std::string::npos) break;
    pos = end + 2;
  }
  EXPECT_TRUE(IsElapsedLine(lines.back())) << lines.back();
  lines.pop_back();
  return lines;
}

// The banner as the library writes it.
Lines Banner() {
  TempDir dir;
  QuavertSetErrorMessageOptions(0);
  QuavertCompile((dir / "a.mml").c_str(), "");
  Lines lines = LogLines();
  lines.resize(4);
  EXPECT_EQ(lines[1], "  quavert Ver.0.9.6");
  return lines;
}

Lines Plus(Lines a, const Lines& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::string Written(const std::string& name) { return name + Sjis(u8" に出力しました。"); }

TEST(Frontend, UsageForAWrongNumberOfArguments) {
  TempDir dir;
  const std::string usage = Sjis(u8"[使い方]\n  quavert [-s] (MMLファイル名)\n"
                              u8"  -s: エラーがある場合に、キー入力を待ちます。\n");
  for (const Lines& args : {Lines{}, Lines{"a.mml", "b", "c"}, Lines{"-s", "a.mml", "c"}}) {
    SCOPED_TRACE(testing::PrintToString(args));
    const Ran r = RunQuavert(args, dir.Path());
    EXPECT_EQ(r.out, usage);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.waits, 0);
  }
}

TEST(Frontend, ArgumentsAndFileErrors) {
  TempDir dir;
  WriteFileBytes(dir / "song.mml", "c");
  const Lines compiled = Plus(Banner(), {Written("song.ptcop")});
  struct Case {
    Lines args;
    std::string out;  // exact output; empty: the log of compiling song.mml
    int status;
  };
  const std::vector<Case> cases = {
      {{"-x", "song.mml"}, Sjis(u8"オプション -x は存在しません。\n"), 1},
      {{"-S", "song.mml"}, Sjis(u8"オプション -S は存在しません。\n"), 1},
      {{"-xs", "song.mml"}, Sjis(u8"オプション -x は存在しません。\n"), 1},
      {{"-x"}, Sjis(u8"オプション -x は存在しません。\n"), 1},
      {{"-s"}, OpenError(""), 1},  // no file name: the empty name cannot be opened
      {{"-"}, OpenError(""), 1},
      {{"missing.mml"}, OpenError("missing.mml"), 1},
      {{"-s", "missing.mml"}, OpenError("missing.mml"), 1},
      {{"."}, OpenError("."), 1},  // a folder
      {{"song.mml"}, "", 0},
      {{"song.mml", "ignored.mml"}, "", 0},
      {{"-", "song.mml"}, "", 0},
      {{"-s", "song.mml"}, "", 0},
      {{"-sx", "song.mml"}, "", 0},  // only the letter after "-" counts
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    const Ran r = RunQuavert(c.args, dir.Path());
    if (c.out.empty())
      EXPECT_EQ(LogOf(r.out), compiled);
    else
      EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.waits, 0);
    EXPECT_EQ(PathExists(dir / "song.ptcop"), c.status == 0);  // nothing compiled on a failure
    fs::remove(dir / "song.ptcop");
  }
}

TEST(Frontend, WaitsForALineOnlyAfterAFailedCompileWithS) {
  TempDir dir;
  WriteFileBytes(dir / "bad.mml", "!\n]");
  const std::string log = Sjis(u8"[ヒント] \"!\" を解釈できません。 (1行目)");
  const Lines failed = Plus(Banner(), {log, Sjis(u8"[エラー] 繰り返しネストがもうありません。 (2行目)")});

  // The program reads a whole line: a partial line keeps it waiting.
  Ran r = RunQuavert({"-s", "bad.mml"}, dir.Path(), false, {"abc", "\n"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.waits, 2);
  ASSERT_GT(r.out.size(), kPressEnter.size());
  EXPECT_EQ(r.out.substr(r.out.size() - kPressEnter.size()), kPressEnter);
  EXPECT_EQ(LogOf(r.out.substr(0, r.out.size() - kPressEnter.size())), failed);

  // A closed input ends the wait at once.
  r = RunQuavert({"-s", "bad.mml"}, dir.Path(), true);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out.substr(r.out.size() - kPressEnter.size()), kPressEnter);

  // Without "-s" a failed compile does not wait.
  for (const Lines& args : {Lines{"bad.mml"}, Lines{"-", "bad.mml"}}) {
    SCOPED_TRACE(testing::PrintToString(args));
    r = RunQuavert(args, dir.Path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.waits, 0);
    EXPECT_EQ(LogOf(r.out), failed);
  }
  EXPECT_FALSE(PathExists(dir / "bad.ptcop"));
}

TEST(Frontend, ExitStatusOfASaveError) {
  TempDir dir;
  WriteFileBytes(dir / "song.mml", "c");
  fs::create_directory(dir / "song.ptcop");  // in the way of the project file
  const Ran r = RunQuavert({"-s", "song.mml"}, dir.Path(), false, {"\n"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.waits, 1);
  EXPECT_EQ(LogOf(r.out.substr(0, r.out.size() - kPressEnter.size())),
            Plus(Banner(), {"song.ptcop" + Sjis(u8" に出力できません。")}));
}

TEST(Frontend, LineEndsOfTheFileDoNotMatter) {
  // Each source is the same text once its lines are re-joined with CR LF.
  const std::vector<std::string> sources = {
      "c d\r\n#title abc\r\n", "c d\n#title abc", "c d\n#title abc\n", "c d\r#title abc\r",
      "c d\r#title abc",       "c d\n#title abc\n" + std::string(1, '\0') + "]]] e",
  };
  const Lines expected = Plus(Banner(), {"title=abc", Written("song.ptcop")});
  std::string first;
  for (const std::string& source : sources) {
    SCOPED_TRACE(testing::PrintToString(source));
    TempDir dir;
    WriteFileBytes(dir / "song.mml", source);
    const Ran r = RunQuavert({"song.mml"}, dir.Path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(LogOf(r.out), expected);
    const std::string file = ReadFileBytes(dir / "song.ptcop");
    if (first.empty()) first = file;
    EXPECT_EQ(file, first);
  }
  EXPECT_EQ(first, Compile("c d\r\n#title abc\r\n").file);
  // An empty file is the empty source.
  TempDir dir;
  WriteFileBytes(dir / "empty.mml", "");
  EXPECT_EQ(RunQuavert({"empty.mml"}, dir.Path()).status, 0);
  EXPECT_EQ(ReadFileBytes(dir / "empty.ptcop"), Compile("").file);
}

TEST(Frontend, OutputNames) {
  const std::string hyo = "\x95\x5C";  // 表: its second byte is a backslash
  struct Case {
    std::string file, written;
  };
  const Case cases[] = {
      {hyo + ".mml", hyo + ".ptcop"},
      {hyo, hyo + ".ptcop"},
      {"a" + hyo + ".b.mml", "a" + hyo + ".b.ptcop"},
      {"dir.x/song", "dir.x/song.ptcop"},
      {"dir.x/song.mml", "dir.x/song.ptcop"},
      {"song.txt", "song.ptcop"},
      {".mml", ".mml.ptcop"},  // a point that starts a name is no extension
      {"dir.x/.mml", "dir.x/.mml.ptcop"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    TempDir dir;
    fs::create_directory(dir / "dir.x");
    WriteFileBytes(dir / c.file, "c");
    const Ran r = RunQuavert({c.file}, dir.Path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(LogOf(r.out), Plus(Banner(), {Written(c.written)}));
    EXPECT_TRUE(PathExists(dir / c.written));
    // Nothing else was written.
    size_t entries = 0;
    for (const auto& e : fs::recursive_directory_iterator(dir.Path())) entries += e.is_regular_file();
    EXPECT_EQ(entries, 2u);
  }
}

TEST(Frontend, PrintsALongLogWhole) {
  TempDir dir;
  WriteFileBytes(dir / "long.mml", std::string(200, '!'));
  const Ran r = RunQuavert({"long.mml"}, dir.Path());
  EXPECT_EQ(r.status, 0);
  EXPECT_GT(r.out.size(), 4000u);
  const Lines expected =
      Plus(Plus(Banner(), Lines(200, Sjis(u8"[ヒント] \"!\" を解釈できません。 (1行目)"))), {Written("long.ptcop")});
  EXPECT_EQ(LogOf(r.out), expected);
}

}  // namespace
