// What a lab database, when the station has joined one, gives the batch windows: the lab's
// products in the Specifications window, and every station's batches in the Batches window as
// "Whole lab". The lab database's part of the program (labsync/station) provides both; without a lab
// database the windows never meet them and work as they always have.
#pragma once

#include <QAbstractTableModel>
#include <QDate>
#include <QObject>
#include <QString>
#include <QUuid>

#include "lab/Verdict.h"

namespace lab {

// The lab's products as the Specifications window edits them. The record's products are the
// station's copy of them (LabStore::ApplyLabProducts); an edit goes to the lab database, never to
// the copy, which follows once the lab has it.
class SharedProducts : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;

  // Whether the window may offer edits now: the user is a lead and the lab database is reached.
  virtual bool MayEdit() const = 0;
  // What the window says above the list, in the operator's language: whose products these are,
  // and why they cannot be changed here when they cannot.
  virtual QString Note() const = 0;
  // Saves the product carried here by `product` (null: a new product) on the lab database as
  // `name` with `limits`, retired when `retire`. The answer comes as Answered.
  virtual void Save(const QUuid& product, const QString& name, const Limits& limits, bool retire) = 0;

 signals:
  // The rights, the link or the station's copy changed.
  void Changed();
  // The answer to Save: `message` in the operator's language.
  void Answered(bool saved, const QString& message);
};

// Every station's batches, read from the lab database on a thread of its own.
class SharedBatchList : public QAbstractTableModel {
  Q_OBJECT
 public:
  using QAbstractTableModel::QAbstractTableModel;

  enum class View { Statistics, Trend, Report };

  // "This station" or "Whole lab", in the operator's language.
  virtual QString ScopeName(bool wholeLab) const = 0;
  // Reads the list again with these filters, as the record's list filters (an invalid date: no
  // bound); the rows follow when the answer is there.
  virtual void SetFilter(const QString& text, const QDate& from, const QDate& to) = 0;
  virtual void Reload() = 0;
  // What the list is doing or why it is empty, in the operator's language; empty when all is well.
  virtual QString Status() const = 0;
  // Opens the batch in `row` read-only, once its readings are read: in a statistics or trend window,
  // or as a batch report (LabWindows::ReportRequested).
  virtual bool Offers(View view) const = 0;
  virtual void Open(int row, View view) = 0;

 signals:
  void StatusChanged();
};

}  // namespace lab
