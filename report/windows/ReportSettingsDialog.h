// "Report settings": the lab's name and logo printed in every report's header, and the calibration
// standard printed on the first page, kept in korvanta.conf for the user. A logo that cannot be
// read is said at once, and may still be kept (a file on a share that is away today): a report
// then is written without it.
#pragma once

#include <QDateEdit>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <functional>

#include "i18n/Language.h"

namespace report {

class ReportSettingsDialog : public QDialog {
  Q_OBJECT
 public:
  ReportSettingsDialog(const i18n::LanguageState& language, QString settingsPath, QWidget* parent = nullptr);

  // Writes the settings; the dialog stays open with the reason when they cannot be stored.
  void accept() override;

  // Seam for tests: the file dialog for the logo (empty: cancelled).
  std::function<QString(QWidget* parent, const QString& title, const QString& filter, const QString& start)> AskLogo;

  QLabel* LabNameLabel;
  QLineEdit* LabNameEdit;
  QLabel* LogoLabel;
  QLineEdit* LogoEdit;
  QPushButton* LogoButton;
  QLabel* LogoProblemLabel;
  QLabel* CalibrationLabel;
  QLineEdit* CalibrationEdit;
  QLabel* CalibrationDateLabel;
  QDateEdit* CalibrationDateEdit;
  QLabel* ErrorLabel;
  QDialogButtonBox* Buttons;

 private:
  void ChooseLogo();
  void CheckLogo();

  const i18n::LanguageState& language_;
  QString settingsPath_;
};

}  // namespace report
