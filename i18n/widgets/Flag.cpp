#include "i18n/widgets/Flag.h"

#include <QImageReader>
#include <cstdlib>

#include "i18n/DataFiles.h"
#include "i18n/ExtraTexts.h"

namespace i18n {
namespace {

int Distance(QSize a, QSize b) { return std::abs(a.width() - b.width()) + std::abs(a.height() - b.height()); }

}  // namespace

FlagPicture LoadFlag(const LanguageState& language, QSize size) {
  const QString name = language.Text(Txt::FlagFile);
  const QString path = FindDataFile(language, name);
  if (path.isEmpty()) return {{}, ExtraText(Extra::FlagMissing, language.LanguageIndex).arg(name)};

  QImageReader reader(path);
  QImage best;
  const int count = reader.imageCount() > 1 ? reader.imageCount() : 1;
  for (int i = 0; i < count; ++i) {
    if (i > 0 && !reader.jumpToImage(i)) break;
    const QImage image = reader.read();
    if (image.isNull()) continue;
    if (best.isNull() || Distance(image.size(), size) < Distance(best.size(), size)) best = image;
  }
  if (best.isNull()) return {{}, ExtraText(Extra::FlagUnreadable, language.LanguageIndex).arg(path)};
  if (best.size() != size) best = best.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  return {QPixmap::fromImage(best), {}};
}

}  // namespace i18n
