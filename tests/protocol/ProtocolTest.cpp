#include <QtTest>

#include "base/Platform.h"
#include "protocol/HistoryList.h"
#include "protocol/PrintFormUn.h"
#include "tests/support/TempDir.h"

// The protocol's own rules, apart from its windows: which material a result certifies, the
// protocol's number, and the lists of earlier entries.
class ProtocolTest : public QObject {
  Q_OBJECT

 private slots:
  void verdict_data();
  void verdict();
  void protocolNumber_data();
  void protocolNumber();
  void historyList_data();
  void historyList();
};

void ProtocolTest::verdict_data() {
  QTest::addColumn<int>("resultIndex");
  QTest::addColumn<int>("matching");
  QTest::newRow("0 not recognised") << -1 << -1;
  QTest::newRow("1 375") << 0 << 0;
  QTest::newRow("2 585 not standard") << 1 << 1;
  QTest::newRow("3 585 standard") << 2 << 1;
  QTest::newRow("4 750") << 3 << 2;
  QTest::newRow("5 958") << 4 << 3;
  QTest::newRow("6 999") << 5 << 4;
  QTest::newRow("7 silver below 800") << 6 << 5;
  QTest::newRow("8 silver 800") << 7 << 6;
  QTest::newRow("9 palladium") << 8 << 7;
  QTest::newRow(": white gold") << 9 << 8;
  QTest::newRow("; platinum") << 10 << 9;
  QTest::newRow("ю repeat") << 11 << -1;
  QTest::newRow("я not precious") << 12 << -1;
  QTest::newRow("unknown code") << -2 << -1;
}

void ProtocolTest::verdict() {
  QFETCH(int, resultIndex);
  QFETCH(int, matching);
  for (int material = 0; material < 10; ++material)
    QCOMPARE(TPrintForm::Matches(resultIndex, material), material == matching);
}

void ProtocolTest::protocolNumber_data() {
  QTest::addColumn<QDateTime>("now");
  QTest::addColumn<qint64>("number");
  QTest::newRow("noon 19 January 2013")
      << QDateTime(QDate(2013, 1, 19), QTime(12, 0)) << qint64(1500);
  QTest::newRow("1 January 2014") << QDateTime(QDate(2014, 1, 1), QTime(0, 0)) << qint64(348000);
  // 1:30 and 4:30 are exactly 62.5 and 187.5 thousandths of a day: halves go to the even one.
  QTest::newRow("half down to even") << QDateTime(QDate(2013, 1, 18), QTime(1, 30)) << qint64(62);
  QTest::newRow("half up to even") << QDateTime(QDate(2013, 1, 18), QTime(4, 30)) << qint64(188);
  QTest::newRow("before the epoch") << QDateTime(QDate(2013, 1, 17), QTime(0, 0)) << qint64(-1000);
}

void ProtocolTest::protocolNumber() {
  QFETCH(QDateTime, now);
  QFETCH(qint64, number);
  QCOMPARE(TPrintForm::ProtocolNumber(now), number);
}

void ProtocolTest::historyList_data() {
  const auto stored = [](const char* lines) {
    return QByteArray::fromStdString(Utf8ToCp1251(lines));
  };
  QTest::addColumn<QByteArray>("file");  // none when null
  QTest::addColumn<QStringList>("typed");
  QTest::addColumn<QList<int>>("places");
  QTest::addColumn<QByteArray>("saved");
  QTest::newRow("trimmed, once in any case")
      << QByteArray() << QStringList{"  Тула  ", "Тула", "тула ", "Москва", "москва"}
      << QList<int>{0, -1, -1, 0, -1} << stored("Москва\r\nТула\r\n");
  QTest::newRow("Russian order, as the code page keeps it")
      << stored("Яма\r\nжук\r\nЁлка\r\nЕль\r\nЕДА\r\nЕда\r\nеда\r\n")
      << QStringList{"Москва 中文 №5", "Москва ?? №5", "ёлочка"} << QList<int>{6, -1, 4}
      << stored("ЕДА\r\nЕда\r\nеда\r\nЁлка\r\nёлочка\r\nЕль\r\nжук\r\nМосква ?? №5\r\nЯма\r\n");
  QTest::newRow("Windows-1251 with CR LF")
      << QByteArray("\xca\xee\xeb\xfc\xf6\xee\r\n\xd1\xe5\xf0\xfc\xe3\xe8\r\n")
      << QStringList{"Цепь «Бисмарк» №2"} << QList<int>{2}
      << QByteArray(
             "\xca\xee\xeb\xfc\xf6\xee\r\n\xd1\xe5\xf0\xfc\xe3\xe8\r\n"
             "\xd6\xe5\xef\xfc \xab\xc1\xe8\xf1\xec\xe0\xf0\xea\xbb \xb9\x32\r\n");
  QTest::newRow("nothing to add") << QByteArray() << QStringList{"", "  ", "\t"}
                                  << QList<int>{-1, -1, -1} << QByteArray("");
}

void ProtocolTest::historyList() {
  QFETCH(QByteArray, file);
  QFETCH(QStringList, typed);
  QFETCH(QList<int>, places);
  QFETCH(QByteArray, saved);
  TempDir dir;
  if (!file.isNull()) dir.Write("PlaceCB.lst", file.toStdString());
  THistoryList history;
  QCOMPARE(history.Load(dir.File("PlaceCB.lst")), !file.isNull());
  QList<int> took;
  for (const QString& entry : typed) took << history.Add(entry);
  QCOMPARE(took, places);
  history.Save(dir.File("PlaceCB.lst"));
  QCOMPARE(QByteArray::fromStdString(dir.Read("PlaceCB.lst")), saved);
}

QTEST_GUILESS_MAIN(ProtocolTest)
#include "ProtocolTest.moc"
