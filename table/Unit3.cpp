#include "Unit3.h"

namespace table {

TForm3::TForm3(const i18n::LanguageState& language, TableState& state, QWidget* parent)
    : ModalForm(QStringLiteral("Form3"), 406, 225, parent), language_(language), state_(state) {
  setWindowTitle(QStringLiteral("Export"));
  RadioGroup1 =
      new widgets::RadioGroup(QStringLiteral("RadioGroup1"), QString(), {QString(), QString(), QString()}, this);
  RadioGroup1->setGeometry(48, 32, 321, 105);
  Button1 = new QPushButton(QStringLiteral("OK"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(104, 168, 75, 25);
  Button1->setDefault(true);
  Button2 = new QPushButton(this);
  Button2->setObjectName(QStringLiteral("Button2"));
  Button2->setGeometry(240, 168, 75, 25);

  connect(Button1, &QPushButton::clicked, this, [this] {
    Button1Click();
    done(widgets::mrOk);
  });
  connect(Button2, &QPushButton::clicked, this, [this] { done(widgets::mrCancel); });
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
