// TForm6: the measuring-geometry dialog.
#pragma once

#include "ModalForm.h"

namespace dialogs {

class TForm6 : public widgets::ModalForm {
  Q_OBJECT
 public:
  explicit TForm6(QWidget* parent = nullptr);
};

}  // namespace dialogs
