#include "widgets/ModalForm.h"

#include <QShowEvent>

#include "widgets/Look.h"

namespace widgets {

ModalForm::ModalForm(const QString& name, int clientWidth, int clientHeight, QWidget* parent) : QDialog(parent) {
  setObjectName(name);
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(clientWidth, clientHeight);
}

int ModalForm::ShowModal() { return exec(); }

QPushButton* ModalForm::AddButton(const char* name, const QString& caption, QRect geometry, int result,
                                  std::function<void()> before) {
  auto* button = new QPushButton(caption, this);
  button->setObjectName(QString::fromLatin1(name));
  button->setGeometry(geometry);
  button->setDefault(result == mrOk);
  connect(button, &QPushButton::clicked, this, [this, result, before = std::move(before)] {
    if (before) before();
    done(result);
  });
  return button;
}

void ModalForm::reject() { done(mrCancel); }

void ModalForm::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) {
    CentreOnScreen(this);
    FormShow();
  }
  QDialog::showEvent(event);
}

}  // namespace widgets
