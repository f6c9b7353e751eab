#include <gtest/gtest.h>

#include "register/RegisterCsv.h"
#include "tests/support/FilledProtocol.h"
#include "tests/support/Rows.h"
#include "tests/support/TempDir.h"

namespace {

struct CsvCase {
  const char* name;
  const char* client;
  const char* field;  // as the spreadsheet gets it
};

// What a spreadsheet would run as a formula stays text.
const CsvCase kCsvCases[] = {
    {"Plain", "Ёлкина Я.Ю.", "Ёлкина Я.Ю."},
    {"QuoteAndSeparator", "ООО \"Лом; золото\"", "\"ООО \"\"Лом; золото\"\"\""},
    {"LineBreak", "Петрова\r\nА.", "\"Петрова\r\nА.\""},
    {"BlanksAtTheEnds", " Петрова ", "\" Петрова \""},
    {"Formula", "=HYPERLINK(\"x\")", "\"'=HYPERLINK(\"\"x\"\")\""},
    {"Plus", "+7 900", "'+7 900"},
    {"Minus", "-1", "'-1"},
    {"At", "@SUM(A1)", "'@SUM(A1)"},
    {"BlanksBeforeFormula", "  =1+1", "'  =1+1"},
    {"TabBeforeFormula", "\t=1", "'\t=1"},
    {"EqualsInside", "А=Б", "А=Б"}};
class RegisterCsvTest : public testing::TestWithParam<CsvCase> {};

TEST_P(RegisterCsvTest, SpreadsheetGetsEachClientAsText) {
  const CsvCase& c = GetParam();
  const TempDir dir;
  WriteRegisterCsv(
      dir.File("журнал.csv"),
      [&](const auto& each) { each(FilledProtocol(1500, "2013-01-19T12:00:41", c.client)); },
      [](char mode) { return std::string("Режим \"") + mode + '"'; });
  EXPECT_EQ(dir.Read("журнал.csv"),
            std::string("\xEF\xBB\xBF") +
                "Номер;Дата;Место проведения измерений;Измерения проводил;Изделие;Материал;"
                "Сдатчик;Документ;Серия и номер;Результат;U1, мВ;U2, мВ;Режим;Заключение\r\n"
                "1500;19.01.2013 12:00;Тула;Иванов И.И.;Кольцо;Золото 585 пробы (14kt);" +
                c.field +
                ";Паспорт;70 01 123456;Золото 585 пробы (14kt, стандарт);-512;300;"
                "\"Режим \"\"y\"\"\";соответствует\r\n");
}

KVZ_ROWS(RegisterCsvTest, kCsvCases);

}  // namespace
