#include "analysis/windows/StatisticsWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QVBoxLayout>
#include <algorithm>

#include "analysis/windows/WindowHabits.h"
#include "analysis/windows/WindowTexts.h"
#include "i18n/ExtraTexts.h"
#include "widgets/Look.h"

namespace analysis {

using i18n::Extra;
using widgets::Named;

StatisticsWindow::StatisticsWindow(const ReadingSeries& series, QItemSelectionModel* selection,
                                   const i18n::LanguageState& language, QWidget* parent)
    : QWidget(parent, Qt::Window), series_(series), selection_(selection), language_(language) {
  setObjectName(QStringLiteral("StatisticsWindow"));
  // An open statistics window never keeps the program running once the main window is closed.
  setAttribute(Qt::WA_QuitOnClose, false);

  ScopeLabel = Named(new QLabel(this), "ScopeLabel");
  StatisticsTable = Named(new QTableWidget(10, 3, this), "StatisticsTable");
  StatisticsTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
  StatisticsTable->setSelectionMode(QAbstractItemView::NoSelection);
  StatisticsTable->setFocusPolicy(Qt::NoFocus);
  StatisticsTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  // Fixed row heights: a header that sized its rows to their contents would measure every cell
  // again for each changed figure, that is for every reading.
  StatisticsTable->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  StatisticsTable->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  StatisticsTable->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  StatisticsTable->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  for (int r = 0; r < StatisticsTable->rowCount(); ++r) {
    for (int c = 0; c < StatisticsTable->columnCount(); ++c) {
      auto* item = new QTableWidgetItem;
      item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      StatisticsTable->setItem(r, c, item);
    }
  }
  NoteLabel = Named(new QLabel(this), "NoteLabel");
  NoteLabel->setWordWrap(true);
  NoticeLabel = Named(new QLabel(this), "NoticeLabel");
  CopyButton = Named(new QPushButton(this), "CopyButton");

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(NoticeLabel, 1);
  buttons->addWidget(CopyButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(ScopeLabel);
  layout->addWidget(StatisticsTable);
  layout->addWidget(NoteLabel);
  layout->addStretch(1);
  layout->addLayout(buttons);

  connect(CopyButton, &QPushButton::clicked, this, &StatisticsWindow::CopyClick);
  connect(&series_, &ReadingSeries::Changed, this, &StatisticsWindow::Refresh);
  if (selection_) connect(selection_, &QItemSelectionModel::selectionChanged, this, &StatisticsWindow::Refresh);
  ApplyLanguage();
  resize(std::max(520, sizeHint().width()), sizeHint().height());
}

void StatisticsWindow::keyPressEvent(QKeyEvent* event) {
  if (IsCloseKey(*event)) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

void StatisticsWindow::ApplyLanguage() {
  const int lang = language_.LanguageIndex;
  NoticeLabel->clear();
  const QString title = i18n::ExtraText(Extra::StatisticsTitle, lang);
  setWindowTitle(batchId_.isEmpty() ? title : title + QStringLiteral(" – ") + batchId_);
  NoteLabel->setText(i18n::ExtraText(Extra::StatisticsHazeNote, lang));
  CopyButton->setText(i18n::ExtraText(Extra::StatisticsCopy, lang));
  Refresh();
}

void StatisticsWindow::SetBatch(const QString& batchId, const std::optional<SpecView>& spec) {
  batchId_ = batchId;
  spec_ = spec;
  const QString title = i18n::ExtraText(Extra::StatisticsTitle, language_.LanguageIndex);
  setWindowTitle(batchId_.isEmpty() ? title : title + QStringLiteral(" – ") + batchId_);
  Refresh();
  resize(std::max(width(), sizeHint().width()), sizeHint().height());
}

std::vector<int> StatisticsWindow::SelectedRows() const {
  std::vector<int> rows;
  if (!selection_) return rows;
  for (const QItemSelectionRange& range : selection_->selection()) {
    if (!range.isValid() || range.parent().isValid()) continue;
    for (int r = range.top(); r <= range.bottom(); ++r) rows.push_back(r);
  }
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  if (rows.size() < 2) rows.clear();
  return rows;
}

void StatisticsWindow::Refresh() {
  const std::vector<int> selected = SelectedRows();
  // All rows: the running figures as they stand. Selected rows: counted afresh, in their number.
  cells_ = selected.empty() ? MakeStatisticsCells(series_.AllRows(), false, language_.LanguageIndex)
                            : MakeStatisticsCells(series_.Of(selected), true, language_.LanguageIndex);
  if (!batchId_.isEmpty()) AddBatchCells(cells_, series_.AllRows(), batchId_, spec_, language_.LanguageIndex);
  if (StatisticsTable->rowCount() != static_cast<int>(cells_.cells.size())) {
    const int old = StatisticsTable->rowCount();
    StatisticsTable->setRowCount(static_cast<int>(cells_.cells.size()));
    for (int r = old; r < StatisticsTable->rowCount(); ++r) {
      for (int c = 0; c < StatisticsTable->columnCount(); ++c) {
        auto* item = new QTableWidgetItem;
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        StatisticsTable->setItem(r, c, item);
      }
    }
  }
  ScopeLabel->setText(cells_.scope);
  if (cells_.columns != shownHeadings_[0] || cells_.rowNames != shownHeadings_[1]) {
    StatisticsTable->setHorizontalHeaderLabels(cells_.columns);
    StatisticsTable->setVerticalHeaderLabels(cells_.rowNames);
    shownHeadings_ = {cells_.columns, cells_.rowNames};
    // The table as high as its rows, as wide as the row names and three columns of figures.
    QHeaderView* names = StatisticsTable->verticalHeader();
    const int frame = 2 * StatisticsTable->frameWidth();
    StatisticsTable->setFixedHeight(StatisticsTable->horizontalHeader()->sizeHint().height() + names->length() + frame);
    StatisticsTable->setMinimumWidth(names->sizeHint().width() +
                                     3 * fontMetrics().horizontalAdvance(QStringLiteral("0000.000")) + frame);
  }
  for (std::size_t r = 0; r < cells_.cells.size(); ++r) {
    for (std::size_t c = 0; c < 3; ++c) {
      QTableWidgetItem* item = StatisticsTable->item(static_cast<int>(r), static_cast<int>(c));
      if (item->text() != cells_.cells[r][c]) item->setText(cells_.cells[r][c]);
    }
  }
}

void StatisticsWindow::CopyClick() {
  const QString text = StatisticsClipboardText(cells_);
  QClipboard* clipboard = QApplication::clipboard();
  clipboard->setText(text);
  // The clipboard gives no result of its own: what it hands out again tells whether it took it.
  const QMimeData* held = clipboard->mimeData();
  const int lang = language_.LanguageIndex;
  if (held != nullptr && held->text() == text) {
    ShowNotice(NoticeLabel, Text(WindowText::Copied, lang));
    return;
  }
  NoticeLabel->clear();
  QMessageBox::critical(this, i18n::ExtraText(Extra::ErrorTitle, lang),
                        i18n::ExtraText(Extra::StatisticsCopyFailed, lang));
}

}  // namespace analysis
