// Statistics and trend of the readings, offered by the measurement table's context menu. Holds
// the numbers of the table's rows (kept up to date from the model's signals) and the two windows,
// created when first asked for and shown again after that.
#pragma once

#include <QAbstractItemView>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>

#include "analysis/ReadingSeries.h"
#include "analysis/windows/StatisticsWindow.h"
#include "analysis/windows/TrendWindow.h"
#include "i18n/Language.h"
#include "table/MeasurementModel.h"

namespace analysis {

class ReadingAnalysis : public QObject {
  Q_OBJECT
 public:
  // `table` shows `rows`; its selection picks the rows of the statistics. The windows belong to
  // `owner` and stay above it.
  ReadingAnalysis(const table::MeasurementModel& rows, QAbstractItemView& table, const i18n::LanguageState& language,
                  QWidget* owner);
  ~ReadingAnalysis() override;

  // The context menu with "Statistics…" and "Trend…" in the current language, owned by `parent`.
  QMenu* MakeTableMenu(QWidget* parent);
  // Pops the menu up at `globalPos`; it goes when closed.
  void ShowTableMenu(const QPoint& globalPos);

  // The instrument's serial number as the main window shows it, for the trend's saved pictures.
  void SetInstrumentSerial(std::function<QString()> serial) { serial_ = std::move(serial); }

  void OpenStatistics();
  void OpenTrend();
  // Open windows follow the language.
  void ApplyLanguage();

  // The windows follow `rows` (the open batch's readings, in the table's columns) instead of the
  // table while it is set, showing batch `batchId` judged against `spec`; null: the table again.
  // Windows open at the switch open again over the new rows.
  void Follow(const QAbstractItemModel* rows, const QString& batchId, const std::optional<SpecView>& spec);

  // The rows the windows follow.
  const ReadingSeries& Series() const { return batchSeries_ ? *batchSeries_ : series_; }
  // Null until first opened.
  StatisticsWindow* Statistics() const { return statistics_; }
  TrendWindow* Trend() const { return trend_; }

 signals:
  // The table's menu is built: additions put their items after "Statistics…" and "Trend…".
  void TableMenuBuilt(QMenu* menu);

 private:
  ReadingSeries series_;
  std::unique_ptr<ReadingSeries> batchSeries_;
  QString batchId_;
  std::optional<SpecView> spec_;
  QAbstractItemView& table_;
  const i18n::LanguageState& language_;
  QWidget* owner_;
  QPointer<StatisticsWindow> statistics_;
  QPointer<TrendWindow> trend_;
  std::function<QString()> serial_;
};

}  // namespace analysis
