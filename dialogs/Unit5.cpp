#include "Unit5.h"

namespace dialogs {

TForm5::TForm5(QWidget* parent) : ModalForm(QStringLiteral("Form5"), 514, 297, parent) {}

}  // namespace dialogs
