#include <QtTest>

#include "tests/emulator/DrawRange.h"

Q_DECLARE_METATYPE(TDrawRange)

// The potentials the emulator draws for each result class, without its window.
class PotentialsTest : public QObject {
  Q_OBJECT

 private slots:
  void potentialsStayInTheirRanges_data();
  void potentialsStayInTheirRanges();
};

void PotentialsTest::potentialsStayInTheirRanges_data() {
  QTest::addColumn<TDrawRange>("range");
  const auto row = [](TDrawRange r) {
    QTest::addRow("%d%s", r.item, r.yellow ? " yellow" : "") << r;
  };
  row({-1, false, -2000, 1999, -2000, -77});
  row({-1, true, -2000, 1999, -2000, 198});
  row({0, false, 1771, 1999, 1201, 1999});
  row({1, false, 300, 558, 200, 333});
  row({2, false, 560, 979, 480, 689});
  row({3, false, 560, 979, 335, 478});
  row({4, false, 720, 867, 691, 849});
  row({5, false, 869, 918, 691, 849});
  row({6, false, 920, 1199, 691, 849});
  row({7, false, 0, 449, -75, -2});
  row({8, false, 0, 449, 0, 49});
  row({9, false, 450, 598, 250, 358});
  row({10, false, 600, 1148, 360, 898});
  row({11, false, 1150, 1699, 900, 1199});
  row({12, false, 1701, 1999, -2000, 1999});
  row({12, true, 1201, 1999, -2000, 1999});
  row({13, false, -2000, 1999, -2000, -77});
  row({13, true, -2000, 1999, -2000, 198});
}

void PotentialsTest::potentialsStayInTheirRanges() {
  QFETCH(TDrawRange, range);
  std::mt19937 random(7);
  QVERIFY(DrawsFill(range, [&] { return DrawPotentials(range.item, range.yellow, random); }));
}

QTEST_GUILESS_MAIN(PotentialsTest)
#include "PotentialsTest.moc"
