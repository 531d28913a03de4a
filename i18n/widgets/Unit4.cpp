#include "i18n/widgets/Unit4.h"

namespace i18n {

TselectLanguage::TselectLanguage(LanguageState& language, QWidget* parent)
    : ModalForm(QStringLiteral("selectLanguage"), 418, 231, parent), language_(language) {
  setWindowTitle(QStringLiteral("Language/Sprache/Langue"));
  RadioGroup1 =
      new widgets::RadioGroup(QStringLiteral("RadioGroup1"), QString(),
                              {QStringLiteral("English"), QStringLiteral("German"), QStringLiteral("Francais")}, this);
  RadioGroup1->setGeometry(104, 32, 185, 105);
  Button1 = AddButton("Button1", QStringLiteral("OK"), {168, 168, 75, 25}, widgets::mrOk, [this] { Button1Click(); });
}

void TselectLanguage::FormShow() { RadioGroup1->SetItemIndex(language_.LanguageIndex); }

void TselectLanguage::Button1Click() {
  // With no item chosen the language stays as it was rather than becoming "none".
  if (RadioGroup1->ItemIndex() >= 0) language_.LanguageIndex = RadioGroup1->ItemIndex();
}

}  // namespace i18n
