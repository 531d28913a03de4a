// A three-state check box for a released (checked), locked (unchecked) or undetermined (grayed)
// state. The operator can only release or lock: a click moves grayed or unchecked to checked and
// checked to unchecked. Only the program sets it grayed. Qt's own three-state cycle would pass
// through grayed, which means nothing to the instrument.
#pragma once

#include <QCheckBox>

namespace dialogs {

class StateBox : public QCheckBox {
  Q_OBJECT
 public:
  // Starts grayed.
  StateBox(const QString& name, const QString& text, QWidget* parent = nullptr);

  // Only the checked state counts as checked; grayed does not.
  bool IsChecked() const { return checkState() == Qt::Checked; }

 protected:
  void nextCheckState() override;
};

}  // namespace dialogs
