// TselectLanguage: the language dialog.
#pragma once

#include <QPushButton>

#include "i18n/Language.h"
#include "widgets/ModalForm.h"
#include "widgets/RadioGroup.h"

namespace i18n {

class TselectLanguage : public widgets::ModalForm {
  Q_OBJECT
 public:
  explicit TselectLanguage(LanguageState& language, QWidget* parent = nullptr);

  widgets::RadioGroup* RadioGroup1;
  QPushButton* Button1;

 protected:
  void FormShow() override;

 private:
  void Button1Click();

  LanguageState& language_;
};

}  // namespace i18n
