// Renders an SVG icon into the square PNGs that the hicolor icon theme keeps beside the scalable
// one: menus, panels and task switchers of several desktops look only for PNGs of their size.
//
//   kvz03-icons ICON.svg OUTDIR NAME SIZE...
//
// writes OUTDIR/<SIZE>x<SIZE>/apps/NAME.png for every SIZE, the same layout as the installed
// theme, so the build tree can be installed as it is.
//
//   kvz03-icons --pictures OUTDIR PICTURE.svg...
//
// writes OUTDIR/<name>.png at the picture's own size and OUTDIR/<name>@2x.png at twice that, for
// a build of the program whose Qt cannot draw SVG.
//
//   kvz03-icons --ico OUT.ico ICON.svg SIZE...
//
// writes a Windows icon file holding the icon in every SIZE (up to 256), for the executable.

#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>
#include <QTextStream>

#include <optional>
#include <utility>
#include <vector>

namespace {

constexpr int kMaxSize = 1024;
constexpr int kMaxIcoSize = 256;

std::optional<int> ParseSize(const QString& text) {
  bool ok = false;
  const int size = text.toInt(&ok);
  if (!ok || size < 1 || size > kMaxSize) return std::nullopt;
  return size;
}

QImage Render(QSvgRenderer& renderer, QSize size) {
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
  painter.end();
  return image;
}

int RenderPictures(const QStringList& args, QTextStream& err) {
  const QDir outDir(args[2]);
  if (!outDir.mkpath(QStringLiteral("."))) {
    err << "kvz03-icons: cannot create " << outDir.path() << "\n";
    return 1;
  }
  for (qsizetype i = 3; i < args.size(); ++i) {
    QSvgRenderer renderer(args[i]);
    if (!renderer.isValid()) {
      err << "kvz03-icons: cannot read SVG " << args[i] << "\n";
      return 1;
    }
    const QString name = QFileInfo(args[i]).completeBaseName();
    for (const auto& [scale, suffix] : {std::pair{1, ""}, std::pair{2, "@2x"}}) {
      const QString target = outDir.filePath(name + suffix + QStringLiteral(".png"));
      if (!Render(renderer, renderer.defaultSize() * scale).save(target, "PNG")) {
        err << "kvz03-icons: cannot write " << target << "\n";
        return 1;
      }
    }
  }
  return 0;
}

// Every size stored as PNG, which Windows reads in icon files since Vista.
int WriteIco(const QStringList& args, QTextStream& err) {
  QSvgRenderer renderer(args[3]);
  if (!renderer.isValid()) {
    err << "kvz03-icons: cannot read SVG " << args[3] << "\n";
    return 1;
  }
  renderer.setAspectRatioMode(Qt::KeepAspectRatio);
  std::vector<std::pair<int, QByteArray>> images;
  for (qsizetype i = 4; i < args.size(); ++i) {
    const std::optional<int> size = ParseSize(args[i]);
    if (!size || *size > kMaxIcoSize) {
      err << "kvz03-icons: bad icon size '" << args[i] << "' (1.." << kMaxIcoSize << ")\n";
      return 2;
    }
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) ||
        !Render(renderer, QSize(*size, *size)).save(&buffer, "PNG")) {
      err << "kvz03-icons: cannot encode the " << *size << " px icon\n";
      return 1;
    }
    images.emplace_back(*size, png);
  }

  QFile file(args[2]);
  if (!file.open(QIODevice::WriteOnly)) {
    err << "kvz03-icons: cannot write " << args[2] << ": " << file.errorString() << "\n";
    return 1;
  }
  QDataStream out(&file);
  out.setByteOrder(QDataStream::LittleEndian);
  constexpr quint32 kHeaderSize = 6;
  constexpr quint32 kEntrySize = 16;
  out << quint16(0) << quint16(1) << quint16(images.size());
  quint32 offset = kHeaderSize + kEntrySize * quint32(images.size());
  for (const auto& [size, png] : images) {
    // A width and height of 0 mean 256.
    out << quint8(size % 256) << quint8(size % 256) << quint8(0) << quint8(0) << quint16(1)
        << quint16(32) << quint32(png.size()) << offset;
    offset += quint32(png.size());
  }
  for (const auto& image : images)
    out.writeRawData(image.second.constData(), int(image.second.size()));
  if (out.status() != QDataStream::Ok || !file.flush()) {
    err << "kvz03-icons: cannot write " << args[2] << ": " << file.errorString() << "\n";
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // A build step never shows a window and often runs where there is no display at all.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  QTextStream err(stderr);

  const QStringList args = QGuiApplication::arguments();
  if (args.size() >= 4 && args[1] == QStringLiteral("--pictures")) return RenderPictures(args, err);
  if (args.size() >= 5 && args[1] == QStringLiteral("--ico")) return WriteIco(args, err);
  if (args.size() < 5) {
    err << "usage: kvz03-icons ICON.svg OUTDIR NAME SIZE...\n"
           "       kvz03-icons --pictures OUTDIR PICTURE.svg...\n"
           "       kvz03-icons --ico OUT.ico ICON.svg SIZE...\n";
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
    if (!Render(renderer, QSize(size, size)).save(target, "PNG")) {
      err << "kvz03-icons: cannot write " << target << "\n";
      return 1;
    }
  }
  return 0;
}
