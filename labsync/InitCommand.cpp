#include "labsync/InitCommand.h"

#include <QByteArray>
#include <cstdio>
#include <cstring>

#include "i18n/Language.h"
#include "labsync/Connection.h"
#include "labsync/LabSyncTexts.h"
#include "labsync/Schema.h"

namespace labsync {
namespace {

constexpr char kOption[] = "--init-lab-database";
constexpr std::chrono::milliseconds kConnectTimeout{30'000};
// Creating the tables takes moments; the rest is for locks other sessions may hold on them.
constexpr std::chrono::milliseconds kInitTimeout{300'000};

void Print(std::FILE* stream, const QString& line) {
  std::fprintf(stream, "korvanta: %s\n", line.toLocal8Bit().constData());
  std::fflush(stream);
}

}  // namespace

std::optional<int> RunInitLabDatabase(int argc, char** argv) {
  std::optional<QByteArray> conninfo;
  bool asked = false;
  const std::size_t length = std::strlen(kOption);
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (std::strncmp(a, kOption, length) != 0) continue;
    if (a[length] == '=') {
      asked = true;
      conninfo = QByteArray(a + length + 1);
    } else if (a[length] == '\0') {
      asked = true;
      if (i + 1 < argc) conninfo = QByteArray(argv[++i]);
    }
  }
  if (!asked) return std::nullopt;

  const int lang = i18n::ReadLanguageSetting(i18n::WorkingDirectoryBasePath());
  if (!conninfo) {
    Print(stderr, Text(LabSyncText::InitNeedsConnection, lang));
    return 2;
  }

  Connection connection;
  Outcome outcome = connection.Open(*conninfo, In(kConnectTimeout));
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
