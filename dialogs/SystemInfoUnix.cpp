// The running system's answers on Linux and other Unix systems.
#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>

#include <QCoreApplication>
#include <QFileInfo>
#include <QSysInfo>
#include <vector>

#include "dialogs/SystemInfo.h"

namespace dialogs {
namespace {

// Where news and mail programs have long looked for the site's organisation; most systems have
// none, and then the organisation stays empty.
constexpr const char* kOrganisationFile = "/etc/organization";

class UnixSystemInfo : public SystemInfo {
 public:
  SystemVersion Version() const override {
    utsname names{};
    if (uname(&names) != 0) return {};
    return FromUnixVersion(QSysInfo::prettyProductName(), QString::fromLocal8Bit(names.sysname),
                           QString::fromLocal8Bit(names.release));
  }

  // The registered owner is the user the program runs for, as the password database names them;
  // without an entry there, nothing is known and the labels stay as they are.
  OwnerInfo Owner() const override {
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    if (size <= 0) size = 16384;
    std::vector<char> buffer(static_cast<std::size_t>(size));
    passwd entry{};
    passwd* found = nullptr;
    while (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
           buffer.size() < (std::size_t{1} << 20)) {
      buffer.resize(buffer.size() * 2);
    }
    if (found == nullptr) return {};
    OwnerInfo owner;
    owner.Found = true;
    owner.Name = found->pw_gecos != nullptr ? FullNameFromGecos(QByteArray(found->pw_gecos)) : QString();
    owner.Organisation = FirstLineOfFile(QString::fromLatin1(kOrganisationFile));
    return owner;
  }

  // /proc/self/exe is the file the process was started from even when its path has changed
  // since; where there is no /proc, the toolkit's idea of the program path stands in.
  QString ProgramFilePath() const override {
    const QString self = QStringLiteral("/proc/self/exe");
    if (QFileInfo(self).isReadable()) return self;
    return QCoreApplication::applicationFilePath();
  }
};

}  // namespace

std::unique_ptr<SystemInfo> MakePlatformSystemInfo() { return std::make_unique<UnixSystemInfo>(); }

}  // namespace dialogs
