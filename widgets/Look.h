// Small helpers for building windows: named controls, fonts in pixels, text colours, and the
// product title that both the main window and the info dialog carry.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>
#include <cstdint>

namespace widgets {

// The product title's colour as the platform writes colours, 0x00BBGGRR: red 65, green 120,
// blue 184.
inline constexpr std::uint32_t kTitleColour = 0xB87841;

QColor ColourFromBgr(std::uint32_t bgr);
void SetTextColour(QWidget* widget, const QColor& colour);

// `base` at `pixels` pixels.
QFont PixelFont(const QFont& base, int pixels, bool bold = false);

// The title's bold type at up to 32 pixels, as large as lets `text` end within `width`.
QFont TitleFont(const QFont& base, const QString& text, int width);

// Places a top-level window in the middle of the primary screen's free area.
void CentreOnScreen(QWidget* window);

// Gives `widget` its object name and returns it.
template <typename T>
T* Named(T* widget, const char* objectName) {
  widget->setObjectName(QString::fromLatin1(objectName));
  return widget;
}

}  // namespace widgets
