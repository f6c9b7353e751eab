#include <QCoreApplication>
#include <QFont>

namespace {

// The program's families by the metric-compatible fonts of the test font folder, as fontconfig
// maps them on Linux, so that text is laid out alike on both.
void AliasFontFamilies() {
  QFont::insertSubstitution("Times New Roman", "Liberation Serif");
  QFont::insertSubstitution("Arial", "Liberation Sans");
  QFont::insertSubstitution("Arial Narrow", "Liberation Sans Narrow");
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(AliasFontFamilies)
