#include "analysis/windows/ReadingAnalysis.h"

#include "analysis/Log.h"
#include "i18n/ExtraTexts.h"

namespace analysis {
namespace {

void Present(QWidget* window) {
  window->show();
  window->raise();
  window->activateWindow();
}

}  // namespace

ReadingAnalysis::ReadingAnalysis(const table::MeasurementModel& rows, QAbstractItemView& table,
                                 const i18n::LanguageState& language, QWidget* owner)
    : series_(rows, {table::ColMode20, table::ColMode60, table::ColValue20, table::ColValue60}),
      table_(table),
      language_(language),
      owner_(owner) {}

ReadingAnalysis::~ReadingAnalysis() {
  // The windows read the numbers kept here: they go first.
  delete statistics_;
  delete trend_;
  batchSeries_.reset();
}

QMenu* ReadingAnalysis::MakeTableMenu(QWidget* parent) {
  auto* menu = new QMenu(parent);
  menu->setObjectName(QStringLiteral("TableMenu"));
  const int lang = language_.LanguageIndex;
  QAction* statistics = menu->addAction(i18n::ExtraText(i18n::Extra::MenuStatistics, lang));
  statistics->setObjectName(QStringLiteral("StatisticsAction"));
  connect(statistics, &QAction::triggered, this, &ReadingAnalysis::OpenStatistics);
  QAction* trend = menu->addAction(i18n::ExtraText(i18n::Extra::MenuTrend, lang));
  trend->setObjectName(QStringLiteral("TrendAction"));
  connect(trend, &QAction::triggered, this, &ReadingAnalysis::OpenTrend);
  emit TableMenuBuilt(menu);
  return menu;
}

void ReadingAnalysis::ShowTableMenu(const QPoint& globalPos) {
  QMenu* menu = MakeTableMenu(&table_);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(globalPos);
}

void ReadingAnalysis::OpenStatistics() {
  if (!statistics_) {
    // A batch's figures cover all its readings; the table's selection picks among the table's.
    statistics_ = new StatisticsWindow(Series(), batchSeries_ ? nullptr : table_.selectionModel(), language_, owner_);
    if (batchSeries_) statistics_->SetBatch(batchId_, spec_);
  }
  Present(statistics_);
}

void ReadingAnalysis::OpenTrend() {
  if (!trend_) {
    trend_ = new TrendWindow(Series(), language_, owner_);
    trend_->InstrumentSerial = [this] { return serial_ ? serial_() : QString(); };
    if (batchSeries_) trend_->SetBatch(batchId_, spec_);
  }
  Present(trend_);
}

void ReadingAnalysis::Follow(const QAbstractItemModel* rows, const QString& batchId,
                             const std::optional<SpecView>& spec) {
  const bool statisticsShown = statistics_ && statistics_->isVisible();
  const bool trendShown = trend_ && trend_->isVisible();
  delete statistics_;
  delete trend_;
  batchSeries_.reset();
  if (rows != nullptr) {
    batchSeries_ = std::make_unique<ReadingSeries>(
        *rows, TableColumns{table::ColMode20, table::ColMode60, table::ColValue20, table::ColValue60});
  }
  batchId_ = batchId;
  spec_ = spec;
  if (rows != nullptr) {
    qCDebug(lcAnalysis, "statistics and trend follow batch %s (%d readings)", qPrintable(batchId), rows->rowCount());
  } else {
    qCDebug(lcAnalysis, "statistics and trend follow the table");
  }
  if (statisticsShown) OpenStatistics();
  if (trendShown) OpenTrend();
}

void ReadingAnalysis::ApplyLanguage() {
  if (statistics_) statistics_->ApplyLanguage();
  if (trend_) trend_->ApplyLanguage();
}

}  // namespace analysis
