#include "report/ReportPage.h"

#include <algorithm>
#include <stdexcept>

namespace {

template <typename TFields>
auto& FindField(TFields& fields, const QString& name) {
  const auto found = std::find_if(fields.begin(), fields.end(),
                                  [&](const TReportField& field) { return field.name == name; });
  if (name.isEmpty() || found == fields.end())
    throw std::out_of_range("В протоколе нет поля \"" + name.toStdString() + "\"");
  return *found;
}

}  // namespace

TReportField& TReportPage::Field(const QString& name) {
  return FindField(fields, name);
}

const TReportField& TReportPage::Field(const QString& name) const {
  return FindField(fields, name);
}
