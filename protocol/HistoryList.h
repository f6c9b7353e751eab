#pragma once

#include <QString>
#include <QStringList>
#include <string>
#include <utility>

// The entries a free-text field remembers, as its history file keeps them: one entry per line in
// Windows-1251, in the order a Russian reader looks things up.
class THistoryList {
 public:
  THistoryList() = default;
  explicit THistoryList(QStringList items) : items_(std::move(items)) {}

  const QStringList& Items() const { return items_; }

  // Takes the entries of file in place of these, sorted; false, with the entries left as they
  // are, when there is no such file. Throws TFileError when it cannot be read.
  bool Load(const std::string& file);
  // Throws TFileError when the file cannot be written.
  void Save(const std::string& file) const;
  // Adds typed, trimmed and as the file will hold it, unless that is empty or already listed:
  // the position it took, or -1.
  int Add(const QString& typed);
  // The text as a history file gives it back: Windows-1251 has no place for some characters.
  static QString AsStored(const QString& text);
  // Whether a history file gives text back unchanged: it holds one entry per line, so a line break
  // cannot be stored either.
  static bool Storable(const QString& text);

 private:
  // In any letter case.
  bool Listed(const QString& item) const;

  QStringList items_;
};
