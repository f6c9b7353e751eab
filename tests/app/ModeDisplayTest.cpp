#include <QtTest>

#include "app/ModeDisplay.h"

Q_DECLARE_METATYPE(TModeDisplay)

// Where the main window puts each of the detector's modes.
class ModeDisplayTest : public QObject {
  Q_OBJECT

 private slots:
  void modeDisplay_data();
  void modeDisplay();
};

void ModeDisplayTest::modeDisplay_data() {
  using enum TResultArea;
  QTest::addColumn<char>("mode");
  QTest::addColumn<TModeDisplay>("shown");  // text, area, transient, working
  QTest::newRow("c") << 'c' << TModeDisplay{"Выполняется проверка зонда", None, false, false};
  QTest::newRow("e") << 'e' << TModeDisplay{"Режим \"Экспертный\"", Potentials, false, true};
  QTest::newRow("f") << 'f' << TModeDisplay{"Питание выключено", None, true, false};
  QTest::newRow("p") << 'p' << TModeDisplay{"Зонд не подключен!", None, false, false};
  QTest::newRow("r") << 'r' << TModeDisplay{"Готов", None, true, false};
  QTest::newRow("s") << 's' << TModeDisplay{"Выполняется измерение...", None, false, false};
  QTest::newRow("w") << 'w'
                     << TModeDisplay{"Режим \"Ювелирный - белый сплав\"", Verdict, false, true};
  QTest::newRow("x") << 'x' << TModeDisplay{"Ошибка при измерении!", None, true, false};
  QTest::newRow("y") << 'y'
                     << TModeDisplay{"Режим \"Ювелирный - желтый сплав\"", Verdict, false, true};
  QTest::newRow("unknown") << 'q' << TModeDisplay{"", None, false, false};
  QTest::newRow("none") << '\0' << TModeDisplay{"", None, false, false};
}

void ModeDisplayTest::modeDisplay() {
  QFETCH(char, mode);
  QFETCH(TModeDisplay, shown);
  QVERIFY(ModeDisplay(mode) == shown);
}

QTEST_GUILESS_MAIN(ModeDisplayTest)
#include "ModeDisplayTest.moc"
