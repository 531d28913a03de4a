#include "Application.h"

#include <QMessageBox>
#include <exception>

#include "ExtraTexts.h"

namespace app {
namespace {

std::function<int()>& LanguageSource() {
  static std::function<int()> source;
  return source;
}

}  // namespace

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("korvanta"));
  setApplicationDisplayName(QStringLiteral("KORVANTA III"));
}

bool Application::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    ReportException(QString::fromLocal8Bit(e.what()));
  } catch (...) {
    ReportException(QString());
  }
  return false;
}

void Application::ReportException(const QString& message) {
  const int language = LanguageSource() ? LanguageSource()() : 0;
  QMessageBox::critical(nullptr, i18n::ExtraText(i18n::Extra::ErrorTitle, language),
                        i18n::ExtraText(i18n::Extra::UnexpectedError, language).arg(message));
}

void Application::SetLanguageSource(std::function<int()> source) { LanguageSource() = std::move(source); }

}  // namespace app
