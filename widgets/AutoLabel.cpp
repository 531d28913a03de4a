#include "AutoLabel.h"

#include <algorithm>

namespace widgets {

AutoLabel::AutoLabel(const QString& name, const QString& text, int left, int top, Qt::Alignment alignment,
                     const QFont& font, QWidget* parent, int minWidth)
    : QLabel(text, parent), alignment_(alignment), minWidth_(minWidth) {
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

void AutoLabel::Fit() {
  const QSize hint = sizeHint();
  const int width = std::max(minWidth_, hint.width());
  const int left = (alignment_ & Qt::AlignRight) ? anchor_ - width : anchor_;
  setGeometry(left, y(), width, hint.height());
}

}  // namespace widgets
