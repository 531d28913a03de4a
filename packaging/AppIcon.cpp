// Renders the program's icon drawing into a square PNG picture of the given size, for the
// desktop's icon theme, which wants fixed sizes beside the drawing itself.
//
//   appicon <icon.svg> <size> <icon.png>
#include <QCoreApplication>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);  // the image plugins are found through it
  const QStringList args = QCoreApplication::arguments();
  bool sizeOk = false;
  const int size = args.size() == 4 ? args[2].toInt(&sizeOk) : 0;
  if (!sizeOk || size < 1 || size > 1024) {
    std::fprintf(stderr, "usage: appicon <icon.svg> <size> <icon.png>\n");
    return 2;
  }
  QSvgRenderer drawing(args[1]);
  if (!drawing.isValid()) {
    std::fprintf(stderr, "appicon: %s is no drawing\n", qPrintable(args[1]));
    return 1;
  }

  QImage icon(size, size, QImage::Format_ARGB32_Premultiplied);
  icon.fill(Qt::transparent);
  {
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    drawing.render(&painter, QRectF(0, 0, size, size));
  }

  QImageWriter writer(args[3], "png");
  if (!writer.write(icon.convertToFormat(QImage::Format_ARGB32))) {
    std::fprintf(stderr, "appicon: %s: %s\n", qPrintable(args[3]), qPrintable(writer.errorString()));
    return 1;
  }
  return 0;
}
