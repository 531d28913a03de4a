// TForm7: the admin dialog. It releases or locks the instrument's 20° and 60° geometries and its
// dark measurement, and releases all three at once. Every change becomes a request for the
// polling cycle; the dialog waits for no answer, so its boxes and the lock flags show what it last
// requested. It keeps at most one geometry locked: locking the second releases the first again.
//
// The timers belong to the dialog object, not to its visibility: closing the dialog does not stop
// a dark-measurement change, a geometry check or the release-all sequence that has begun.
#pragma once

#include <QPushButton>
#include <QTimer>

#include "dialogs/GeometryState.h"
#include "dialogs/StateBox.h"
#include "i18n/Language.h"
#include "protocol/CycleState.h"
#include "widgets/ModalForm.h"

namespace dialogs {

class TForm6;

// What the next geometry check has to do (GeometryState::PendingGeometryChange).
enum PendingChange : int {
  kPendingNone = 0,
  kPending60Changed = 1,
  kPending20Changed = 2,
  kPendingRelease20 = 3,
  kPendingRelease60 = 4,
};

class TForm7 : public widgets::ModalForm {
  Q_OBJECT
 public:
  // `form6` is the measuring-geometry dialog, which the start-up sequence uses while it is hidden.
  TForm7(const i18n::LanguageState& language, protocol::CycleState& cycle, GeometryState& geometry, TForm6& form6,
         QWidget* parent = nullptr);

  StateBox* geo20;
  StateBox* geo60;
  StateBox* geodark;
  QPushButton* allfree;
  QPushButton* Button1;
  QTimer* Timer1;  // second step of a dark-measurement change
  QTimer* Timer2;  // end of a dark-measurement change
  QTimer* Timer3;  // steps of the release-all sequence
  QTimer* Timer4;  // geometry check after a change of geo20 or geo60

  // Step of the release-all sequence: -1 before the first, 0 to 5 while it runs, 0 after it.
  int ReleaseStep = -1;

  void geo20Click();
  void geo60Click();
  void geodarkClick();
  void allfreeClick();
  void Timer1Timer();
  void Timer2Timer();
  void Timer3Timer();
  void Timer4Timer();

 protected:
  void FormShow() override;

 private:
  // Switches a timer on; one that is already on keeps its phase.
  static void SwitchOn(QTimer* timer);

  const i18n::LanguageState& language_;
  protocol::CycleState& cycle_;
  GeometryState& geometry_;
  TForm6& form6_;
};

}  // namespace dialogs
