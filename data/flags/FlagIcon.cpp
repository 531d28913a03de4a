// Makes one flag icon of the program: the flag drawn in an SVG file, rendered into a 32 × 32
// picture with a thin frame, written as an icon file.
//
//   flagicon <flag.svg> <icon.ICO>
//
// The flag fills a 30 × 20 band in the middle of the icon, whatever the proportions its drawing
// uses; what the drawing paints outside its own view box is cut off.
#include <QCoreApplication>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);  // the image plugins are found through it
  const QStringList args = QCoreApplication::arguments();
  if (args.size() != 3) {
    std::fprintf(stderr, "usage: flagicon <flag.svg> <icon.ICO>\n");
    return 2;
  }
  QSvgRenderer flag(args[1]);
  if (!flag.isValid()) {
    std::fprintf(stderr, "flagicon: %s is no drawing\n", qPrintable(args[1]));
    return 1;
  }

  QImage icon(32, 32, QImage::Format_ARGB32_Premultiplied);
  icon.fill(Qt::transparent);
  {
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF band(1, 6, 30, 20);
    painter.setClipRect(band);
    flag.setAspectRatioMode(Qt::IgnoreAspectRatio);
    flag.render(&painter, band);
    painter.setClipping(false);
    // A frame keeps white parts of a flag apart from a light window.
    painter.setPen(QPen(QColor(0, 0, 0, 120), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(band.adjusted(-0.5, -0.5, 0.5, 0.5));
  }

  QImageWriter writer(args[2], "ico");
  if (!writer.write(icon.convertToFormat(QImage::Format_ARGB32))) {
    std::fprintf(stderr, "flagicon: %s: %s\n", qPrintable(args[2]), qPrintable(writer.errorString()));
    return 1;
  }
  return 0;
}
