// TForm2: the comment dialog.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "i18n/Language.h"
#include "table/TableState.h"
#include "widgets/ModalForm.h"

namespace table {

class TForm2 : public widgets::ModalForm {
  Q_OBJECT
 public:
  TForm2(const i18n::LanguageState& language, TableState& state, QWidget* parent = nullptr);

  QLabel* Label1;
  QLineEdit* Edit1;
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
