#include "tests/labsync/PgCluster.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdlib>
#include <vector>

namespace testing_support {
namespace {

constexpr const char* kServiceUser = "postgres";

bool RunningAsRoot() { return ::geteuid() == 0; }

// Runs a program to its end, its standard output and error into `output`; true when it ended
// with status 0. A plain fork and exec rather than QProcess: the toolkit starts programs with a
// clone that shares the parent's memory until the exec, which ThreadSanitizer cannot follow (it
// stops seeing the calling thread's locks afterwards), and the sender's tests run under it.
bool RunProgram(const QStringList& arguments, QString* output, bool detached = false) {
  std::vector<QByteArray> bytes;
  for (const QString& a : arguments) bytes.push_back(QFile::encodeName(a));
  std::vector<char*> argv;
  for (QByteArray& b : bytes) argv.push_back(b.data());
  argv.push_back(nullptr);
  int pipeFds[2] = {-1, -1};
  if (!detached && ::pipe2(pipeFds, O_CLOEXEC) != 0) return false;
  const pid_t pid = ::fork();
  if (pid < 0) return false;
  if (pid == 0) {
    // A detached program leaves the test's session and outlives it; its own child does the work,
    // so that nothing is left for the test to reap.
    if (detached && (::setsid() < 0 || ::fork() != 0)) ::_exit(0);
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(detached ? null : pipeFds[1], 1);
    ::dup2(detached ? null : pipeFds[1], 2);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  QByteArray text;
  if (!detached) {
    ::close(pipeFds[1]);
    char buffer[4096];
    for (;;) {
      const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
      if (n > 0) {
        text.append(buffer, n);
      } else if (n == 0 || errno != EINTR) {
        break;
      }
    }
    ::close(pipeFds[0]);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (output != nullptr) *output = QString::fromLocal8Bit(text);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Where initdb and pg_ctl are: pg_config's answer first, then Debian's versioned folders, newest
// first.
QString FindBinDir() {
  QString answer;
  if (RunProgram({QStringLiteral("pg_config"), QStringLiteral("--bindir")}, &answer)) {
    const QString dir = answer.trimmed();
    if (QFileInfo(dir + QStringLiteral("/initdb")).isExecutable()) return dir;
  }
  QDir versions(QStringLiteral("/usr/lib/postgresql"));
  QStringList names = versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
  std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) { return a.toInt() > b.toInt(); });
  for (const QString& name : names) {
    const QString dir = versions.filePath(name) + QStringLiteral("/bin");
    if (QFileInfo(dir + QStringLiteral("/initdb")).isExecutable()) return dir;
  }
  return {};
}

QString Quoted(const QString& value) {
  QString v = value;
  v.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
  v.replace(QLatin1Char('\''), QStringLiteral("\\'"));
  return QLatin1Char('\'') + v + QLatin1Char('\'');
}

}  // namespace

PgCluster::PgCluster() : PgCluster(Options{}) {}

PgCluster::PgCluster(Options options) : options_(options) {
  bindir_ = FindBinDir();
  if (bindir_.isEmpty()) {
    problem_ = QStringLiteral("initdb not found (pg_config --bindir, /usr/lib/postgresql/*/bin)");
    return;
  }
  // A short path: the socket's name must fit in 107 bytes.
  QByteArray pattern("/tmp/korvanta-pg-XXXXXX");
  if (::mkdtemp(pattern.data()) == nullptr) {
    problem_ = QStringLiteral("no temporary folder");
    return;
  }
  folder_ = QString::fromLocal8Bit(pattern);
  data_ = folder_ + QStringLiteral("/data");
  if (RunningAsRoot()) {
    const passwd* user = ::getpwnam(kServiceUser);
    if (user == nullptr || ::chown(pattern.constData(), user->pw_uid, user->pw_gid) != 0) {
      problem_ = QStringLiteral("no user \"postgres\" to own the cluster's folder");
      return;
    }
  }
  QString output;
  if (!Tool(QStringLiteral("initdb"),
            {QStringLiteral("-D"), data_, QStringLiteral("-U"), QString::fromLatin1(kAdmin), QStringLiteral("-A"),
             QStringLiteral("trust"), QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--locale=C"),
             QStringLiteral("--no-sync")},
            &output)) {
    problem_ = QStringLiteral("initdb failed: ") + output;
    return;
  }
  QFile conf(data_ + QStringLiteral("/postgresql.conf"));
  if (!conf.open(QIODevice::Append)) {
    problem_ = QStringLiteral("postgresql.conf cannot be written");
    return;
  }
  QString settings = QStringLiteral(
                         "\nlisten_addresses = ''\nunix_socket_directories = %1\nmax_connections = 40\n"
                         "shared_buffers = 32MB\n")
                         .arg(Quoted(folder_));
  if (!options_.durable) settings += QStringLiteral("fsync = off\nsynchronous_commit = off\nfull_page_writes = off\n");
  conf.write(settings.toUtf8());
  conf.close();
  ready_ = Start();
  if (ready_) WatchOwner();
}

PgCluster::~PgCluster() {
  if (running_)
    Tool(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), data_, QStringLiteral("-m"), QStringLiteral("immediate"),
                                    QStringLiteral("-w"), QStringLiteral("stop")});
  if (!folder_.isEmpty()) QDir(folder_).removeRecursively();
}

bool PgCluster::Tool(const QString& name, const QStringList& arguments, QString* output) {
  const QString tool = bindir_ + QLatin1Char('/') + name;
  if (RunningAsRoot()) {
    return RunProgram(QStringList{QStringLiteral("runuser"), QStringLiteral("-u"), QString::fromLatin1(kServiceUser),
                                  QStringLiteral("--"), tool} +
                          arguments,
                      output);
  }
  return RunProgram(QStringList{tool} + arguments, output);
}

QByteArray PgCluster::ConnInfo(const QString& database, const QString& user) const {
  return QStringLiteral("host=%1 dbname=%2 user=%3").arg(Quoted(folder_), Quoted(database), Quoted(user)).toUtf8();
}

void PgCluster::WatchOwner() {
  // A test program that is killed (a time-out, a crash) never runs the destructor: a watcher of
  // its own stops the server and removes the folder once the program is gone, so that no server
  // outlives its tests.
  const QString pgctl = bindir_ + QStringLiteral("/pg_ctl");
  const QString stop =
      RunningAsRoot() ? QStringLiteral("runuser -u %1 -- ").arg(QLatin1String(kServiceUser)) : QString();
  const QString script = QStringLiteral(
                             "while [ -d /proc/$0 ]; do sleep 1; done; "
                             "%1%2 -D %3 -m immediate stop; rm -rf %4")
                             .arg(stop, pgctl, Quoted(data_), Quoted(folder_));
  RunProgram({QStringLiteral("sh"), QStringLiteral("-c"), script, QString::number(::getpid())}, nullptr, true);
}

bool PgCluster::Start() {
  QString output;
  running_ = Tool(QStringLiteral("pg_ctl"),
                  {QStringLiteral("-D"), data_, QStringLiteral("-l"), folder_ + QStringLiteral("/server.log"),
                   QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("120"), QStringLiteral("start")},
                  &output);
  if (!running_) problem_ = QStringLiteral("pg_ctl start failed: ") + output;
  return running_;
}

bool PgCluster::Stop() {
  QString output;
  const bool stopped = Tool(QStringLiteral("pg_ctl"),
                            {QStringLiteral("-D"), data_, QStringLiteral("-m"), QStringLiteral("fast"),
                             QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("120"), QStringLiteral("stop")},
                            &output);
  if (stopped) running_ = false;
  if (!stopped) problem_ = QStringLiteral("pg_ctl stop failed: ") + output;
  return stopped;
}

bool PgCluster::Exec(const QString& sql, const QString& database, QString* error) {
  PGconn* conn = PQconnectdb(ConnInfo(database).constData());
  PQsetNoticeProcessor(
      conn, [](void*, const char*) {}, nullptr);
  bool ok = PQstatus(conn) == CONNECTION_OK;
  if (!ok && error != nullptr) *error = QString::fromUtf8(PQerrorMessage(conn));
  if (ok) {
    PGresult* result = PQexec(conn, sql.toUtf8().constData());
    const ExecStatusType status = PQresultStatus(result);
    ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    if (!ok && error != nullptr) {
      const char* code = PQresultErrorField(result, PG_DIAG_SQLSTATE);
      *error = QString::fromLatin1(code != nullptr ? code : "") + QLatin1Char(' ') +
               QString::fromUtf8(PQresultErrorMessage(result));
    }
    PQclear(result);
  }
  PQfinish(conn);
  return ok;
}

QString PgCluster::Scalar(const QString& sql, const QString& database) {
  PGconn* conn = PQconnectdb(ConnInfo(database).constData());
  QString value;
  if (PQstatus(conn) == CONNECTION_OK) {
    PGresult* result = PQexec(conn, sql.toUtf8().constData());
    if (PQresultStatus(result) == PGRES_TUPLES_OK && PQntuples(result) > 0 && PQnfields(result) > 0) {
      value = QString::fromUtf8(PQgetvalue(result, 0, 0));
    }
    PQclear(result);
  }
  PQfinish(conn);
  return value;
}

long long PgCluster::Count(const QString& sql, const QString& database) {
  bool ok = false;
  const long long n = Scalar(sql, database).toLongLong(&ok);
  return ok ? n : -1;
}

bool PgCluster::CreateDatabase(const QString& name) { return Exec(QStringLiteral("CREATE DATABASE \"%1\"").arg(name)); }

int PgCluster::TerminateSessions(const QString& database, const QString& applicationName) {
  return static_cast<int>(
      Count(QStringLiteral("SELECT count(*) FILTER (WHERE pg_terminate_backend(pid)) FROM pg_stat_activity "
                           "WHERE datname = %1 AND application_name = %2")
                .arg(Quoted(database), Quoted(applicationName))));
}

bool PgCluster::AddHbaLine(const QString& line) {
  QFile hba(data_ + QStringLiteral("/pg_hba.conf"));
  if (!hba.open(QIODevice::ReadOnly)) return false;
  const QByteArray old = hba.readAll();
  hba.close();
  if (!hba.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  hba.write(line.toUtf8() + '\n' + old);
  hba.close();
  return Exec(QStringLiteral("SELECT pg_reload_conf()"));
}

// ---- SilentServer ----------------------------------------------------------------------------

SilentServer::SilentServer() {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;  // any free port: nothing fixed that another program could hold
  socklen_t length = sizeof address;
  if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd_, 64) != 0 ||
      ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    std::abort();
  }
  port_ = ntohs(address.sin_port);
}

SilentServer::~SilentServer() { ::close(fd_); }

QByteArray SilentServer::ConnInfo() const {
  return QStringLiteral("host=127.0.0.1 port=%1 dbname=lab user=station").arg(port_).toUtf8();
}

}  // namespace testing_support
