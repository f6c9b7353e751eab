#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// The program's files: plain text in Windows-1251, one entry per line, lines ended by CR LF.
// Entries in memory are UTF-8.

class TFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A UTF-8 file name as the file system takes it, on every system.
std::filesystem::path FilePath(const std::string& fileName);
bool FileExists(const std::string& fileName);
// Removes the file; false when it could not be removed (a missing file included).
bool RemoveFile(const std::string& fileName);
// Accepts CR LF, LF or CR line ends. Throws TFileError when the file cannot be read.
std::vector<std::string> ReadTextLines(const std::string& fileName);
// The same for a file that is known to be short: nothing for a file longer than maxBytes, which is
// not read much further.
std::optional<std::vector<std::string>> ReadShortTextLines(const std::string& fileName,
                                                           std::size_t maxBytes);
// Replaces the file in one step (WriteFileAtomically), so a crash or a full disk never leaves a
// truncated file. Throws TFileError when it cannot be written.
void WriteTextLines(const std::string& fileName, const std::vector<std::string>& lines);
