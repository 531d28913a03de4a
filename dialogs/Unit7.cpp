#include "Unit7.h"

namespace dialogs {

TForm7::TForm7(QWidget* parent) : ModalForm(QStringLiteral("Form7"), 204, 208, parent) {}

}  // namespace dialogs
