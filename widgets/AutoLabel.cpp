#include "widgets/AutoLabel.h"

#include <algorithm>

namespace widgets {

AutoLabel::AutoLabel(const QString& name, const QString& text, int left, int top, Qt::Alignment alignment,
                     const QFont& font, QWidget* parent, int minWidth)
    : QLabel(text, parent), alignment_(alignment), minWidth_(minWidth), designPixelSize_(font.pixelSize()) {
  setObjectName(name);
  setFont(font);
  setAlignment(alignment | Qt::AlignTop);
  const int width = std::max(minWidth_, sizeHint().width());
  anchor_ = (alignment_ & Qt::AlignRight) ? left + width : left;
  move(left, top);
  Fit();
}

void AutoLabel::SetCaption(const QString& text) {
  if (text == this->text()) return;
  setText(text);
  Fit();
}

void AutoLabel::SetRightLimit(int x) {
  rightLimit_ = x;
  Fit();
}

void AutoLabel::Fit() {
  if (rightLimit_ > 0 && designPixelSize_ > 0 && !(alignment_ & Qt::AlignRight)) {
    QFont f = font();
    f.setPixelSize(designPixelSize_);
    while (f.pixelSize() > 9 && QFontMetrics(f).horizontalAdvance(text()) > rightLimit_ - anchor_) {
      f.setPixelSize(f.pixelSize() - 1);
    }
    if (f != font()) setFont(f);
  }
  const QSize hint = sizeHint();
  const int width = std::max(minWidth_, hint.width());
  const int left = (alignment_ & Qt::AlignRight) ? anchor_ - width : anchor_;
  setGeometry(left, y(), width, hint.height());
}

}  // namespace widgets
