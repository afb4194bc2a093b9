#include "platform.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

namespace platform {

namespace {
void Anchor() {}
}  // namespace

std::string LibraryPath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&Anchor), &info) == 0 || info.dli_fname == nullptr) return {};
  std::string path = info.dli_fname;
  if (char* resolved = realpath(path.c_str(), nullptr)) {
    path = resolved;
    free(resolved);
  }
  return path;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool IsAbsolutePath(const std::string& path) { return !path.empty() && path[0] == '/'; }

uint32_t MilliTimer() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000u +
                               static_cast<uint64_t>(ts.tv_nsec) / 1000000u);
}

bool DirectoryExists(const std::string& path) {
  struct stat st{};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Only regular files count: a device such as /dev/zero would never end, and
// opening a FIFO would wait for a writer.
bool FileExists(const std::string& path) {
  struct stat st{};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

ReadResult ReadWholeFile(const std::string& path, std::string& out, uint64_t maxSize) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return ReadResult::Failed;
  struct stat st{};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return ReadResult::Failed;
  }
  if (static_cast<uint64_t>(st.st_size) > maxSize) {
    close(fd);
    return ReadResult::TooLarge;
  }
  std::string data;
  data.reserve(static_cast<size_t>(st.st_size));
  char chunk[65536];
  for (;;) {
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      close(fd);
      return ReadResult::Failed;
    }
    if (n == 0) break;
    if (data.size() + static_cast<size_t>(n) > maxSize) {  // it grew while read
      close(fd);
      return ReadResult::TooLarge;
    }
    data.append(chunk, static_cast<size_t>(n));
  }
  close(fd);
  out.swap(data);
  return ReadResult::Ok;
}

namespace {

bool WriteAll(int fd, const char* p, size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

mode_t NewFileMode(const std::string& path) {
  struct stat st{};
  if (stat(path.c_str(), &st) == 0) return st.st_mode & 07777;
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

}  // namespace

bool WriteFileReplacing(const std::string& path, const void* data, size_t size) {
  if (path.empty() || path.back() == '/') return false;
  // A short name of its own, so that a target name near the length limit
  // still has room for its temporary beside it.
  const std::string folder = FolderOf(path);
  std::vector<char> temp(folder.begin(), folder.end());
  static const char kName[] = ".quavert-XXXXXX";
  temp.insert(temp.end(), kName, kName + sizeof kName);  // with its NUL
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, static_cast<const char*>(data), size);
  ok = fchmod(fd, NewFileMode(path)) == 0 && ok;
  ok = close(fd) == 0 && ok;
  ok = ok && rename(temp.data(), path.c_str()) == 0;
  if (!ok) unlink(temp.data());
  return ok;
}

void* AllocateLarge(size_t bytes) {
  void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (block == MAP_FAILED) throw std::bad_alloc();
  madvise(block, bytes, MADV_HUGEPAGE);  // a hint; refused where not supported
  return block;
}

void FreeLarge(void* block, size_t bytes) { munmap(block, bytes); }

}  // namespace platform
