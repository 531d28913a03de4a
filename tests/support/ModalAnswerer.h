// Answers the modal dialogs and message boxes that the code under test opens, so that a test
// drives them as the operator would: each expected modal widget, once active, gets its action
// (typically a click on one of its real buttons). A modal widget that nobody expected, or one
// still open long after its answer, is closed and fails the test instead of hanging it.
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <deque>
#include <functional>

namespace testing_support {

class ModalAnswerer : public QObject {
  Q_OBJECT
 public:
  using Action = std::function<void(QWidget* modal)>;

  explicit ModalAnswerer(int timeoutMs = 5000);
  ~ModalAnswerer() override;

  // The next modal widget that becomes active gets `action`.
  void Expect(Action action, const QString& what = QString());
  // Shortcuts: press a standard button of a message box, or the button with this object name.
  void ExpectMessageBox(QMessageBox::StandardButton button, QString* text = nullptr, QString* title = nullptr);
  void ExpectButton(const QString& buttonName);

  int Pending() const { return static_cast<int>(expected_.size()); }
  // Processes events until every expected modal widget has been answered (or the time-out).
  bool WaitAllAnswered(int timeoutMs = 5000);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Poll();

  struct Expected {
    Action action;
    QString what;
  };
  std::deque<Expected> expected_;
  QTimer timer_;
  QPointer<QWidget> answered_;
  qint64 answeredAt_ = 0;
  QPointer<QWidget> unexpected_;
  qint64 unexpectedAt_ = 0;
  int timeoutMs_;
};

}  // namespace testing_support
