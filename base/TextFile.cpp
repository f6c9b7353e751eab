#include "base/TextFile.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "base/Platform.h"

std::filesystem::path FilePath(const std::string& fileName) {
  return std::filesystem::path(std::u8string(fileName.begin(), fileName.end()));
}

bool FileExists(const std::string& fileName) {
  std::error_code ec;
  return std::filesystem::is_regular_file(FilePath(fileName), ec);
}

bool RemoveFile(const std::string& fileName) {
  std::error_code ec;
  return std::filesystem::remove(FilePath(fileName), ec);
}

namespace {

// At most a little more than limit bytes, so a file longer than limit is told without reading it.
std::string ReadBytes(const std::string& fileName, std::size_t limit) {
  std::ifstream in(FilePath(fileName), std::ios::binary);
  if (!in) throw TFileError("Не удалось открыть файл \"" + fileName + "\"");
  std::string bytes;
  std::vector<char> chunk(64 * 1024);
  while (bytes.size() <= limit && in) {
    in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    bytes.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
  }
  if (in.bad()) throw TFileError("Не удалось прочитать файл \"" + fileName + "\"");
  return bytes;
}

// text is already UTF-8: decoding the whole file at once leaves its line ends as they were.
std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

}  // namespace

std::vector<std::string> ReadTextLines(const std::string& fileName) {
  return SplitLines(Cp1251ToUtf8(ReadBytes(fileName, std::string().max_size())));
}

std::optional<std::vector<std::string>> ReadShortTextLines(const std::string& fileName,
                                                           std::size_t maxBytes) {
  const std::string bytes = ReadBytes(fileName, maxBytes);
  if (bytes.size() > maxBytes) return std::nullopt;
  return SplitLines(Cp1251ToUtf8(bytes));
}

void WriteTextLines(const std::string& fileName, const std::vector<std::string>& lines) {
  std::string bytes;
  for (const std::string& line : lines) bytes += Utf8ToCp1251(line) + "\r\n";
  if (!WriteFileAtomically(fileName, bytes))
    throw TFileError("Не удалось записать файл \"" + fileName + "\"");
}
