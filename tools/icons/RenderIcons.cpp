// Renders an SVG icon into the square PNGs that the hicolor icon theme keeps beside the scalable
// one: menus, panels and task switchers of several desktops look only for PNGs of their size.
//
//   kvz03-icons ICON.svg OUTDIR NAME SIZE...
//
// writes OUTDIR/<SIZE>x<SIZE>/apps/NAME.png for every SIZE, the same layout as the installed
// theme, so the build tree can be installed as it is.

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>
#include <QTextStream>

#include <optional>
#include <vector>

namespace {

constexpr int kMaxSize = 1024;

std::optional<int> ParseSize(const QString& text) {
  bool ok = false;
  const int size = text.toInt(&ok);
  if (!ok || size < 1 || size > kMaxSize) return std::nullopt;
  return size;
}

QImage Render(QSvgRenderer& renderer, int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  renderer.render(&painter, QRectF(0, 0, size, size));
  painter.end();
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  // A build step never shows a window and often runs where there is no display at all.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  QTextStream err(stderr);

  const QStringList args = QGuiApplication::arguments();
  if (args.size() < 5) {
    err << "usage: kvz03-icons ICON.svg OUTDIR NAME SIZE...\n";
    return 2;
  }
  const QString& source = args[1];
  const QDir outDir(args[2]);
  const QString& name = args[3];

  std::vector<int> sizes;
  for (qsizetype i = 4; i < args.size(); ++i) {
    const std::optional<int> size = ParseSize(args[i]);
    if (!size) {
      err << "kvz03-icons: bad size '" << args[i] << "' (1.." << kMaxSize << ")\n";
      return 2;
    }
    sizes.push_back(*size);
  }

  QSvgRenderer renderer(source);
  if (!renderer.isValid()) {
    err << "kvz03-icons: cannot read SVG " << source << "\n";
    return 1;
  }
  // The artwork is square, but a stretched icon would be worse than a margin if it ever is not.
  renderer.setAspectRatioMode(Qt::KeepAspectRatio);

  for (const int size : sizes) {
    const QString subdir = QStringLiteral("%1x%1/apps").arg(size);
    if (!outDir.mkpath(subdir)) {
      err << "kvz03-icons: cannot create " << outDir.filePath(subdir) << "\n";
      return 1;
    }
    const QString target = outDir.filePath(QStringLiteral("%1/%2.png").arg(subdir, name));
    if (!Render(renderer, size).save(target, "PNG")) {
      err << "kvz03-icons: cannot write " << target << "\n";
      return 1;
    }
  }
  return 0;
}
