#include "table/Unit2.h"

namespace table {

TForm2::TForm2(const i18n::LanguageState& language, TableState& state, QWidget* parent)
    : ModalForm(QStringLiteral("Form2"), 362, 108, parent), language_(language), state_(state) {
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setPixelSize(11);
  setFont(font);

  Label1 = new QLabel(this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setGeometry(16, 16, 185, 16);
  Edit1 = new QLineEdit(this);
  Edit1->setObjectName(QStringLiteral("Edit1"));
  Edit1->setGeometry(16, 40, 185, 21);
  Button1 = AddButton("Button1", QStringLiteral("OK"), {264, 24, 75, 25}, widgets::mrOk, [this] { Button1Click(); });
  Button2 = AddButton("Button2", QString(), {264, 56, 75, 25}, widgets::mrCancel);
}

void TForm2::FormShow() {
  Edit1->setText(state_.CommentBuffer);
  setWindowTitle(language_.Text(i18n::Txt::ChangeComment));
  Label1->setText(language_.Text(i18n::Txt::ColComment));
  Button2->setText(language_.Text(i18n::Txt::Cancel));
}

// The text as typed; the table keeps it on one line.
void TForm2::Button1Click() { state_.CommentBuffer = Edit1->text(); }

}  // namespace table
