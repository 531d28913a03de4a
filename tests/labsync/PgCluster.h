// Real PostgreSQL servers for tests and benchmarks, each the test program's own.
//
// PgCluster makes a throw-away cluster with initdb and runs it with pg_ctl, from Debian's
// postgresql package (found through `pg_config --bindir`, else /usr/lib/postgresql/<n>/bin): in a
// fresh folder under /tmp that is owned by the user `postgres` when the tests run as root (initdb
// refuses root, and CI runs as root), with the tools run as that user through runuser. The server
// listens only on a Unix socket in that folder, so two programs running clusters at once (a test
// here, another engineer's suite) share no port and no folder. No system service is assumed.
//
// SilentServer is a TCP socket on the loopback address that takes connections and never answers:
// the server that went silent mid-conversation.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace testing_support {

class PgCluster {
 public:
  // The cluster's superuser.
  static constexpr const char* kAdmin = "admin";

  struct Options {
    // fsync and synchronous commits as a real server has them (for benchmarks); tests skip the
    // disk's flushes.
    bool durable = false;
  };

  PgCluster();
  explicit PgCluster(Options options);
  // Stops the server at once and removes its folder.
  ~PgCluster();
  PgCluster(const PgCluster&) = delete;
  PgCluster& operator=(const PgCluster&) = delete;

  // Made and running; otherwise Problem() says why.
  bool Ready() const { return ready_; }
  QString Problem() const { return problem_; }
  QString SocketFolder() const { return folder_; }

  // A connection string to `database` as `user` over the cluster's socket.
  QByteArray ConnInfo(const QString& database = QStringLiteral("postgres"),
                      const QString& user = QString::fromLatin1(kAdmin)) const;

  // Stops the server (fast shutdown: sessions are ended, open transactions rolled back) and
  // starts it again on the same data.
  bool Stop();
  bool Start();

  // Runs `sql` (one or more statements) as the superuser in `database` and waits for it. False
  // with the SQLSTATE and the server's message in `error`.
  bool Exec(const QString& sql, const QString& database = QStringLiteral("postgres"), QString* error = nullptr);
  // The first column of the first row `sql` returns; empty when there is none or it failed.
  QString Scalar(const QString& sql, const QString& database = QStringLiteral("postgres"));
  // Scalar as a number; -1 when it failed.
  long long Count(const QString& sql, const QString& database = QStringLiteral("postgres"));
  // A new, empty database.
  bool CreateDatabase(const QString& name);
  // Ends the sessions of `database` whose application_name is `applicationName` with
  // pg_terminate_backend; returns how many were ended.
  int TerminateSessions(const QString& database, const QString& applicationName);
  // Puts `line` first in pg_hba.conf and has the server read it again.
  bool AddHbaLine(const QString& line);

 private:
  bool Tool(const QString& name, const QStringList& arguments, QString* output = nullptr);
  void WatchOwner();

  Options options_;
  QString bindir_;
  QString folder_;
  QString data_;
  bool ready_ = false;
  bool running_ = false;
  QString problem_;
};

class SilentServer {
 public:
  SilentServer();
  ~SilentServer();
  SilentServer(const SilentServer&) = delete;
  SilentServer& operator=(const SilentServer&) = delete;

  int Port() const { return port_; }
  QByteArray ConnInfo() const;

 private:
  int fd_ = -1;
  int port_ = 0;
};

}  // namespace testing_support
