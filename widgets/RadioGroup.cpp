#include "widgets/RadioGroup.h"

#include <QVBoxLayout>

namespace widgets {

RadioGroup::RadioGroup(const QString& name, const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent) {
  setObjectName(name);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 2, 4, 2);
  layout->setSpacing(0);
  group_.setExclusive(true);
  SetItems(items);
}

void RadioGroup::SetKeyboardReachable(bool reachable) {
  keyboardReachable_ = reachable;
  for (QRadioButton* b : buttons_) b->setFocusPolicy(reachable ? Qt::StrongFocus : Qt::NoFocus);
}

void RadioGroup::SetItems(const QStringList& items) {
  for (int i = 0; i < items.size() && i < buttons_.size(); ++i) buttons_[i]->setText(items[i]);
  while (buttons_.size() > items.size()) {
    QRadioButton* b = buttons_.takeLast();
    group_.removeButton(b);
    delete b;
  }
  while (buttons_.size() < items.size()) {
    const int index = static_cast<int>(buttons_.size());
    auto* b = new QRadioButton(items[index], this);
    b->setObjectName(objectName() + QString::number(index));
    if (!keyboardReachable_) b->setFocusPolicy(Qt::NoFocus);
    group_.addButton(b, index);
    connect(b, &QRadioButton::toggled, this, [this](bool on) {
      if (on) emit Changed();
    });
    layout()->addWidget(b);
    buttons_.append(b);
  }
}

int RadioGroup::ItemIndex() const { return group_.checkedId(); }

void RadioGroup::SetItemIndex(int index) {
  if (index >= 0 && index < buttons_.size()) {
    buttons_[index]->setChecked(true);  // emits Changed() when it was not chosen
    return;
  }
  if (QAbstractButton* checked = group_.checkedButton()) {
    group_.setExclusive(false);
    checked->setChecked(false);
    group_.setExclusive(true);
  }
}

}  // namespace widgets
