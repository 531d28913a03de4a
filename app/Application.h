// The application object: an exception that escapes an event handler is shown to the operator in
// an error box and the message loop goes on.
#pragma once

#include <QApplication>
#include <functional>

namespace app {

class Application : public QApplication {
  Q_OBJECT
 public:
  Application(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;

  // Shows the message of an exception that reached the message loop.
  static void ReportException(const QString& message);
  // The language of error messages (LanguageIndex); English until set.
  static void SetLanguageSource(std::function<int()> source);
};

}  // namespace app
