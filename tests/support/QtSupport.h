#pragma once

#include <QApplication>
#include <QComboBox>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <functional>

// The texts of a list's items, in their order.
inline QStringList ItemTexts(const QComboBox* box) {
  QStringList items;
  for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
  return items;
}

// Runs open, which enters a modal loop, and checks once the dialog is up (after delay); then
// closes every modal window still up above those that were up before. A failed QVERIFY or
// QCOMPARE returns from checks early, so without that close the loop would never end and the
// whole run would hang.
inline void RunModal(const std::function<void()>& open, const std::function<void()>& checks,
                     std::chrono::milliseconds delay = std::chrono::milliseconds(0)) {
  const QPointer<QWidget> outer = QApplication::activeModalWidget();
  QTimer::singleShot(delay, qApp, [checks, outer] {
    checks();
    for (QWidget* modal = QApplication::activeModalWidget(); modal != nullptr && modal != outer;) {
      modal->close();
      QWidget* next = QApplication::activeModalWidget();
      if (next == modal) break;  // it refused to close: the CTest timeout ends the run
      modal = next;
    }
  });
  open();
}
