#include "Unit6.h"

namespace dialogs {

TForm6::TForm6(QWidget* parent) : ModalForm(QStringLiteral("Form6"), 353, 256, parent) {}

}  // namespace dialogs
