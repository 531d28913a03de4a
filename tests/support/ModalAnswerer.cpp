#include "tests/support/ModalAnswerer.h"

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QDateTime>
#include <QDialog>

namespace testing_support {
namespace {

qint64 Now() { return QDateTime::currentMSecsSinceEpoch(); }

void CloseModal(QWidget* w) {
  if (auto* dialog = qobject_cast<QDialog*>(w)) {
    dialog->reject();
  } else {
    w->close();
  }
}

}  // namespace

ModalAnswerer::ModalAnswerer(int timeoutMs) : timeoutMs_(timeoutMs) {
  timer_.setInterval(5);
  connect(&timer_, &QTimer::timeout, this, &ModalAnswerer::Poll);
  timer_.start();
}

ModalAnswerer::~ModalAnswerer() {
  for (const Expected& e : expected_) ADD_FAILURE() << "expected modal window never appeared: " << e.what.toStdString();
}

void ModalAnswerer::Expect(Action action, const QString& what) { expected_.push_back({std::move(action), what}); }

void ModalAnswerer::ExpectMessageBox(QMessageBox::StandardButton button, QString* text, QString* title) {
  Expect(
      [button, text, title](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr) << "the modal window is no message box: " << modal->metaObject()->className();
        if (text != nullptr) *text = box->text();
        if (title != nullptr) *title = box->windowTitle();
        QAbstractButton* b = box->button(button);
        ASSERT_NE(b, nullptr) << "the message box has no such button";
        b->click();
      },
      QStringLiteral("message box"));
}

void ModalAnswerer::ExpectButton(const QString& buttonName) {
  Expect(
      [buttonName](QWidget* modal) {
        auto* b = modal->findChild<QAbstractButton*>(buttonName);
        ASSERT_NE(b, nullptr) << "no button " << buttonName.toStdString() << " in "
                              << modal->objectName().toStdString();
        b->click();
      },
      buttonName);
}

bool ModalAnswerer::WaitAllAnswered(int timeoutMs) {
  const qint64 end = Now() + timeoutMs;
  while ((!expected_.empty() || inFlight_ > 0) && Now() < end) {
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return expected_.empty() && inFlight_ == 0;
}

bool ModalAnswerer::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Hide && watched == answered_) {
    watched->removeEventFilter(this);
    answered_ = nullptr;
  }
  return QObject::eventFilter(watched, event);
}

void ModalAnswerer::Poll() {
  QWidget* modal = QApplication::activeModalWidget();
  if (modal == nullptr || !modal->isVisible()) return;

  if (modal == answered_) {
    if (Now() - answeredAt_ > timeoutMs_) {
      ADD_FAILURE() << "modal window " << modal->objectName().toStdString() << " stayed open after its answer";
      CloseModal(modal);
    }
    return;
  }
  if (expected_.empty()) {
    if (modal != unexpected_) {
      unexpected_ = modal;
      unexpectedAt_ = Now();
    } else if (Now() - unexpectedAt_ > timeoutMs_) {
      ADD_FAILURE() << "unexpected modal window " << modal->metaObject()->className() << " "
                    << modal->objectName().toStdString();
      CloseModal(modal);
    }
    return;
  }
  Expected next = std::move(expected_.front());
  expected_.pop_front();
  answered_ = modal;
  answeredAt_ = Now();
  modal->installEventFilter(this);
  // The action runs once this poll has returned: an action that opens a further modal window
  // (a dialog asking before it closes) then finds this timer free to answer that one too.
  ++inFlight_;
  QTimer::singleShot(0, this, [this, action = std::move(next.action), target = QPointer<QWidget>(modal)] {
    if (target) action(target);
    --inFlight_;
  });
}

}  // namespace testing_support
