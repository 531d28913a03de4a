#include "dialogs/StateBox.h"

namespace dialogs {

StateBox::StateBox(const QString& name, const QString& text, QWidget* parent) : QCheckBox(text, parent) {
  setObjectName(name);
  setTristate(true);
  setCheckState(Qt::PartiallyChecked);
}

void StateBox::nextCheckState() { setCheckState(IsChecked() ? Qt::Unchecked : Qt::Checked); }

}  // namespace dialogs
