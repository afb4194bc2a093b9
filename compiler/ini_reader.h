// A small reader for the configuration file's INI format.
#pragma once

#include <string>

// The value of key in section, or "" when either is missing. Section and key
// names compare without letter case; names and values are trimmed; lines
// starting with ';' are comments; a value in double quotes loses them.
std::string ReadIniValue(const std::string& content, const std::string& section,
                         const std::string& key);
