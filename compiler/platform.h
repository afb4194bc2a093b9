// The few calls that depend on the operating system. Porting quavert means
// rewriting platform.cpp alone.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Full path of the library's own file, or empty when it cannot be told.
std::string LibraryPath();

// Folder part of a path, ending with the separator ("" when there is none).
std::string FolderOf(const std::string& path);

// Whether the path is absolute on this platform.
bool IsAbsolutePath(const std::string& path);

// Milliseconds from an arbitrary origin; wraps at 2^32.
uint32_t MilliTimer();

// Existence tests; links are followed. A folder is not a file.
bool DirectoryExists(const std::string& path);
bool FileExists(const std::string& path);

// Reads the whole of a regular file into out, unless it holds more than
// maxSize bytes; out is left alone unless the result is Ok.
enum class ReadResult { Ok, Failed, TooLarge };
ReadResult ReadWholeFile(const std::string& path, std::string& out, uint64_t maxSize = UINT64_MAX);

// Replaces the file with the given bytes atomically: the bytes go to a
// temporary file in the same folder, which is then renamed over the target.
// On failure the target is untouched and no temporary file is left.
bool WriteFileReplacing(const std::string& path, const void* data, size_t size);

// Memory for the few large buffers of a compile (events, output): mapped
// directly, with transparent huge pages where the system offers them, so that
// filling them costs few page faults. Throws std::bad_alloc on failure.
void* AllocateLarge(size_t bytes);
void FreeLarge(void* block, size_t bytes);

}  // namespace platform
