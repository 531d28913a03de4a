// TForm6: the measuring-geometry dialog. The operator chooses 20°, 60° or both; a geometry the
// admin dialog has locked is refused and the choice moves to the other one. The dialog never
// talks to the instrument: the angle command turns its choice into a request after OK.
#pragma once

#include <QPushButton>

#include "dialogs/GeometryState.h"
#include "i18n/Language.h"
#include "protocol/CycleState.h"
#include "widgets/ModalForm.h"
#include "widgets/RadioGroup.h"

namespace dialogs {

class TForm6 : public widgets::ModalForm {
  Q_OBJECT
 public:
  TForm6(const i18n::LanguageState& language, protocol::CycleState& cycle, GeometryState& geometry,
         QWidget* parent = nullptr);

  widgets::RadioGroup* MeasGeo;
  QPushButton* Button1;
  QPushButton* Button2;

  // The choice for the angle command: 0 none yet, 1 = 20°, 2 = 60°, 3 = 20° + 60° (the checked
  // item plus one). Kept between shows.
  int GeometryChoice = 0;

  // Runs on every change of the checked item, nested when it changes the item itself. The
  // start-up sequence also calls it on the hidden dialog.
  void MeasGeoClick();

 protected:
  void FormShow() override;

 private:
  const i18n::LanguageState& language_;
  protocol::CycleState& cycle_;
  GeometryState& geometry_;
};

}  // namespace dialogs
