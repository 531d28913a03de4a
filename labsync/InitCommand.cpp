#include "labsync/InitCommand.h"

#include <QByteArray>
#include <cstdio>

#include "i18n/Language.h"
#include "labsync/Connection.h"
#include "labsync/LabSyncTexts.h"
#include "labsync/Schema.h"

namespace labsync {
namespace {

constexpr std::chrono::milliseconds kConnectTimeout{30'000};
// Creating the tables takes moments; the rest is for locks other sessions may hold on them.
constexpr std::chrono::milliseconds kInitTimeout{300'000};

void Print(std::FILE* stream, const QString& line) {
  std::fprintf(stream, "korvanta: %s\n", line.toLocal8Bit().constData());
  std::fflush(stream);
}

}  // namespace

int InitLabDatabase(const QByteArray& conninfo) {
  const int lang = i18n::ReadLanguageSetting(i18n::WorkingDirectoryBasePath());
  Connection connection;
  Outcome outcome = connection.Open(conninfo, In(kConnectTimeout));
  InitReport report;
  if (outcome.Ok()) outcome = InitSchema(connection, In(kInitTimeout), report);
  if (!outcome.Ok()) {
    Print(stderr, Text(LabSyncText::InitFailed, lang).arg(ReasonText(outcome, lang)));
    return 1;
  }

  QString line;
  switch (report.action) {
    case InitReport::Action::Created:
      line = Text(LabSyncText::InitCreated, lang).arg(report.after.Text());
      break;
    case InitReport::Action::Upgraded:
      line = Text(LabSyncText::InitUpgraded, lang).arg(report.before.Text(), report.after.Text());
      break;
    case InitReport::Action::Renewed:
      line = Text(LabSyncText::InitRenewed, lang).arg(report.after.Text());
      break;
    case InitReport::Action::LeftNewerMinor:
      line = Text(LabSyncText::InitLeftNewerMinor, lang).arg(report.after.Text(), kSchemaVersion.Text());
      break;
  }
  if (report.action != InitReport::Action::LeftNewerMinor) {
    line += QLatin1Char(' ');
    line += report.rolesGranted.isEmpty()
                ? Text(LabSyncText::InitNoRoles, lang).arg(QLatin1String(kStationRole), QLatin1String(kLeadRole))
                : Text(LabSyncText::InitRolesGranted, lang).arg(report.rolesGranted.join(QStringLiteral(", ")));
  }
  Print(stdout, line);
  return 0;
}

}  // namespace labsync
