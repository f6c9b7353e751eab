#include "protocol/HistoryList.h"

#include <QCollator>
#include <QLocale>
#include <algorithm>
#include <vector>

#include "base/Platform.h"
#include "base/TextFile.h"

namespace {

// The order a Russian reader looks things up in: letter case does not count, and Ё files with Е.
QCollator HistoryOrder() {
  QCollator order{QLocale(QLocale::Russian)};
  order.setCaseSensitivity(Qt::CaseInsensitive);
  return order;
}

}  // namespace

bool THistoryList::Load(const std::string& file) {
  if (!FileExists(file)) return false;
  QStringList items;
  for (const std::string& line : ReadTextLines(file)) items << QString::fromStdString(line);
  const QCollator order = HistoryOrder();
  std::stable_sort(items.begin(), items.end(), [&order](const QString& a, const QString& b) {
    return order.compare(a, b) < 0;
  });
  items_ = std::move(items);
  return true;
}

void THistoryList::Save(const std::string& file) const {
  std::vector<std::string> lines;
  lines.reserve(static_cast<std::size_t>(items_.size()));
  for (const QString& item : items_) lines.push_back(item.toStdString());
  WriteTextLines(file, lines);
}

int THistoryList::Add(const QString& typed) {
  // Compared as the file will hold it, so an entry the code page alters is not added again.
  const QString item = AsStored(typed.trimmed());
  if (item.isEmpty() || Listed(item)) return -1;
  // After the entries that sort equal, so entries that differ only in case keep their order.
  const QCollator order = HistoryOrder();
  qsizetype at = 0;
  while (at < items_.size() && order.compare(items_[at], item) <= 0) ++at;
  items_.insert(at, item);
  return static_cast<int>(at);
}

bool THistoryList::Listed(const QString& item) const {
  return std::any_of(items_.begin(), items_.end(), [&item](const QString& listed) {
    return QString::compare(listed, item, Qt::CaseInsensitive) == 0;
  });
}

QString THistoryList::AsStored(const QString& text) {
  return QString::fromStdString(Cp1251ToUtf8(Utf8ToCp1251(text.toStdString())));
}

bool THistoryList::Storable(const QString& text) {
  return !text.contains('\r') && !text.contains('\n') && AsStored(text) == text;
}
