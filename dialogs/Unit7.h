// TForm7: the admin dialog.
#pragma once

#include "ModalForm.h"

namespace dialogs {

class TForm7 : public widgets::ModalForm {
  Q_OBJECT
 public:
  explicit TForm7(QWidget* parent = nullptr);
};

}  // namespace dialogs
