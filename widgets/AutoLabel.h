// A label that sizes itself to its text, as a caption does: a left-aligned one keeps its left
// edge, a right-aligned one keeps its right edge and grows to the left.
#pragma once

#include <QLabel>

namespace widgets {

class AutoLabel : public QLabel {
  Q_OBJECT
 public:
  // The label's edge is fixed by its design text at (left, top); it is never narrower than
  // `minWidth`.
  AutoLabel(const QString& name, const QString& text, int left, int top, Qt::Alignment alignment, const QFont& font,
            QWidget* parent, int minWidth = 0);

  // Sets the text and resizes the label around its fixed edge.
  void SetCaption(const QString& text);
  // A text wider than the room up to this x (the window's edge) is set in smaller type instead
  // of being cut off. 0: no limit.
  void SetRightLimit(int x);

 private:
  void Fit();

  Qt::Alignment alignment_;
  int anchor_;  // the left edge, or the right edge of a right-aligned label
  int minWidth_;
  int rightLimit_ = 0;
  int designPixelSize_;
};

}  // namespace widgets
