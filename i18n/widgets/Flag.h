// The flag picture beside the language button: the icon file that text entry 23 names.
#pragma once

#include <QPixmap>
#include <QSize>
#include <QString>

#include "i18n/Language.h"

namespace i18n {

struct FlagPicture {
  // At the size asked for; null when the flag cannot be shown.
  QPixmap Picture;
  // Why not, in the operator's language; empty when the flag is shown.
  QString Problem;
};

// The flag of the current text set, found like every data file (DataFiles.h). An icon file may
// hold several sizes; the one nearest `size` is taken and scaled to it when it differs.
FlagPicture LoadFlag(const LanguageState& language, QSize size);

}  // namespace i18n
