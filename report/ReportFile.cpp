#include "report/ReportFile.h"

#include <QDir>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/TextFile.h"
#include "report/ReportError.h"

namespace {

const QString kHeader = "[KVZ-03 report 1]";
const QString kTitleKey = "Title";
const QString kFieldPrefix = "Field.";

QString Escape(const QString& text) {
  QString escaped;
  escaped.reserve(text.size());
  for (const QChar c : text) {
    if (c == '\\')
      escaped += "\\\\";
    else if (c == '\n')
      escaped += "\\n";
    else if (c == '\r')
      escaped += "\\r";
    else
      escaped += c;
  }
  return escaped;
}

QString Unescape(const QString& text) {
  QString plain;
  plain.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      plain += text[i];
      continue;
    }
    const QChar next = text[++i];
    plain += next == 'n' ? QChar('\n') : next == 'r' ? QChar('\r') : next;
  }
  return plain;
}

std::string Shown(const QString& fileName) {
  return QDir::toNativeSeparators(fileName).toStdString();
}

}  // namespace

void SaveReport(const TReportPage& page, const QString& fileName) {
  std::vector<std::string> lines{kHeader.toStdString(),
                                 (kTitleKey + '=' + Escape(page.title)).toStdString()};
  for (const TReportField& field : page.fields)
    if (!field.name.isEmpty())
      lines.push_back((kFieldPrefix + field.name + '=' + Escape(field.text)).toStdString());
  // The name goes on as the system writes it, so that a failure's message shows it that way too.
  try {
    WriteTextLines(Shown(fileName), lines);
  } catch (const TFileError& e) {
    throw TReportError(e.what());
  }
}

void LoadReport(TReportPage& page, const QString& fileName) {
  std::vector<std::string> lines;
  try {
    lines = ReadTextLines(Shown(fileName));
  } catch (const TFileError& e) {
    throw TReportError(e.what());
  }
  if (lines.empty() || QString::fromStdString(lines.front()) != kHeader)
    throw TReportError("Файл \"" + Shown(fileName) +
                       "\" не является сохраненным протоколом KVZ-03");

  std::optional<QString> title;
  std::map<QString, QString> texts;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const QString line = QString::fromStdString(lines[i]);
    if (line.trimmed().isEmpty()) continue;
    const qsizetype equals = line.indexOf('=');
    if (equals < 0)
      throw TReportError("Файл \"" + Shown(fileName) + "\" поврежден: строка " +
                         std::to_string(i + 1) + " не имеет вида \"имя=значение\"");
    const QString key = line.left(equals);
    const QString value = Unescape(line.mid(equals + 1));
    if (key == kTitleKey)
      title = value;
    else if (key.startsWith(kFieldPrefix))
      texts[key.mid(kFieldPrefix.size())] = value;
  }

  // Only now that the whole file has been read is the page changed.
  if (title) page.title = *title;
  for (TReportField& field : page.fields) {
    if (field.name.isEmpty()) continue;
    const auto found = texts.find(field.name);
    if (found != texts.end()) field.text = found->second;
  }
}
