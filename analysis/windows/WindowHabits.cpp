#include "analysis/windows/WindowHabits.h"

#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QTimer>

namespace analysis {
namespace {

constexpr int kNoticeMs = 5000;

}  // namespace

bool IsCloseKey(const QKeyEvent& event) {
  if (event.key() == Qt::Key_Escape && event.modifiers() == Qt::NoModifier) return true;
  if (event.key() == Qt::Key_W && event.modifiers() == Qt::ControlModifier) return true;
  return event.matches(QKeySequence::Close);
}

void ShowNotice(QLabel* label, const QString& text) {
  label->setText(text);
  // One timer per label, started again by each notice, so that a second notice gets its full time.
  auto* timer = label->findChild<QTimer*>(QStringLiteral("NoticeTimer"), Qt::FindDirectChildrenOnly);
  if (timer == nullptr) {
    timer = new QTimer(label);
    timer->setObjectName(QStringLiteral("NoticeTimer"));
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, label, &QLabel::clear);
  }
  timer->start(kNoticeMs);
}

}  // namespace analysis
