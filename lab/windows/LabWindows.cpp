#include "lab/windows/LabWindows.h"

#include <QDir>
#include <QMessageBox>
#include <QTimer>

#include "lab/LabTexts.h"
#include "lab/Log.h"

namespace lab {

// A batch opened from Batches…: its readings as they are now, and the two windows over them.
struct LabWindows::ReadOnlyPair {
  QString key;
  BatchReadings readings;
  std::unique_ptr<analysis::ReadingSeries> series;
  QPointer<analysis::StatisticsWindow> statistics;
  QPointer<analysis::TrendWindow> trend;
  ~ReadOnlyPair() {
    delete statistics;
    delete trend;
  }
};

namespace {

void Present(QWidget* window) {
  window->show();
  window->raise();
  window->activateWindow();
}

std::optional<double> Gu(Centi value) { return static_cast<double>(value) / 100.0; }

// A specification version as the statistics and the trend draw it.
analysis::SpecView ToSpecView(const Specification& spec) {
  analysis::SpecView view;
  view.name = spec.name;
  for (std::size_t a = 0; a < 2; ++a) {
    const AngleLimits& l = spec.limits.angle[a];
    analysis::SpecLimits& v = view.angle[a];
    switch (l.kind) {
      case AngleLimits::Kind::Tolerance:
        v.target = Gu(l.target);
        v.lower = Gu(l.target - l.tolerance);
        v.upper = Gu(l.target + l.tolerance);
        break;
      case AngleLimits::Kind::Minimum:
        v.lower = Gu(l.limit);
        break;
      case AngleLimits::Kind::Maximum:
        v.upper = Gu(l.limit);
        break;
      case AngleLimits::Kind::None:
        break;
    }
  }
  if (spec.limits.hazeMax) view.hazeMax = Gu(*spec.limits.hazeMax);
  return view;
}

const analysis::TableColumns kColumns{table::ColMode20, table::ColMode60, table::ColValue20, table::ColValue60};

}  // namespace

LabWindows::LabWindows(table::MeasurementModel& rows, analysis::ReadingAnalysis& analysis,
                       const i18n::LanguageState& language, QWidget* owner, const QString& recordPath,
                       const QString& settingsPath, std::function<BatchSession::Instrument()> instrument)
    : rows_(rows),
      analysis_(&analysis),
      language_(language),
      owner_(owner),
      settingsPath_(settingsPath),
      store_(std::make_unique<LabStore>(recordPath)) {
  const int lang = language_.LanguageIndex;
  const QString file = QDir::toNativeSeparators(store_->Path());
  QString problem;
  switch (store_->State()) {
    case LabStore::OpenState::Open:
      break;
    case LabStore::OpenState::ReadOnly:
      problem = Text(LabText::RecordReadOnly, lang).arg(file);
      break;
    case LabStore::OpenState::InUse:
      problem = Text(LabText::RecordInUse, lang).arg(file);
      break;
    case LabStore::OpenState::Unusable:
      problem = Text(LabText::RecordUnusable, lang).arg(file, store_->Problem());
      break;
    case LabStore::OpenState::Unwritable:
      problem = Text(LabText::RecordUnwritable, lang).arg(file, store_->Problem());
      break;
  }
  if (!problem.isEmpty()) {
    qCWarning(lcLab, "korvanta: the lab record %s: %s", qPrintable(file), qPrintable(store_->Problem()));
    Tell(problem);
    untold_.push_back(problem);
  }
  if (store_->Writable()) {
    session_ = std::make_unique<BatchSession>(rows_, *store_, std::move(instrument));
    connect(session_.get(), &BatchSession::RecordFailed, this, [this](const QString& why) {
      const QString text =
          Text(LabText::RecordFailed, language_.LanguageIndex).arg(QDir::toNativeSeparators(store_->Path()), why);
      // In the Batch window, never in a box: a reading caused it.
      if (batch_) batch_->ShowProblem(text);
      untold_.push_back(text);
      if (startupEnded_ && batch_ == nullptr) QTimer::singleShot(0, this, [this] { OpenBatchWindow(); });
    });
    connect(session_.get(), &BatchSession::BatchChanged, this, &LabWindows::FollowOpenBatch);
    FollowOpenBatch();
  }

  if (owner_) {
    shortcut_ = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_B), owner_);
    shortcut_->setObjectName(QStringLiteral("BatchShortcut"));
    connect(shortcut_, &QShortcut::activated, this, &LabWindows::OpenBatchWindow);
  }
  connect(&analysis, &analysis::ReadingAnalysis::TableMenuBuilt, this, &LabWindows::AddMenuItem);
}

LabWindows::~LabWindows() {
  // The windows read the session and the store: they go first.
  pair_.reset();
  delete batch_;
  delete specifications_;
  delete batches_;
  if (analysis_) analysis_->Follow(nullptr, QString(), std::nullopt);
  session_.reset();
}

void LabWindows::AddMenuItem(QMenu* menu) {
  QAction* action = menu->addAction(Text(LabText::MenuBatch, language_.LanguageIndex));
  action->setObjectName(QStringLiteral("BatchAction"));
  connect(action, &QAction::triggered, this, &LabWindows::OpenBatchWindow);
}

void LabWindows::FollowOpenBatch() {
  if (!analysis_) return;
  const std::optional<lab::Batch> open = session_ ? session_->Current() : std::nullopt;
  if (!open) {
    analysis_->Follow(nullptr, QString(), std::nullopt);
    return;
  }
  std::optional<analysis::SpecView> spec;
  if (const std::optional<Specification>& s = session_->CurrentSpecification()) spec = ToSpecView(*s);
  analysis_->Follow(&session_->OpenReadings(), open->batchId, spec);
}

void LabWindows::OpenBatchWindow() {
  if (!batch_) {
    if (!session_) {
      // Without a record there is nothing to start: the reason, once more, in a box the operator
      // asked for.
      QMessageBox::warning(owner_, Text(LabText::RecordTitle, language_.LanguageIndex),
                           Text(LabText::RecordUnwritable, language_.LanguageIndex)
                               .arg(QDir::toNativeSeparators(store_->Path()), store_->Problem()));
      if (store_->State() != LabStore::OpenState::ReadOnly) return;
      OpenBatches();
      return;
    }
    batch_ = new BatchWindow(*session_, language_, settingsPath_, owner_);
    connect(batch_, &BatchWindow::SpecificationsRequested, this, &LabWindows::OpenSpecifications);
    connect(batch_, &BatchWindow::BatchesRequested, this, &LabWindows::OpenBatches);
    if (!untold_.empty()) batch_->ShowProblem(untold_.back());
    emit BatchWindowMade(batch_);
    batch_->ShowLink(linkLine_, linkReason_);
  }
  Present(batch_);
}

void LabWindows::OpenSpecifications() {
  if (!specifications_) {
    specifications_ = new SpecificationsWindow(*store_, language_, owner_);
    connect(specifications_, &SpecificationsWindow::ProductsChanged, this, [this] {
      if (batch_) batch_->RefreshProducts();
    });
    if (sharedProducts_) specifications_->SetShared(sharedProducts_);
  }
  Present(specifications_);
}

void LabWindows::OpenBatches() {
  if (!batches_) {
    batches_ = new BatchesWindow(*store_, language_, owner_);
    if (sharedBatches_) batches_->SetSharedList(sharedBatches_);
    connect(batches_, &BatchesWindow::StatisticsRequested, this, &LabWindows::OpenBatchStatistics);
    connect(batches_, &BatchesWindow::TrendRequested, this, &LabWindows::OpenBatchTrend);
    connect(batches_, &BatchesWindow::ContinueRequested, this, &LabWindows::ContinueBatch);
    if (session_) {
      connect(session_.get(), &BatchSession::BatchChanged, batches_, &BatchesWindow::Reload);
      // The open batch's counts as its readings arrive: its one row, never the whole list.
      const auto update = [this] {
        if (!batches_) return;
        if (const std::optional<lab::Batch> open = session_->Current()) batches_->UpdateBatch(*open);
      };
      connect(session_.get(), &BatchSession::ReadingRecorded, batches_, update);
      connect(session_.get(), &BatchSession::ReadingsChanged, batches_, update);
    }
    emit BatchesWindowMade(batches_);
  } else {
    batches_->Reload();
  }
  Present(batches_);
}

LabWindows::ReadOnlyPair& LabWindows::PairFor(const QString& key,
                                              const std::function<std::vector<Reading>()>& readings) {
  if (!pair_ || pair_->key != key) {
    pair_.reset();
    pair_ = std::make_unique<ReadOnlyPair>();
    pair_->key = key;
    pair_->readings.Reset(readings());
    pair_->series = std::make_unique<analysis::ReadingSeries>(pair_->readings, kColumns);
  }
  return *pair_;
}

void LabWindows::PresentPair(ReadOnlyPair& pair, const QString& batchId, const std::optional<Specification>& spec,
                             bool trend) {
  std::optional<analysis::SpecView> view;
  if (spec) view = ToSpecView(*spec);
  if (trend) {
    if (!pair.trend) {
      pair.trend = new analysis::TrendWindow(*pair.series, language_, owner_);
      pair.trend->SetBatch(batchId, view);
      pair.trend->setObjectName(QStringLiteral("BatchTrendWindow"));
    }
    Present(pair.trend);
    return;
  }
  if (!pair.statistics) {
    pair.statistics = new analysis::StatisticsWindow(*pair.series, nullptr, language_, owner_);
    pair.statistics->SetBatch(batchId, view);
    pair.statistics->setObjectName(QStringLiteral("BatchStatisticsWindow"));
  }
  Present(pair.statistics);
}

void LabWindows::OpenBatchStatistics(std::int64_t batch) {
  const std::optional<lab::Batch> b = store_->BatchById(batch);
  const std::optional<Specification> spec =
      b && b->specification ? store_->SpecificationVersion(*b->specification) : std::nullopt;
  ReadOnlyPair& pair = PairFor(QStringLiteral("record:%1").arg(batch), [&] { return store_->Readings(batch); });
  PresentPair(pair, b ? b->batchId : QString(), spec, false);
}

void LabWindows::OpenBatchTrend(std::int64_t batch) {
  const std::optional<lab::Batch> b = store_->BatchById(batch);
  const std::optional<Specification> spec =
      b && b->specification ? store_->SpecificationVersion(*b->specification) : std::nullopt;
  ReadOnlyPair& pair = PairFor(QStringLiteral("record:%1").arg(batch), [&] { return store_->Readings(batch); });
  PresentPair(pair, b ? b->batchId : QString(), spec, true);
}

void LabWindows::OpenReadOnly(const QString& key, const QString& batchId, const std::optional<Specification>& spec,
                              std::vector<Reading> readings, bool trend) {
  ReadOnlyPair& pair = PairFor(key, [&readings] { return std::move(readings); });
  PresentPair(pair, batchId, spec, trend);
}

void LabWindows::ReportReadOnly(const lab::Batch& batch, const std::optional<Specification>& spec,
                                const std::vector<Reading>& readings) {
  emit ReportRequested(batch, spec, readings);
}

void LabWindows::ShowLink(const QString& line, const QString& reason) {
  linkLine_ = line;
  linkReason_ = reason;
  if (batch_) batch_->ShowLink(line, reason);
}

void LabWindows::SetSharedProducts(SharedProducts* products) {
  sharedProducts_ = products;
  if (specifications_) specifications_->SetShared(products);
}

void LabWindows::SetSharedBatches(SharedBatchList* batches) {
  sharedBatches_ = batches;
  if (batches_) batches_->SetSharedList(batches);
}

void LabWindows::RefreshProducts() {
  if (batch_) batch_->RefreshProducts();
  if (specifications_) specifications_->Reload();
}

analysis::StatisticsWindow* LabWindows::BatchStatistics() const { return pair_ ? pair_->statistics.data() : nullptr; }

analysis::TrendWindow* LabWindows::BatchTrend() const { return pair_ ? pair_->trend.data() : nullptr; }

void LabWindows::ContinueBatch(std::int64_t batch) {
  if (!session_) return;
  if (!session_->Continue(batch)) {
    if (batches_) {
      batches_->StatusLabel->setText(Text(LabText::RecordUnwritable, language_.LanguageIndex)
                                         .arg(QDir::toNativeSeparators(store_->Path()), store_->Problem()));
    }
    return;
  }
  OpenBatchWindow();
}

void LabWindows::Tell(const QString& text) {
  if (!startupEnded_) {
    atStartup_.push_back(text);
    return;
  }
  QTimer::singleShot(0, this, [this, text] {
    QMessageBox::warning(owner_, Text(LabText::RecordTitle, language_.LanguageIndex), text);
  });
}

void LabWindows::StartupSequenceEnded() {
  if (startupEnded_) return;
  startupEnded_ = true;
  // Problems met while opening the record, after the start-up sequence and the journal's question.
  for (const QString& text : atStartup_) {
    QTimer::singleShot(0, this, [this, text] {
      QMessageBox::warning(owner_, Text(LabText::RecordTitle, language_.LanguageIndex), text);
    });
  }
}

void LabWindows::ApplyLanguage() {
  if (batch_) batch_->ApplyLanguage();
  if (specifications_) specifications_->ApplyLanguage();
  if (batches_) batches_->ApplyLanguage();
  if (pair_ && pair_->statistics) pair_->statistics->ApplyLanguage();
  if (pair_ && pair_->trend) pair_->trend->ApplyLanguage();
  emit LanguageApplied();
}

}  // namespace lab
