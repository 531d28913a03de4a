// TForm3: the export options dialog.
#pragma once

#include <QPushButton>

#include "i18n/Language.h"
#include "table/TableState.h"
#include "widgets/ModalForm.h"
#include "widgets/RadioGroup.h"

namespace table {

class TForm3 : public widgets::ModalForm {
  Q_OBJECT
 public:
  TForm3(const i18n::LanguageState& language, TableState& state, QWidget* parent = nullptr);

  widgets::RadioGroup* RadioGroup1;
  QPushButton* Button1;
  QPushButton* Button2;

 protected:
  void FormShow() override;

 private:
  void Button1Click();

  const i18n::LanguageState& language_;
  TableState& state_;
};

}  // namespace table
