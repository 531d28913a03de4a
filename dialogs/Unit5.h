// TForm5: the info dialog.
#pragma once

#include "ModalForm.h"

namespace dialogs {

class TForm5 : public widgets::ModalForm {
  Q_OBJECT
 public:
  explicit TForm5(QWidget* parent = nullptr);
};

}  // namespace dialogs
