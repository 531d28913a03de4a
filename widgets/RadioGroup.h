// A captioned group of exclusive choices with an item index (-1: nothing chosen).
//
// Changed() is emitted whenever the chosen item changes to another item, whether the operator or
// the program changed it, at once and inside the change: a handler that changes the item again
// runs nested. Choosing the item that is already chosen emits nothing; nor does clearing.
#pragma once

#include <QButtonGroup>
#include <QGroupBox>
#include <QRadioButton>
#include <QStringList>

namespace widgets {

class RadioGroup : public QGroupBox {
  Q_OBJECT
 public:
  // `name` becomes the object name of the group; its buttons are named after it with their index.
  RadioGroup(const QString& name, const QString& caption, const QStringList& items, QWidget* parent = nullptr);

  int ItemIndex() const;
  // Chooses item `index`; -1 (or any index outside the items) clears the choice.
  void SetItemIndex(int index);
  void SetItems(const QStringList& items);
  int ItemCount() const { return static_cast<int>(buttons_.size()); }
  // A group that lies out of sight takes no Tab stop: the keyboard would land on an invisible button.
  void SetKeyboardReachable(bool reachable);
  QRadioButton* Button(int index) const { return buttons_.value(index); }

 signals:
  void Changed();

 private:
  void Relayout();

  QButtonGroup group_;
  bool keyboardReachable_ = true;
  QList<QRadioButton*> buttons_;
};

}  // namespace widgets
