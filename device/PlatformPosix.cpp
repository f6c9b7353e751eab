#include <errno.h>
#include <iconv.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "Platform.h"

namespace {

// Length of the UTF-8 sequence that begins with lead, so an unconvertible character is skipped
// whole and becomes one '?'.
std::size_t Utf8SequenceLength(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

std::string Convert(std::string_view text, const char* to, const char* from, bool fromUtf8) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv: no Windows-1251 codec");
  std::string out;
  std::vector<char> chunk(4 * text.size() + 16);
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  while (inLeft > 0) {
    char* outPtr = chunk.data();
    std::size_t outLeft = chunk.size();
    std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    out.append(chunk.data(), static_cast<std::size_t>(outPtr - chunk.data()));
    if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
      std::size_t skip = fromUtf8 ? Utf8SequenceLength(static_cast<unsigned char>(*in)) : 1;
      if (skip > inLeft) skip = inLeft;
      in += skip;
      inLeft -= skip;
      out.push_back('?');
    }
  }
  iconv_close(cd);
  return out;
}

}  // namespace

std::string ExecutablePath() {
  std::vector<char> buffer(4096);
  ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (n <= 0 || static_cast<std::size_t>(n) >= buffer.size())
    throw std::runtime_error("the executable's path is unknown");
  return std::string(buffer.data(), static_cast<std::size_t>(n));
}

char PathSeparator() {
  return '/';
}

std::string UserDataFolder() {
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome != nullptr && dataHome[0] == '/') return std::string(dataHome) + "/kvz03/";
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] != '/') throw std::runtime_error("no home folder");
  return std::string(home) + "/.local/share/kvz03/";
}

bool ReplaceFileWith(const std::string& source, const std::string& target) {
  return std::rename(source.c_str(), target.c_str()) == 0;
}

std::string Cp1251ToUtf8(std::string_view text) {
  return Convert(text, "UTF-8", "CP1251", false);
}

std::string Utf8ToCp1251(std::string_view text) {
  return Convert(text, "CP1251", "UTF-8", true);
}
