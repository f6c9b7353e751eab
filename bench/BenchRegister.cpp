#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sqlite3.h>

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "protocol/DailyBackup.h"
#include "protocol/RegisterUn.h"
#include "register/ProtocolRegister.h"
#include "register/RegisterCsv.h"
#include "tests/support/TempDir.h"

namespace {

constexpr std::array<const char*, 8> kSurnames = {"Петрова", "Сидоров",  "Ёлкина", "Кузнецов",
                                                  "Smith",   "Морозова", "Волков", "Новикова"};

void Check(sqlite3* db, int code, const char* what) {
  if (code == SQLITE_OK || code == SQLITE_DONE) return;
  std::fprintf(stderr, "filling the register, %s: %s\n", what, sqlite3_errmsg(db));
  std::exit(1);
}

// Years of a busy office: protocols a quarter of an hour apart, eight surnames among the clients,
// each with its own initial and number. Written as another program instance would, through the
// register's own triggers and so its search index, in one transaction with one prepared statement
// (through Record each row would wait for its own flush to the disk). Made once per size.
const std::string& FilledRegister(int rows) {
  static TempDir dir;
  static std::map<int, std::string> files;
  auto [file, added] = files.try_emplace(rows, dir.File(std::to_string(rows) + ".db"));
  if (!added) return file->second;
  const std::string& name = file->second;
  {
    // The register's own schema and triggers, made by opening it.
    const TProtocolRegister created(name);
  }
  QElapsedTimer timer;
  timer.start();
  sqlite3* db = nullptr;
  Check(db, sqlite3_open(name.c_str(), &db), "open");
  Check(db, AddRegisterFunctions(db), "functions");
  // The clients go to a temporary table first and on into the register in one statement: the
  // index writes out what it gathered at the end of every statement that touches it, and one
  // statement per protocol would leave it a million small pieces to merge.
  Check(db,
        sqlite3_exec(db,
                     "PRAGMA cache_size = -262144; BEGIN;"
                     "CREATE TEMP TABLE clients (number INTEGER PRIMARY KEY, client TEXT)",
                     nullptr, nullptr, nullptr),
        "begin");
  sqlite3_stmt* insert = nullptr;
  Check(db, sqlite3_prepare_v2(db, "INSERT INTO clients VALUES (?, ?)", -1, &insert, nullptr),
        "prepare");
  for (int i = 1; i <= rows; ++i) {
    // А..Я as the initial.
    const char32_t initial = 0x410 + static_cast<char32_t>(i % 32);
    const std::string client = std::string(kSurnames[static_cast<std::size_t>(i % 8)]) + ' ' +
                               static_cast<char>(0xC0 | (initial >> 6)) +
                               static_cast<char>(0x80 | (initial & 0x3F)) + '.' + std::to_string(i);
    sqlite3_bind_int64(insert, 1, i);
    sqlite3_bind_text(insert, 2, client.data(), static_cast<int>(client.size()), SQLITE_STATIC);
    Check(db, sqlite3_step(insert), "insert");
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  Check(db,
        sqlite3_exec(
            db,
            "INSERT INTO protocols (number, made_at, place, operator, item, material, "
            "material_index, client, document, document_no, result_code, result_text, u1, u2, "
            "mode, matches, verdict, pdf_file, protocol_date) SELECT number, strftime('%Y-%m-%dT"
            "%H:%M:%S', '2000-01-01', '+' || (number * 900) || ' seconds'), 'Тула', "
            "'Иванов И.И.', 'Кольцо', 'Золото 585 пробы (14kt)', 1, client, 'Паспорт', "
            "'70 01 123456', '3', 'Золото 585 пробы (14kt, стандарт)', -512, 300, 'y', 1, "
            "'   соответствует', 'Протоколы/' || number || '.pdf', '01.01.2024' FROM clients;"
            "COMMIT",
            nullptr, nullptr, nullptr),
        "commit");
  sqlite3_close(db);
  // The filling's memory goes back to the system, so that it does not hide what the window takes.
  malloc_trim(0);
  std::fprintf(stderr, "%d protocols written and indexed in %.1f s\n", rows,
               static_cast<double>(timer.elapsed()) / 1000);
  return name;
}

// The process's memory in megabytes: resident now, and the resident peak since the last
// ResetPeak.
double StatusMegabytes(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field, 0) == 0)
      return std::strtod(line.c_str() + line.find(':') + 1, nullptr) / 1024;
  }
  return 0;
}

double Resident() {
  return StatusMegabytes("VmRSS");
}

double Peak() {
  return StatusMegabytes("VmHWM");
}

void ResetPeak() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

// What the heap holds in use, whatever the allocator keeps of the freed memory.
double HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return static_cast<double>(info.uordblks + info.hblkhd) / (1024 * 1024);
}

const TModeName kModeName = [](char) { return std::string("Режим \"Ювелирный - желтый сплав\""); };

// The memory of the register window, once, before anything else in the process has used and
// freed memory the allocator could hand it again: the resident growth of the first showing, after
// scrolling through ten pages, and what stays after it is hidden, resident and as the heap's
// memory in use (the allocator may keep freed pages resident for the process's next use).
void BM_WindowMemory(benchmark::State& state) {
  const std::string& file = FilledRegister(static_cast<int>(state.range(0)));
  const double before = Resident();
  const double heapBefore = HeapInUse();
  for (auto _ : state) {
    TRegisterForm form(
        nullptr, [&file] { return file; }, [](const TProtocolRecord&) {}, kModeName);
    form.resize(800, 600);
    double heapFirst = 0;
    for (const char* showing : {"", "second_"}) {
      form.show();
      QApplication::processEvents();
      state.counters[std::string(showing) + "open_MB"] = Resident() - before;
      for (int page = 0; page < 10; ++page) {
        form.RegisterTable->scrollToBottom();
        QApplication::processEvents();
      }
      state.counters["scrolled_rows"] = static_cast<double>(form.ShownRows().size());
      state.counters[std::string(showing) + "scrolled_MB"] = Resident() - before;
      form.hide();
      QApplication::processEvents();
      state.counters[std::string(showing) + "closed_MB"] = Resident() - before;
      // The first showing leaves the toolkit's caches of fonts and styles; the second adds to
      // them nothing.
      const double heapKept = HeapInUse() - heapBefore;
      state.counters[std::string(showing) + "heap_kept_MB"] = heapKept - heapFirst;
      heapFirst = heapKept;
    }
    malloc_trim(0);
    state.counters["trimmed_MB"] = Resident() - before;
  }
}
BENCHMARK(BM_WindowMemory)->Arg(100000)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);

// The register window from Ctrl+J to its first painted rows: the register opened and counted, the
// first page read, the view laid out and drawn; then hidden, which drops the rows and closes the
// register.
void BM_WindowShown(benchmark::State& state) {
  const std::string& file = FilledRegister(static_cast<int>(state.range(0)));
  TRegisterForm form(
      nullptr, [&file] { return file; }, [](const TProtocolRecord&) {}, kModeName);
  form.resize(800, 600);
  for (auto _ : state) {
    form.show();
    QApplication::processEvents();
    state.PauseTiming();
    state.counters["shown_rows"] = static_cast<double>(form.ShownRows().size());
    form.hide();
    QApplication::processEvents();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_WindowShown)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The search box once the operator pauses: the rows counted and the first page read and drawn; for
// a text too short for the index, the first page, and then the count in slices.
// Clearing the search goes back from a surname to every row.
void BM_Search(benchmark::State& state, const char* text) {
  const int rows = static_cast<int>(state.range(0));
  const std::string& file = FilledRegister(rows);
  TRegisterForm form(
      nullptr, [&file] { return file; }, [](const TProtocolRecord&) {}, kModeName);
  form.resize(800, 600);
  form.show();
  QApplication::processEvents();
  const QString typed = QString::fromUtf8(text);
  qint64 counting = 0;
  qint64 longest = 0;
  for (auto _ : state) {
    state.PauseTiming();
    form.SearchEdit->setText(typed.isEmpty() ? "петрова" : "");
    form.Refresh();
    QApplication::processEvents();
    state.ResumeTiming();
    form.SearchEdit->setText(typed);
    form.Refresh();
    QApplication::processEvents();
    state.PauseTiming();
    // A text too short for the index is counted in slices after its first page is shown: the
    // longest turn of the event loop meanwhile is the longest the window does not answer.
    QElapsedTimer whole;
    QElapsedTimer turn;
    whole.start();
    turn.start();
    while (form.CountLabel->text().endsWith("...")) {
      QApplication::processEvents();
      longest = std::max(longest, turn.restart());
    }
    counting = std::max(counting, whole.elapsed());
    state.ResumeTiming();
  }
  state.counters["count"] = form.CountLabel->text().section(' ', -1).toDouble();
  state.counters["counting_ms"] = static_cast<double>(counting);
  state.counters["longest_turn_ms"] = static_cast<double>(longest);
  form.hide();
}
BENCHMARK_CAPTURE(BM_Search, surname, "ПЕТРОВА")
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Search, one_client, "петрова ш.42424")
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Search, number_fragment, "4242")
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Search, two_letters, "ОВ")
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Search, one_letter, "ш")
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Search, nothing, "нет такого")
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Search, cleared, "")->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// A month of protocols by the date range alone.
void BM_Month(benchmark::State& state) {
  using namespace std::chrono;
  TProtocolRegister reg(FilledRegister(static_cast<int>(state.range(0))));
  const TRegisterFilter month{"", year_month_day(2001y / March / 1),
                              year_month_day(2001y / March / 31)};
  std::int64_t found = 0;
  for (auto _ : state) {
    found = reg.Count(month);
    benchmark::DoNotOptimize(reg.Page(month, {}, 200));
  }
  state.counters["count"] = static_cast<double>(found);
}
BENCHMARK(BM_Month)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// "Экспорт..." of every row, written and flushed as the rows come; the peak is the process's
// resident peak during the export over its memory before it.
void BM_ExportAll(benchmark::State& state) {
  static TempDir dir;
  TProtocolRegister reg(FilledRegister(static_cast<int>(state.range(0))));
  double peak = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const double before = Resident();
    ResetPeak();
    state.ResumeTiming();
    WriteRegisterCsv(
        dir.File("журнал.csv"),
        [&](const std::function<bool(const TProtocolRecord&)>& each) { reg.ForEach({}, each); },
        kModeName);
    peak = Peak() - before;
  }
  state.counters["peak_MB"] = peak;
  state.counters["file_MB"] =
      static_cast<double>(std::filesystem::file_size(dir.File("журнал.csv"))) / 1e6;
}
BENCHMARK(BM_ExportAll)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The first start of this version on a register of the last one: every kept protocol indexed;
// then what a protocol recorded after it costs.
void BM_Upgrade(benchmark::State& state) {
  static TempDir dir;
  const std::string file = dir.File("upgraded.db");
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove(file);
    std::filesystem::copy_file(FilledRegister(static_cast<int>(state.range(0))), file);
    sqlite3* db = nullptr;
    Check(db, sqlite3_open(file.c_str(), &db), "open");
    Check(db,
          sqlite3_exec(db,
                       "DROP TRIGGER protocols_search_insert; DROP TRIGGER protocols_search_delete;"
                       "DROP TRIGGER protocols_search_update; DROP TABLE protocols_search;"
                       "PRAGMA user_version = 1; VACUUM",
                       nullptr, nullptr, nullptr),
          "downgrade");
    sqlite3_close(db);
    state.ResumeTiming();
    TProtocolRegister upgraded(file);
    // The next protocols, recorded into the index the upgrade left.
    state.PauseTiming();
    TProtocolRecord entry = upgraded.Page({}, {}, 1).at(0);
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 20; ++i) {
      ++entry.number;
      upgraded.Record(entry);
    }
    state.counters["next_record_ms"] = static_cast<double>(timer.nsecsElapsed()) / 20e6;
    state.ResumeTiming();
  }
}
BENCHMARK(BM_Upgrade)->Arg(100000)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);

// One protocol made durable: a transaction, its index entry and its flush to the disk.
void BM_Record(benchmark::State& state) {
  TProtocolRegister reg(FilledRegister(static_cast<int>(state.range(0))));
  TProtocolRecord entry = reg.Page({}, {}, 1).at(0);
  for (auto _ : state) {
    entry.number = reg.LastNumber().value_or(0) + 1;
    reg.Record(entry);
  }
}
BENCHMARK(BM_Record)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The day's copy in steps on the GUI thread: the whole copy, and the longest turn of the event loop
// meanwhile, the longest the windows do not answer.
void BM_DailyCopy(benchmark::State& state) {
  TDailyBackup backup;
  QDate day(2030, 1, 1);
  qint64 longest = 0;
  for (auto _ : state) {
    backup.ProtocolKept(FilledRegister(static_cast<int>(state.range(0))), day);
    day = day.addDays(1);
    QElapsedTimer turn;
    turn.start();
    while (backup.Busy()) {
      QApplication::processEvents();
      longest = std::max(longest, turn.restart());
    }
  }
  state.counters["longest_turn_ms"] = static_cast<double>(longest);
  state.counters["MB"] = static_cast<double>(std::filesystem::file_size(
                             FilledRegister(static_cast<int>(state.range(0))))) /
                         1e6;
}
BENCHMARK(BM_DailyCopy)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

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
