#include "table/Unit3.h"

namespace table {

TForm3::TForm3(const i18n::LanguageState& language, TableState& state, QWidget* parent)
    : ModalForm(QStringLiteral("Form3"), 406, 225, parent), language_(language), state_(state) {
  setWindowTitle(QStringLiteral("Export"));
  RadioGroup1 =
      new widgets::RadioGroup(QStringLiteral("RadioGroup1"), QString(), {QString(), QString(), QString()}, this);
  RadioGroup1->setGeometry(48, 32, 321, 105);
  Button1 = AddButton("Button1", QStringLiteral("OK"), {104, 168, 75, 25}, widgets::mrOk, [this] { Button1Click(); });
  Button2 = AddButton("Button2", QString(), {240, 168, 75, 25}, widgets::mrCancel);
}

void TForm3::FormShow() {
  RadioGroup1->setTitle(language_.Text(i18n::Txt::Options));
  RadioGroup1->SetItems({language_.Text(i18n::Txt::ExportClipboard), language_.Text(i18n::Txt::ExportFile),
                         language_.Text(i18n::Txt::ExportPrint)});
  Button2->setText(language_.Text(i18n::Txt::Cancel));
  RadioGroup1->SetItemIndex(-1);
}

void TForm3::Button1Click() { state_.ExportOption = RadioGroup1->ItemIndex(); }

}  // namespace table
