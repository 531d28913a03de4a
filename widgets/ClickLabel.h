// A picture or text label that acts on a click, with a pointing-hand cursor. The keyboard reaches it
// too: Tab stops on it (a click does not take the focus, as with the pictures it stands for), it
// shows a focus frame, and Space or Enter acts as a click.
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
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace widgets
