#include "widgets/Art.h"

#include <QGuiApplication>
#include <QPainter>
#include <QSvgRenderer>

namespace widgets {

QPixmap LoadArt(const QString& name, int width, int height) {
  QSvgRenderer renderer(QStringLiteral(":/art/") + name + QStringLiteral(".svg"));
  if (!renderer.isValid()) return {};
  const qreal ratio = qApp != nullptr ? qApp->devicePixelRatio() : 1.0;
  QPixmap pixmap(QSize(width, height) * ratio);
  pixmap.setDevicePixelRatio(ratio);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  renderer.render(&painter, QRectF(0, 0, width, height));
  return pixmap;
}

}  // namespace widgets
