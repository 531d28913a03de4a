#include "dialogs/Unit6.h"

namespace dialogs {
namespace {

enum Item : int { kNone = -1, kItem20 = 0, kItem60 = 1, kItemBoth = 2 };

}  // namespace

TForm6::TForm6(const i18n::LanguageState& language, protocol::CycleState& cycle, GeometryState& geometry,
               QWidget* parent)
    : ModalForm(QStringLiteral("Form6"), 353, 256, parent), language_(language), cycle_(cycle), geometry_(geometry) {
  setWindowTitle(QStringLiteral("Form6"));
  setFont(QFont(QStringLiteral("Tahoma"), 8));

  MeasGeo = new widgets::RadioGroup(QStringLiteral("MeasGeo"), QStringLiteral("Meas Geo"),
                                    {QStringLiteral("20°"), QStringLiteral("60°"), QStringLiteral("20° + 60°")}, this);
  MeasGeo->setGeometry(46, 29, 251, 116);
  Button1 = AddButton("Button1", QStringLiteral("OK"), {88, 184, 75, 25}, widgets::mrOk);
  Button2 = AddButton("Button2", QStringLiteral("Abbruch"), {192, 184, 75, 25}, widgets::mrCancel);

  connect(MeasGeo, &widgets::RadioGroup::Changed, this, &TForm6::MeasGeoClick);
}

void TForm6::FormShow() {
  setWindowTitle(language_.Text(i18n::Txt::MeasuringGeometry));
  MeasGeo->setTitle(language_.Text(i18n::Txt::MeasuringGeometry));
  Button2->setText(language_.Text(i18n::Txt::Cancel));
  // Each of these runs MeasGeoClick when it changes the checked item.
  MeasGeo->SetItemIndex(geometry_.SelectedGeometry);
  if (geometry_.Geometry20Locked) MeasGeo->SetItemIndex(kItem60);
  if (geometry_.Geometry60Locked) MeasGeo->SetItemIndex(kItem20);
}

void TForm6::MeasGeoClick() {
  // Each step looks at the checked item afresh: a nested run may have moved it.
  if (geometry_.StartupGeometryPending) {
    MeasGeo->SetItemIndex(kItemBoth);
    cycle_.Restart();
    geometry_.StartupGeometryPending = false;
  }

  // With both geometries locked there is nothing left to offer, and moving the check from one
  // locked item to the other would never end. Nothing stays checked and OK requests nothing;
  // the remembered geometry is kept for when a lock is released again. Clearing the check runs
  // no handler, so this ends here.
  if (geometry_.Geometry20Locked && geometry_.Geometry60Locked) {
    MeasGeo->SetItemIndex(kNone);
    GeometryChoice = 0;
    return;
  }

  if (MeasGeo->ItemIndex() == kItem20) {
    if (geometry_.Geometry20Locked) {
      MeasGeo->SetItemIndex(kItem60);
    } else {
      GeometryChoice = 1;
      geometry_.SelectedGeometry = kItem20;
    }
  }
  if (MeasGeo->ItemIndex() == kItem60) {
    if (geometry_.Geometry60Locked) {
      MeasGeo->SetItemIndex(kItem20);
    } else {
      GeometryChoice = 2;
      geometry_.SelectedGeometry = kItem60;
    }
  }
  if (MeasGeo->ItemIndex() == kItemBoth) {
    geometry_.SelectedGeometry = kItemBoth;
    GeometryChoice = 3;
    if (geometry_.Geometry20Locked) MeasGeo->SetItemIndex(kItem60);
    if (geometry_.Geometry60Locked) MeasGeo->SetItemIndex(kItem20);
  }
}

}  // namespace dialogs
