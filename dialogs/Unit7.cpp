#include "dialogs/Unit7.h"

#include <algorithm>

#include "dialogs/Unit6.h"
#include "protocol/CycleState.h"

namespace dialogs {
namespace {

QTimer* DialogTimer(const char* name, int intervalMs, QObject* owner) {
  auto* t = new QTimer(owner);
  t->setObjectName(QString::fromLatin1(name));
  t->setInterval(intervalMs);
  // The steps are spaced 200 and 500 ms apart; keep them in their order.
  t->setTimerType(Qt::PreciseTimer);
  return t;
}

}  // namespace

TForm7::TForm7(const i18n::LanguageState& language, protocol::CycleState& cycle, GeometryState& geometry, TForm6& form6,
               QWidget* parent)
    : ModalForm(QStringLiteral("Form7"), 204, 208, parent),
      language_(language),
      cycle_(cycle),
      geometry_(geometry),
      form6_(form6) {
  setWindowTitle(QStringLiteral("Admin"));
  setFont(QFont(QStringLiteral("Tahoma"), 8));

  geo20 = new StateBox(QStringLiteral("geo20"), QStringLiteral("Geometrie 20°"), this);
  geo20->setGeometry(24, 15, 121, 17);
  geo60 = new StateBox(QStringLiteral("geo60"), QStringLiteral("Geometrie 60°"), this);
  geo60->setGeometry(24, 48, 121, 17);
  geodark = new StateBox(QStringLiteral("geodark"), QStringLiteral("Dunkelmessung"), this);
  geodark->setGeometry(24, 80, 121, 17);
  allfree = new QPushButton(QStringLiteral("Alles freigeben"), this);
  allfree->setObjectName(QStringLiteral("allfree"));
  allfree->setGeometry(56, 112, 89, 25);
  Button1 = AddButton("Button1", QStringLiteral("OK"), {56, 160, 89, 25}, widgets::mrOk);

  Timer1 = DialogTimer("Timer1", 200, this);
  Timer2 = DialogTimer("Timer2", 200, this);
  Timer3 = DialogTimer("Timer3", 500, this);
  Timer4 = DialogTimer("Timer4", 500, this);

  // stateChanged runs at once on every change of a box, also a programmatic one, and not when
  // the box is set to the state it has.
  connect(geo20, &QCheckBox::stateChanged, this, &TForm7::geo20Click);
  connect(geo60, &QCheckBox::stateChanged, this, &TForm7::geo60Click);
  connect(geodark, &QCheckBox::stateChanged, this, &TForm7::geodarkClick);
  connect(allfree, &QPushButton::clicked, this, &TForm7::allfreeClick);
  connect(Timer1, &QTimer::timeout, this, &TForm7::Timer1Timer);
  connect(Timer2, &QTimer::timeout, this, &TForm7::Timer2Timer);
  connect(Timer3, &QTimer::timeout, this, &TForm7::Timer3Timer);
  connect(Timer4, &QTimer::timeout, this, &TForm7::Timer4Timer);
}

void TForm7::SwitchOn(QTimer* timer) {
  if (!timer->isActive()) timer->start();
}

void TForm7::FormShow() {
  setWindowTitle(language_.Text(i18n::Txt::MeasuringGeometry));
  geo20->setText(language_.Text(i18n::Txt::Geometry20));
  geo60->setText(language_.Text(i18n::Txt::Geometry60));
  geodark->setText(language_.Text(i18n::Txt::DarkMeasurement));
  allfree->setText(language_.Text(i18n::Txt::ReleaseAll));
  // A caption wider than the box's design width gets the room up to the dialog's edge.
  for (StateBox* box : {geo20, geo60, geodark}) {
    box->resize(std::clamp(box->sizeHint().width(), 121, width() - box->x() - 4), box->height());
  }
  // The boxes keep what the dialog last requested; at start-up everything is released.
  if (geometry_.StartupGeometryPending) allfreeClick();
}

// ---- geometries ------------------------------------------------------------------------------

void TForm7::geo20Click() {
  geometry_.PendingGeometryChange = kPending20Changed;
  SwitchOn(Timer4);
}

void TForm7::geo60Click() {
  geometry_.PendingGeometryChange = kPending60Changed;
  SwitchOn(Timer4);
}

void TForm7::Timer4Timer() {
  // Only the box changed last is examined. Locking the second geometry keeps the check running
  // so that its next tick releases the first one again.
  int next = kPendingNone;
  switch (geometry_.PendingGeometryChange) {
    case kPending20Changed:
      if (geo20->IsChecked()) {
        cycle_.RaiseRequest(protocol::rc::kRelease20);
        geometry_.Geometry20Locked = false;
        Timer4->stop();
      } else {
        cycle_.RaiseRequest(protocol::rc::kLock20);
        geometry_.Geometry20Locked = true;
        if (geo60->IsChecked()) {
          Timer4->stop();
        } else {
          next = kPendingRelease60;
        }
      }
      break;
    case kPending60Changed:
      if (geo60->IsChecked()) {
        cycle_.RaiseRequest(protocol::rc::kRelease60);
        geometry_.Geometry60Locked = false;
        Timer4->stop();
      } else {
        cycle_.RaiseRequest(protocol::rc::kLock60);
        geometry_.Geometry60Locked = true;
        if (geo20->IsChecked()) {
          Timer4->stop();
        } else {
          next = kPendingRelease20;
        }
      }
      break;
    case kPendingRelease60:
      cycle_.RaiseRequest(protocol::rc::kRelease60);
      geometry_.Geometry60Locked = false;
      Timer4->stop();
      geo60->setCheckState(Qt::Checked);  // its handler switches the check on again
      break;
    case kPendingRelease20:
      cycle_.RaiseRequest(protocol::rc::kRelease20);
      geometry_.Geometry20Locked = false;
      Timer4->stop();
      geo20->setCheckState(Qt::Checked);
      break;
    default:
      break;
  }

  if (!geometry_.Geometry20Locked && !geometry_.Geometry60Locked) {
    geometry_.SelectedGeometry = 2;
  } else if (geometry_.Geometry20Locked) {
    geometry_.SelectedGeometry = 1;
  } else {
    geometry_.SelectedGeometry = 0;
  }
  // Overwrites what a box handler above may have set: the check then ticks on with nothing to do.
  geometry_.PendingGeometryChange = next;
}

// ---- dark measurement ------------------------------------------------------------------------

void TForm7::geodarkClick() {
  geodark->setEnabled(false);
  Button1->setEnabled(false);
  cycle_.RaiseRequest(geodark->IsChecked() ? protocol::rc::kReleaseDark1 : protocol::rc::kLockDark1);
  SwitchOn(Timer1);
}

void TForm7::Timer1Timer() {
  cycle_.RaiseRequest(geodark->IsChecked() ? protocol::rc::kReleaseDark2 : protocol::rc::kLockDark2);
  Timer1->stop();
  SwitchOn(Timer2);
}

void TForm7::Timer2Timer() {
  geodark->setEnabled(true);
  Button1->setEnabled(true);
  Timer2->stop();
}

// ---- release all -----------------------------------------------------------------------------

void TForm7::allfreeClick() {
  geo20->setEnabled(false);
  geo60->setEnabled(false);
  Button1->setEnabled(false);
  geodark->setCheckState(Qt::Checked);
  ReleaseStep = 0;
  SwitchOn(Timer3);
}

void TForm7::Timer3Timer() {
  switch (ReleaseStep) {
    case 0:
      cycle_.RaiseRequest(protocol::rc::kRelease20);
      geo20->setCheckState(Qt::Checked);
      ReleaseStep = 1;
      break;
    case 1:
      cycle_.RaiseRequest(protocol::rc::kRelease60);
      geo60->setCheckState(Qt::Checked);
      ReleaseStep = 2;
      break;
    case 2:
      cycle_.RaiseRequest(protocol::rc::kReleaseDark1);
      ReleaseStep = 3;
      break;
    case 3:
      cycle_.RaiseRequest(protocol::rc::kReleaseDark2);
      geodark->setEnabled(false);
      ReleaseStep = 4;
      break;
    case 4:
      ReleaseStep = 5;
      for (QWidget* w : std::initializer_list<QWidget*>{geo20, geo60, geodark, Button1}) w->setEnabled(true);
      if (geometry_.StartupGeometryPending) {
        if (isVisible()) done(widgets::mrOk);
        form6_.MeasGeoClick();
      }
      break;
    case 5:
      ReleaseStep = 0;
      cycle_.Restart();
      Timer3->stop();
      break;
    default:
      break;
  }
}

}  // namespace dialogs
