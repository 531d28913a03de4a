// The frame of every dialog: fixed client size, only a close box, centred on the screen, a
// FormShow() that runs each time the dialog becomes visible, and the modal results OK (1) and
// Cancel (2). The close box and Escape end it with Cancel.
#pragma once

#include <QDialog>
#include <QPushButton>
#include <functional>

namespace widgets {

enum ModalResult : int { mrNone = 0, mrOk = 1, mrCancel = 2 };

class ModalForm : public QDialog {
  Q_OBJECT
 public:
  ModalForm(const QString& name, int clientWidth, int clientHeight, QWidget* parent = nullptr);

  // Shows the dialog modally and returns its modal result.
  int ShowModal();

  // A button of this dialog at `geometry` that ends it with `result` (mrOk makes it the default
  // button), after `before` has run.
  QPushButton* AddButton(const char* name, const QString& caption, QRect geometry, int result,
                         std::function<void()> before = {});
  void reject() override;

 protected:
  // Runs each time the dialog is about to become visible.
  virtual void FormShow() {}
  void showEvent(QShowEvent* event) override;
};

}  // namespace widgets
