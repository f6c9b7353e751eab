#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "protocol/DailyBackup.h"
#include "protocol/RegisterUn.h"
#include "register/ProtocolRegister.h"
#include "register/RegisterCsv.h"
#include "tests/support/TempDir.h"

namespace {

// Years of a busy office: 100,000 protocols a quarter of an hour apart, eight surnames among the
// clients, each with its own initial and number. Filled once with SQL in one transaction (through
// Record each row would wait for its own flush to the disk), behind one protocol that Record
// wrote, so the schema is the register's own.
const std::string& FilledRegister() {
  static TempDir dir;
  static const std::string file = [] {
    std::string name = dir.File("protocols.db");
    TProtocolRecord entry{1,
                          "2023-12-31T23:00:00",
                          "Тула",
                          "Иванов И.И.",
                          "Кольцо",
                          "Золото 585 пробы (14kt)",
                          1,
                          "Петрова А.1",
                          "Паспорт",
                          "70 01 123456",
                          '3',
                          "Золото 585 пробы (14kt, стандарт)",
                          -512,
                          300,
                          'y',
                          true,
                          "   соответствует",
                          "Протоколы/1.pdf",
                          "01.01.2024"};
    TProtocolRegister(name).Record(entry);
    sqlite3* db = nullptr;
    const char* fill = R"(
      WITH RECURSIVE n(i) AS (SELECT 2 UNION ALL SELECT i + 1 FROM n WHERE i < 100000)
      INSERT INTO protocols (number, made_at, place, operator, item, material, material_index,
                             client, document, document_no, result_code, result_text, u1, u2,
                             mode, matches, verdict, pdf_file, protocol_date)
      SELECT i, strftime('%Y-%m-%dT%H:%M:%S', '2024-01-01', '+' || (i * 900) || ' seconds'),
             place, operator, item, material, material_index,
             CASE i % 8 WHEN 0 THEN 'Петрова' WHEN 1 THEN 'Сидоров' WHEN 2 THEN 'Ёлкина'
                        WHEN 3 THEN 'Кузнецов' WHEN 4 THEN 'Smith' WHEN 5 THEN 'Морозова'
                        WHEN 6 THEN 'Волков' ELSE 'Новикова' END
               || ' ' || char(1040 + i % 32) || '.' || i,
             document, document_no, result_code, result_text, u1, u2, mode, matches, verdict,
             'Протоколы/' || i || '.pdf', protocol_date
      FROM n, protocols WHERE protocols.number = 1;)";
    if (sqlite3_open(name.c_str(), &db) != SQLITE_OK ||
        sqlite3_exec(db, fill, nullptr, nullptr, nullptr) != SQLITE_OK) {
      std::fprintf(stderr, "filling %s: %s\n", name.c_str(), sqlite3_errmsg(db));
      std::exit(1);
    }
    sqlite3_close(db);
    return name;
  }();
  return file;
}

// What the register window pays before it shows anything.
void BM_Open(benchmark::State& state) {
  const std::string& file = FilledRegister();
  for (auto _ : state) TProtocolRegister reg(file);
}
BENCHMARK(BM_Open)->Unit(benchmark::kMillisecond);

// The search box: every row's shown columns folded and searched, Cyrillic in another case.
void BM_FindText(benchmark::State& state, const char* text) {
  TProtocolRegister reg(FilledRegister());
  std::size_t found = 0;
  for (auto _ : state) found = reg.Find({text, {}, {}}).size();
  state.counters["rows"] = static_cast<double>(found);
}
BENCHMARK_CAPTURE(BM_FindText, one_client, "петрова ш.42424")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FindText, a_surname, "ПЕТРОВА")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FindText, nothing, "нет такого")->Unit(benchmark::kMillisecond);

void BM_FindMonth(benchmark::State& state) {
  using namespace std::chrono;
  TProtocolRegister reg(FilledRegister());
  std::size_t found = 0;
  for (auto _ : state)
    found = reg.Find({"", year_month_day(2025y / March / 1), year_month_day(2025y / March / 31)})
                .size();
  state.counters["rows"] = static_cast<double>(found);
}
BENCHMARK(BM_FindMonth)->Unit(benchmark::kMillisecond);

// The window's first showing: all rows, newest first.
void BM_ListAll(benchmark::State& state) {
  TProtocolRegister reg(FilledRegister());
  std::size_t found = 0;
  for (auto _ : state) found = reg.Find({}).size();
  state.counters["rows"] = static_cast<double>(found);
}
BENCHMARK(BM_ListAll)->Unit(benchmark::kMillisecond);

// The register window from Ctrl+J to its first painted table of all rows: the register opened and
// read, the model loaded, the view laid out and drawn; then hidden, which closes the register.
void BM_WindowShowAll(benchmark::State& state) {
  TRegisterForm form(
      nullptr, FilledRegister, [](const TProtocolRecord&) {},
      [](char) { return std::string("Режим \"Ювелирный - желтый сплав\""); });
  for (auto _ : state) {
    form.show();
    QApplication::processEvents();
    state.PauseTiming();
    state.counters["rows"] = static_cast<double>(form.ShownRows().size());
    form.hide();
    QApplication::processEvents();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_WindowShowAll)->Unit(benchmark::kMillisecond);

// "Экспорт..." of all rows: the file's bytes, then written and flushed.
void BM_ExportAll(benchmark::State& state) {
  static TempDir dir;
  const std::vector<TProtocolRecord> rows = TProtocolRegister(FilledRegister()).Find({});
  const TModeName modeName = [](char) { return std::string("Режим \"Ювелирный - желтый сплав\""); };
  for (auto _ : state) WriteRegisterCsv(dir.File("журнал.csv"), rows, modeName);
  state.counters["MB"] = static_cast<double>(RegisterCsv(rows, modeName).size()) / 1e6;
}
BENCHMARK(BM_ExportAll)->Unit(benchmark::kMillisecond);

// One protocol made durable: a transaction and its flush to the disk.
void BM_Record(benchmark::State& state) {
  TProtocolRegister reg(FilledRegister());
  TProtocolRecord entry = reg.Find({"петрова ш.42424", {}, {}}).at(0);
  for (auto _ : state) {
    entry.number = reg.LastNumber().value_or(0) + 1;
    reg.Record(entry);
  }
}
BENCHMARK(BM_Record)->Unit(benchmark::kMillisecond);

// The day's copy in steps on the GUI thread: the whole copy, and the longest turn of the event loop
// meanwhile, the longest the windows do not answer.
void BM_DailyCopy(benchmark::State& state) {
  TDailyBackup backup;
  QDate day(2030, 1, 1);
  qint64 longest = 0;
  for (auto _ : state) {
    backup.ProtocolKept(FilledRegister(), day);
    day = day.addDays(1);
    QElapsedTimer turn;
    turn.start();
    while (backup.Busy()) {
      QApplication::processEvents();
      longest = std::max(longest, turn.restart());
    }
  }
  state.counters["longest_turn_ms"] = static_cast<double>(longest);
  state.counters["MB"] = static_cast<double>(std::filesystem::file_size(FilledRegister())) / 1e6;
}
BENCHMARK(BM_DailyCopy)->Unit(benchmark::kMillisecond);

}  // namespace

// The window needs an application; without a display it draws offscreen.
int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
