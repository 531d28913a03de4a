#include "lab/OutboxReader.h"

#include <sqlite3.h>
#include <QFile>
#include <QJsonDocument>

#include "storage/Sqlite.h"

namespace lab {

OutboxReader::OutboxReader(const QString& path) {
  const int rc =
      sqlite3_open_v2(QFile::encodeName(path).constData(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  QString version;
  QString uuid;
  if (rc != SQLITE_OK || storage::Query(db_, "PRAGMA user_version", &version) != SQLITE_OK ||
      version.toInt() != LabStore::kSchemaVersion ||
      storage::Query(db_, "SELECT value FROM meta WHERE key = 'record_uuid'", &uuid) != SQLITE_OK) {
    problem_ = db_ != nullptr && rc == SQLITE_OK && version.toInt() != LabStore::kSchemaVersion
                   ? QStringLiteral("not a lab record of this version (schema %1)").arg(version)
                   : storage::FromUtf8(db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(rc));
    sqlite3_close(db_);
    db_ = nullptr;
    return;
  }
  recordUuid_ = QUuid::fromString(uuid);
  sqlite3_busy_timeout(db_, storage::kBusyTimeoutMs);
  // The program's own connection syncs; this one never waits for the disk in its deletes either.
  storage::Query(db_, "PRAGMA synchronous = NORMAL");
}

OutboxReader::~OutboxReader() {
  // The program's connection folds the log; this one leaves it to it.
  if (db_ != nullptr) sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  sqlite3_close(db_);
}

bool OutboxReader::Peek(int limit, std::vector<OutboxEntry>& rows) {
  rows.clear();
  if (db_ == nullptr) return false;
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db_, "SELECT seq, kind, at, payload FROM outbox ORDER BY seq LIMIT ?1", -1, &stmt, nullptr) !=
      SQLITE_OK) {
    problem_ = storage::FromUtf8(sqlite3_errmsg(db_));
    return false;
  }
  sqlite3_bind_int(stmt, 1, limit);
  int rc = SQLITE_OK;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    OutboxEntry& e = rows.emplace_back();
    e.seq = sqlite3_column_int64(stmt, 0);
    e.kind = storage::ColumnText(stmt, 1);
    e.at = storage::ColumnText(stmt, 2);
    e.payload = QJsonDocument::fromJson(storage::ColumnText(stmt, 3).toUtf8()).object();
  }
  sqlite3_finalize(stmt);
  if (rc != SQLITE_DONE) {
    problem_ = storage::FromUtf8(sqlite3_errmsg(db_));
    rows.clear();
    return false;
  }
  return true;
}

bool OutboxReader::Acknowledge(std::int64_t seq) {
  if (db_ == nullptr) return false;
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db_, "DELETE FROM outbox WHERE seq <= ?1", -1, &stmt, nullptr) != SQLITE_OK) return false;
  sqlite3_bind_int64(stmt, 1, seq);
  const bool ok = sqlite3_step(stmt) == SQLITE_DONE;
  sqlite3_finalize(stmt);
  if (!ok) problem_ = storage::FromUtf8(sqlite3_errmsg(db_));
  return ok;
}

std::int64_t OutboxReader::Waiting() {
  if (db_ == nullptr) return -1;
  QString count;
  if (storage::Query(db_, "SELECT count(*) FROM outbox", &count) != SQLITE_OK) return -1;
  return count.toLongLong();
}

bool OutboxReader::ActiveProducts(std::vector<std::pair<QString, QUuid>>& products) {
  products.clear();
  if (db_ == nullptr) return false;
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db_,
                         "SELECT name, uuid FROM specification s WHERE state = 'active' AND version ="
                         " (SELECT max(version) FROM specification WHERE product_uuid = s.product_uuid) ORDER BY name",
                         -1, &stmt, nullptr) != SQLITE_OK) {
    problem_ = storage::FromUtf8(sqlite3_errmsg(db_));
    return false;
  }
  int rc = SQLITE_OK;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    products.emplace_back(storage::ColumnText(stmt, 0), QUuid::fromString(storage::ColumnText(stmt, 1)));
  }
  sqlite3_finalize(stmt);
  if (rc != SQLITE_DONE) {
    problem_ = storage::FromUtf8(sqlite3_errmsg(db_));
    products.clear();
    return false;
  }
  return true;
}

}  // namespace lab
