#include <QApplication>
#include <iostream>
#include <vector>

#include "protocol/PrintFormUn.h"
#include "tests/support/WorkDirScope.h"
#include "ui/MsgBox.h"

// Another program instance at the same moment: prints count protocols into the working folder
// given, at one fixed time of its clock, for the clients <prefix>0, <prefix>1, ...
// archive_writer <folder/> <prefix> <count>; what failed goes to the error output, exit code 1.
int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 4) return 2;
  std::vector<QString> errors;
  MsgBox::SetHook([&](const MsgBox::TBox& box) {
    errors.push_back(box.text);
    return MsgBox::TAnswer::Ok;
  });
  const WorkDirScope folder(argv[1]);
  TPrintForm form([] { return QDateTime(QDate(2013, 1, 19), QTime(12, 0)); }, [](TReportPage&) {});
  for (int i = 0; i < std::atoi(argv[3]); ++i) {
    TProtocolEntry entry;
    entry.client = QString::fromUtf8(argv[2]) + QString::number(i);
    form.FillAndPreview(TMeasurement(), entry);
  }
  for (const QString& error : errors) std::cerr << error.toStdString() << '\n';
  return errors.empty() ? 0 : 1;
}
