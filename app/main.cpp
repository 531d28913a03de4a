// KORVANTA III: the desktop companion of the LUMARIS 318QX gloss meter.
#include <QCommandLineParser>
#include <QMessageBox>
#include <cstdio>
#include <exception>

#include "Application.h"
#include "Backend.h"
#include "DataFiles.h"
#include "Program.h"
#include "TableJournal.h"

int main(int argc, char** argv) {
  app::Application application(argc, argv);
  application.setApplicationVersion(QStringLiteral(KORVANTA_VERSION));
  try {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("KORVANTA III, the companion of the LUMARIS 318QX gloss meter."));
    parser.addHelpOption();
    parser.addVersionOption();
    app::AddBackendOptions(parser);
    parser.process(app::PrepareArguments(QCoreApplication::arguments()));

    QString problem;
    std::unique_ptr<app::Backend> backend = app::MakeBackend(parser, problem);
    if (!backend) {
      std::fprintf(stderr, "korvanta: %s\n", qPrintable(problem));
      return 2;
    }

    app::ProcessState state;
    state.Language.DataFolders = i18n::ProgramDataFolders();
    app::Application::SetLanguageSource([&state] { return state.Language.LanguageIndex; });
    app::Program program(state, backend->Access());
    // The table's rows survive an abnormal end; a normal one (the window closed) empties it.
    journal::TableJournal journal(program.MainForm->Rows(), state.Language, program.MainForm.get());
    QObject::connect(program.MainForm.get(), &app::TMainForm::StartupSequenceEnded, &journal,
                     &journal::TableJournal::StartupSequenceEnded);
    program.MainForm->show();
    application.exec();
  } catch (const std::exception& e) {
    app::Application::ReportException(QString::fromLocal8Bit(e.what()));
  }
  return 0;
}
