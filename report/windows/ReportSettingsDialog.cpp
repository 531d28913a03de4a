#include "report/windows/ReportSettingsDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "report/ReportPdf.h"
#include "report/ReportSettings.h"
#include "report/ReportTexts.h"
#include "widgets/Look.h"

namespace report {

using widgets::Named;

namespace {

void Label(QLabel* caption, QWidget* field, const QString& text) {
  caption->setText(text);
  caption->setBuddy(field);
  field->setAccessibleName(text);
}

}  // namespace

ReportSettingsDialog::ReportSettingsDialog(const i18n::LanguageState& language, QString settingsPath, QWidget* parent)
    : QDialog(parent), language_(language), settingsPath_(std::move(settingsPath)) {
  setObjectName(QStringLiteral("ReportSettingsDialog"));
  const int lang = language_.LanguageIndex;
  setWindowTitle(Text(ReportText::SettingsTitle, lang));

  LabNameLabel = Named(new QLabel(this), "LabNameLabel");
  LabNameEdit = Named(new QLineEdit(this), "LabNameEdit");
  LogoLabel = Named(new QLabel(this), "LogoLabel");
  LogoEdit = Named(new QLineEdit(this), "LogoEdit");
  LogoButton = Named(new QPushButton(Text(ReportText::SettingsChooseLogo, lang), this), "LogoButton");
  LogoProblemLabel = Named(new QLabel(this), "LogoProblemLabel");
  LogoProblemLabel->setWordWrap(true);
  LogoProblemLabel->setStyleSheet(QStringLiteral("color: #b00000;"));
  CalibrationLabel = Named(new QLabel(this), "CalibrationLabel");
  CalibrationEdit = Named(new QLineEdit(this), "CalibrationEdit");
  CalibrationDateLabel = Named(new QLabel(this), "CalibrationDateLabel");
  CalibrationDateEdit = Named(new QDateEdit(this), "CalibrationDateEdit");
  // The earliest date stands for "not set".
  CalibrationDateEdit->setCalendarPopup(true);
  CalibrationDateEdit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
  CalibrationDateEdit->setMinimumDate(QDate(2000, 1, 1));
  CalibrationDateEdit->setSpecialValueText(Text(ReportText::SettingsNotSet, lang));
  ErrorLabel = Named(new QLabel(this), "ErrorLabel");
  ErrorLabel->setWordWrap(true);
  ErrorLabel->setStyleSheet(QStringLiteral("color: #b00000;"));
  ErrorLabel->hide();
  Buttons = Named(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this), "Buttons");
  Label(LabNameLabel, LabNameEdit, Text(ReportText::SettingsLabName, lang));
  Label(LogoLabel, LogoEdit, Text(ReportText::SettingsLogo, lang));
  Label(CalibrationLabel, CalibrationEdit, Text(ReportText::SettingsCalibration, lang));
  Label(CalibrationDateLabel, CalibrationDateEdit, Text(ReportText::SettingsCalibrationDate, lang));

  const ReportSettings settings = ReadReportSettings(settingsPath_);
  LabNameEdit->setText(settings.labName);
  LogoEdit->setText(QDir::toNativeSeparators(settings.logoPath));
  CalibrationEdit->setText(settings.calibrationStandard);
  CalibrationDateEdit->setDate(settings.calibrationDate.isValid() ? settings.calibrationDate
                                                                  : CalibrationDateEdit->minimumDate());

  auto* logo = new QHBoxLayout;
  logo->addWidget(LogoEdit, 1);
  logo->addWidget(LogoButton);
  auto* form = new QFormLayout;
  form->addRow(LabNameLabel, LabNameEdit);
  form->addRow(LogoLabel, logo);
  form->addRow(QString(), LogoProblemLabel);
  form->addRow(CalibrationLabel, CalibrationEdit);
  form->addRow(CalibrationDateLabel, CalibrationDateEdit);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(ErrorLabel);
  layout->addWidget(Buttons);
  resize(520, sizeHint().height());

  AskLogo = [](QWidget* owner, const QString& title, const QString& filter, const QString& start) {
    return QFileDialog::getOpenFileName(owner, title, start, filter);
  };
  connect(LogoButton, &QPushButton::clicked, this, &ReportSettingsDialog::ChooseLogo);
  connect(LogoEdit, &QLineEdit::editingFinished, this, &ReportSettingsDialog::CheckLogo);
  connect(Buttons, &QDialogButtonBox::accepted, this, &ReportSettingsDialog::accept);
  connect(Buttons, &QDialogButtonBox::rejected, this, &ReportSettingsDialog::reject);
  CheckLogo();
}

void ReportSettingsDialog::ChooseLogo() {
  const int lang = language_.LanguageIndex;
  const QString current = LogoEdit->text().trimmed();
  const QString chosen = AskLogo(this, Text(ReportText::SettingsLogo, lang), Text(ReportText::SettingsLogoFilter, lang),
                                 current.isEmpty() ? QDir::homePath() : QFileInfo(current).absolutePath());
  if (chosen.isEmpty()) return;
  LogoEdit->setText(QDir::toNativeSeparators(chosen));
  CheckLogo();
}

void ReportSettingsDialog::CheckLogo() {
  const QString path = QDir::fromNativeSeparators(LogoEdit->text().trimmed());
  const QString problem = path.isEmpty() ? QString() : LogoProblem(path, language_.LanguageIndex);
  LogoProblemLabel->setText(
      problem.isEmpty() ? QString() : Text(ReportText::SettingsLogoProblem, language_.LanguageIndex).arg(problem));
  LogoProblemLabel->setVisible(!problem.isEmpty());
}

void ReportSettingsDialog::accept() {
  ReportSettings settings;
  settings.labName = LabNameEdit->text().trimmed();
  settings.logoPath = QDir::fromNativeSeparators(LogoEdit->text().trimmed());
  // Reports made from another folder (a script's) find it too.
  if (!settings.logoPath.isEmpty()) settings.logoPath = QFileInfo(settings.logoPath).absoluteFilePath();
  settings.calibrationStandard = CalibrationEdit->text().trimmed();
  if (CalibrationDateEdit->date() != CalibrationDateEdit->minimumDate()) {
    settings.calibrationDate = CalibrationDateEdit->date();
  }
  QString error;
  if (!WriteReportSettings(settingsPath_, settings, error)) {
    ErrorLabel->setText(Text(ReportText::SettingsNotStored, language_.LanguageIndex)
                            .arg(QDir::toNativeSeparators(settingsPath_), error));
    ErrorLabel->show();
    return;
  }
  QDialog::accept();
}

}  // namespace report
