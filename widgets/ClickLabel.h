// A picture or text label that acts on a click, with a pointing-hand cursor.
#pragma once

#include <QLabel>

namespace widgets {

class ClickLabel : public QLabel {
  Q_OBJECT
 public:
  explicit ClickLabel(QWidget* parent = nullptr);

 signals:
  void clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace widgets
