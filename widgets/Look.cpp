#include "widgets/Look.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>

namespace widgets {

QColor ColourFromBgr(std::uint32_t bgr) {
  return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                static_cast<int>((bgr >> 16) & 0xFF));
}

void SetTextColour(QWidget* widget, const QColor& colour) {
  QPalette p = widget->palette();
  p.setColor(QPalette::WindowText, colour);
  widget->setPalette(p);
}

QFont PixelFont(const QFont& base, int pixels, bool bold) {
  QFont f = base;
  f.setPixelSize(pixels);
  f.setBold(bold);
  return f;
}

QFont TitleFont(const QFont& base, const QString& text, int width) {
  // Arial is narrower than the fonts that stand in for the window font; the registered sign
  // after the title keeps its place either way.
  QFont title = PixelFont(base, 32, true);
  title.setFamily(QStringLiteral("Arial"));
  while (title.pixelSize() > 16 && QFontMetrics(title).horizontalAdvance(text) > width) {
    title.setPixelSize(title.pixelSize() - 1);
  }
  return title;
}

void CentreOnScreen(QWidget* window) {
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    // The frame's size, title bar included, once the platform knows it.
    window->move(screen->availableGeometry().center() - QRect({0, 0}, window->frameGeometry().size()).center());
  }
}

}  // namespace widgets
