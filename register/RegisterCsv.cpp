#include "register/RegisterCsv.h"

#include <string_view>

#include "base/Platform.h"
#include "base/TextFile.h"

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kLineEnd = "\r\n";
constexpr char kSeparator = ';';
// Rows gather into pieces of about this size before they are written.
constexpr std::size_t kWriteChunk = 64 * 1024;

const char* const kCaptions[] = {
    "Номер",
    "Дата",
    "Место проведения измерений",
    "Измерения проводил",
    "Изделие",
    "Материал",
    "Сдатчик",
    "Документ",
    "Серия и номер",
    "Результат",
    "U1, мВ",
    "U2, мВ",
    "Режим",
    "Заключение",
};

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

void AppendField(std::string& line, std::string_view field) {
  const bool quoted = field.find_first_of(";\"\r\n") != std::string_view::npos ||
                      (!field.empty() && (IsBlank(field.front()) || IsBlank(field.back())));
  if (!quoted) {
    line += field;
    return;
  }
  line += '"';
  for (const char c : field) {
    if (c == '"') line += '"';
    line += c;
  }
  line += '"';
}

// A typed text that a spreadsheet would take for a formula (=, +, - or @ first, blanks before
// them included, or a tab or line break, which some spreadsheets strip before looking) gets an
// apostrophe in front: the cell then holds text, and the typed characters all stay.
std::string NoFormula(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return text;
  const std::string_view starters = "=+-@\t\r\n";
  return starters.find(text[first]) == std::string_view::npos ? text : "'" + text;
}

void EndLine(std::string& bytes, std::string& line) {
  line.pop_back();  // the separator after the last field
  bytes += line;
  bytes += kLineEnd;
  line.clear();
}

void AppendCaptions(std::string& bytes) {
  std::string line;
  for (const char* caption : kCaptions) {
    AppendField(line, caption);
    line += kSeparator;
  }
  EndLine(bytes, line);
}

void AppendRow(std::string& bytes, const TProtocolRecord& row, const TModeName& modeName) {
  // Numbers stay numbers; every typed or stored text is guarded.
  const std::string fields[] = {
      std::to_string(row.number),    ShownDateTime(row.madeAt), NoFormula(row.place),
      NoFormula(row.operatorName),   NoFormula(row.item),       NoFormula(row.material),
      NoFormula(row.client),         NoFormula(row.document),   NoFormula(row.documentNo),
      NoFormula(row.resultText),     std::to_string(row.u1),    std::to_string(row.u2),
      NoFormula(modeName(row.mode)), NoFormula(row.verdict),
  };
  std::string line;
  for (const std::string& field : fields) {
    AppendField(line, field);
    line += kSeparator;
  }
  EndLine(bytes, line);
}

}  // namespace

std::string ShownDateTime(const std::string& madeAt) {
  // 2026-12-08T10:15:30
  constexpr std::string_view kPattern = "dddd-dd-ddTdd:dd:dd";
  if (madeAt.size() != kPattern.size()) return madeAt;
  for (std::size_t i = 0; i < kPattern.size(); ++i) {
    const bool digit = madeAt[i] >= '0' && madeAt[i] <= '9';
    if (kPattern[i] == 'd' ? !digit : madeAt[i] != kPattern[i]) return madeAt;
  }
  return madeAt.substr(8, 2) + '.' + madeAt.substr(5, 2) + '.' + madeAt.substr(0, 4) + ' ' +
         madeAt.substr(11, 5);
}

void WriteRegisterCsv(const std::string& fileName, const TRegisterRows& rows,
                      const TModeName& modeName) {
  const bool written = WriteFileAtomically(fileName, [&](const TWriteBytes& write) {
    std::string bytes(kByteOrderMark);
    AppendCaptions(bytes);
    bool ok = true;
    rows([&](const TProtocolRecord& row) {
      AppendRow(bytes, row, modeName);
      if (bytes.size() < kWriteChunk) return true;
      ok = write(bytes);
      bytes.clear();
      return ok;
    });
    return ok && write(bytes);
  });
  if (!written) throw TFileError("Не удалось записать файл \"" + fileName + "\"");
}
