// The test program's PostgreSQL cluster, made at the first test that needs it and stopped when
// the program ends, and a fixture that gives each test a database of its own on it.
#pragma once

#include <gtest/gtest.h>

#include "labsync/Connection.h"
#include "labsync/Schema.h"
#include "tests/labsync/PgCluster.h"

namespace testing_support {

PgCluster& SharedCluster();

class LabDatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override;
  // A test that stopped the server leaves it running for the next.
  void TearDown() override;

  QByteArray ConnInfo(const QString& user = QString::fromLatin1(PgCluster::kAdmin)) const {
    return cluster_->ConnInfo(database_, user);
  }
  // Creates the lab schema (at `version`, the program's by default) as the cluster's superuser.
  void InitLab(labsync::SchemaVersion version = labsync::kSchemaVersion);
  // Rows of korvanta.<table>.
  long long Rows(const QString& table);
  bool Exec(const QString& sql, QString* error = nullptr) { return cluster_->Exec(sql, database_, error); }
  QString Scalar(const QString& sql) { return cluster_->Scalar(sql, database_); }
  // A login role (cluster-wide) made once per program; member of `memberOf` when given.
  void EnsureRole(const QString& name, const QString& memberOf = {});

  PgCluster* cluster_ = nullptr;
  QString database_;
};

}  // namespace testing_support
