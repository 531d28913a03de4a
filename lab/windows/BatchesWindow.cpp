#include "lab/windows/BatchesWindow.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QSaveFile>
#include <QVBoxLayout>

#include "lab/BatchCsv.h"
#include "lab/LabTexts.h"
#include "widgets/Look.h"

namespace lab {

using widgets::Named;

// ---- the list ----------------------------------------------------------------------------------

BatchListModel::BatchListModel(const i18n::LanguageState& language, QObject* parent)
    : QAbstractTableModel(parent), language_(language) {}

void BatchListModel::SetBatches(std::vector<Batch> batches) {
  beginResetModel();
  batches_ = std::move(batches);
  haystacks_.clear();
  haystacks_.reserve(batches_.size());
  for (const Batch& b : batches_) {
    haystacks_.push_back(
        (b.batchId + QLatin1Char('\n') + b.product + QLatin1Char('\n') + b.operatorName).toCaseFolded());
  }
  Apply();
  endResetModel();
}

void BatchListModel::SetFilter(const QString& text, const QDate& from, const QDate& to) {
  beginResetModel();
  text_ = text.trimmed().toCaseFolded();
  from_ = from;
  to_ = to;
  Apply();
  endResetModel();
}

void BatchListModel::Apply() {
  shown_.clear();
  // The days as the moments they begin and end, in the start's own offset.
  for (std::size_t i = 0; i < batches_.size(); ++i) {
    const Batch& b = batches_[i];
    if (!text_.isEmpty() && !haystacks_[i].contains(text_)) continue;
    if (from_.isValid() || to_.isValid()) {
      const QDate day = b.started.ToDateTime().date();
      if (from_.isValid() && day < from_) continue;
      if (to_.isValid() && day > to_) continue;
    }
    shown_.push_back(static_cast<int>(i));
  }
}

void BatchListModel::Update(const Batch& batch) {
  for (std::size_t i = 0; i < batches_.size(); ++i) {
    if (batches_[i].id != batch.id) continue;
    batches_[i] = batch;
    for (std::size_t r = 0; r < shown_.size(); ++r) {
      if (shown_[r] == static_cast<int>(i)) {
        emit dataChanged(index(static_cast<int>(r), 0), index(static_cast<int>(r), columnCount() - 1));
      }
    }
    return;
  }
}

const Batch* BatchListModel::At(int row) const {
  if (row < 0 || row >= Shown()) return nullptr;
  return &batches_[static_cast<std::size_t>(shown_[static_cast<std::size_t>(row)])];
}

int BatchListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : Shown(); }

int BatchListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 9; }

QVariant BatchListModel::data(const QModelIndex& index, int role) const {
  const Batch* b = At(index.row());
  if (b == nullptr) return {};
  if (role == Qt::TextAlignmentRole) {
    return QVariant::fromValue(Qt::AlignVCenter | (index.column() >= 5 ? Qt::AlignRight : Qt::AlignLeft));
  }
  if (role != Qt::DisplayRole) return {};
  const int lang = language_.LanguageIndex;
  switch (index.column()) {
    case 0:
      return b->batchId;
    case 1:
      return b->product.isEmpty() ? Text(LabText::NoProduct, lang) : b->product;
    case 2:
      return b->operatorName;
    case 3:
      return QLocale().toString(b->started.ToDateTime(), QLocale::ShortFormat);
    case 4:
      return b->closed ? QLocale().toString(b->closed->ToDateTime(), QLocale::ShortFormat)
                       : Text(LabText::OpenBatchState, lang);
    case 5:
      return b->readings;
    case 6:
      return b->passes;
    case 7:
      return b->warnings;
    case 8:
      return b->fails;
    default:
      return {};
  }
}

QVariant BatchListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  static const LabText headings[9] = {LabText::BatchId,   LabText::Product,   LabText::Operator,
                                      LabText::Start,     LabText::End,       LabText::Count,
                                      LabText::PassCount, LabText::WarnCount, LabText::FailCount};
  if (section < 0 || section >= 9) return {};
  return Text(headings[section], language_.LanguageIndex);
}

// ---- the window --------------------------------------------------------------------------------

BatchesWindow::BatchesWindow(LabStore& store, const i18n::LanguageState& language, QWidget* parent)
    : QWidget(parent, Qt::Window), store_(store), language_(language), model_(language) {
  setObjectName(QStringLiteral("BatchesWindow"));
  setAttribute(Qt::WA_QuitOnClose, false);

  ScopeBox = Named(new QComboBox(this), "ScopeBox");
  ScopeBox->hide();
  FilterLabel = Named(new QLabel(this), "FilterLabel");
  FilterEdit = Named(new QLineEdit(this), "FilterEdit");
  FilterEdit->setClearButtonEnabled(true);
  FromLabel = Named(new QLabel(this), "FromLabel");
  ToLabel = Named(new QLabel(this), "ToLabel");
  FromEdit = Named(new QDateEdit(this), "FromEdit");
  ToEdit = Named(new QDateEdit(this), "ToEdit");
  // The earliest date stands for "no bound" and shows as an empty field.
  for (QDateEdit* e : {FromEdit, ToEdit}) {
    e->setCalendarPopup(true);
    e->setMinimumDate(QDate(2000, 1, 1));
    e->setSpecialValueText(QStringLiteral(" "));
    e->setDate(e->minimumDate());
  }
  BatchTable = Named(new QTableView(this), "BatchTable");
  BatchTable->setModel(&model_);
  BatchTable->setSelectionBehavior(QAbstractItemView::SelectRows);
  BatchTable->setSelectionMode(QAbstractItemView::SingleSelection);
  BatchTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
  BatchTable->verticalHeader()->hide();
  BatchTable->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  BatchTable->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  BatchTable->horizontalHeader()->setStretchLastSection(true);
  StatisticsButton = Named(new QPushButton(this), "StatisticsButton");
  TrendButton = Named(new QPushButton(this), "TrendButton");
  ContinueButton = Named(new QPushButton(this), "ContinueButton");
  ExportButton = Named(new QPushButton(this), "ExportButton");
  StatusLabel = Named(new QLabel(this), "StatusLabel");
  StatusLabel->setWordWrap(true);
  FilterLabel->setBuddy(FilterEdit);
  FromLabel->setBuddy(FromEdit);
  ToLabel->setBuddy(ToEdit);

  auto* filters = new QHBoxLayout;
  filters->addWidget(ScopeBox);
  filters->addWidget(FilterLabel);
  filters->addWidget(FilterEdit, 1);
  filters->addWidget(FromLabel);
  filters->addWidget(FromEdit);
  filters->addWidget(ToLabel);
  filters->addWidget(ToEdit);
  auto* buttons = buttons_ = new QHBoxLayout;
  for (QPushButton* b : {StatisticsButton, TrendButton, ContinueButton}) buttons->addWidget(b);
  buttons->addStretch(1);
  buttons->addWidget(ExportButton);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(filters);
  layout->addWidget(BatchTable, 1);
  layout->addWidget(StatusLabel);
  layout->addLayout(buttons);
  resize(820, 480);

  AskCsvPath = [this](QWidget* owner, const QString& suggested) {
    return QFileDialog::getSaveFileName(owner, Text(LabText::ExportCsv, language_.LanguageIndex), suggested,
                                        Text(LabText::CsvFilter, language_.LanguageIndex));
  };
  connect(FilterEdit, &QLineEdit::textChanged, this, &BatchesWindow::ApplyFilter);
  connect(FromEdit, &QDateEdit::dateChanged, this, &BatchesWindow::ApplyFilter);
  connect(ToEdit, &QDateEdit::dateChanged, this, &BatchesWindow::ApplyFilter);
  connect(BatchTable->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &BatchesWindow::UpdateButtons);
  connect(StatisticsButton, &QPushButton::clicked, this, [this] {
    if (WholeLab()) return OpenShared(SharedBatchList::View::Statistics);
    if (const Batch* b = Chosen()) emit StatisticsRequested(b->id);
  });
  connect(TrendButton, &QPushButton::clicked, this, [this] {
    if (WholeLab()) return OpenShared(SharedBatchList::View::Trend);
    if (const Batch* b = Chosen()) emit TrendRequested(b->id);
  });
  connect(ContinueButton, &QPushButton::clicked, this, [this] {
    if (const Batch* b = Chosen()) emit ContinueRequested(b->id);
  });
  connect(ExportButton, &QPushButton::clicked, this, &BatchesWindow::ExportClick);
  connect(BatchTable, &QTableView::doubleClicked, this, [this] {
    if (WholeLab()) return OpenShared(SharedBatchList::View::Statistics);
    if (const Batch* b = Chosen()) emit StatisticsRequested(b->id);
  });
  connect(ScopeBox, &QComboBox::currentIndexChanged, this, &BatchesWindow::ScopeChanged);

  ApplyLanguage();
  Reload();
}

void BatchesWindow::ApplyLanguage() {
  const int lang = language_.LanguageIndex;
  setWindowTitle(Text(LabText::BatchesTitle, lang));
  const std::pair<QLabel*, QWidget*> labelled[] = {{FilterLabel, FilterEdit}, {FromLabel, FromEdit}, {ToLabel, ToEdit}};
  const LabText texts[] = {LabText::Filter, LabText::From, LabText::To};
  for (int i = 0; i < 3; ++i) {
    labelled[i].first->setText(Text(texts[i], lang));
    labelled[i].second->setAccessibleName(Text(texts[i], lang));
  }
  StatisticsButton->setText(Text(LabText::StatisticsButton, lang));
  TrendButton->setText(Text(LabText::TrendButton, lang));
  ContinueButton->setText(Text(LabText::ContinueBatch, lang));
  ExportButton->setText(Text(LabText::ExportCsv, lang));
  emit model_.headerDataChanged(Qt::Horizontal, 0, model_.columnCount() - 1);
  if (shared_) {
    ScopeBox->setItemText(0, shared_->ScopeName(false));
    ScopeBox->setItemText(1, shared_->ScopeName(true));
    ScopeBox->setAccessibleName(shared_->ScopeName(true));
  }
}

void BatchesWindow::SetSharedList(SharedBatchList* list) {
  shared_ = list;
  {
    const QSignalBlocker block(ScopeBox);
    ScopeBox->clear();
    if (shared_) ScopeBox->addItems({shared_->ScopeName(false), shared_->ScopeName(true)});
  }
  ScopeBox->setVisible(shared_ != nullptr);
  if (shared_) {
    ScopeBox->setAccessibleName(shared_->ScopeName(true));
    connect(shared_, &SharedBatchList::StatusChanged, this, [this] {
      if (WholeLab()) StatusLabel->setText(shared_->Status());
    });
    connect(shared_, &QAbstractItemModel::modelReset, this, &BatchesWindow::UpdateButtons);
  }
  ScopeChanged();
}

bool BatchesWindow::WholeLab() const { return shared_ && ScopeBox->currentIndex() == 1; }

bool BatchesWindow::ChosenInWholeLab() const {
  return WholeLab() && BatchTable->selectionModel()->currentIndex().isValid() &&
         shared_->Offers(SharedBatchList::View::Report);
}

void BatchesWindow::OpenSharedReport() {
  if (WholeLab()) OpenShared(SharedBatchList::View::Report);
}

void BatchesWindow::ScopeChanged() {
  // Each list keeps its own choice; the filters apply to the one shown.
  BatchTable->setModel(WholeLab() ? static_cast<QAbstractItemModel*>(shared_.data()) : &model_);
  connect(BatchTable->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &BatchesWindow::UpdateButtons,
          Qt::UniqueConnection);
  StatusLabel->setText(WholeLab() ? shared_->Status() : QString());
  ApplyFilter();
}

void BatchesWindow::OpenShared(SharedBatchList::View view) {
  const QModelIndex current = BatchTable->selectionModel()->currentIndex();
  if (current.isValid() && shared_) shared_->Open(current.row(), view);
}

void BatchesWindow::Reload() {
  if (WholeLab()) shared_->Reload();
  const std::int64_t chosen = Chosen() != nullptr ? Chosen()->id : 0;
  model_.SetBatches(store_.Batches());
  for (int r = 0; r < model_.Shown(); ++r) {
    if (model_.At(r)->id == chosen) Choose(r);
  }
  UpdateButtons();
}

void BatchesWindow::ApplyFilter() {
  const auto bound = [](const QDateEdit* e) { return e->date() == e->minimumDate() ? QDate() : e->date(); };
  if (WholeLab()) {
    shared_->SetFilter(FilterEdit->text(), bound(FromEdit), bound(ToEdit));
  } else {
    model_.SetFilter(FilterEdit->text(), bound(FromEdit), bound(ToEdit));
  }
  UpdateButtons();
}

const Batch* BatchesWindow::Chosen() const {
  if (WholeLab()) return nullptr;
  const QModelIndex current = BatchTable->selectionModel()->currentIndex();
  return current.isValid() ? model_.At(current.row()) : nullptr;
}

void BatchesWindow::Choose(int row) {
  BatchTable->selectionModel()->setCurrentIndex(BatchTable->model()->index(row, 0),
                                                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void BatchesWindow::UpdateButtons() {
  if (WholeLab()) {
    const bool chosen = BatchTable->selectionModel()->currentIndex().isValid();
    StatisticsButton->setEnabled(chosen && shared_->Offers(SharedBatchList::View::Statistics));
    TrendButton->setEnabled(chosen && shared_->Offers(SharedBatchList::View::Trend));
    ContinueButton->setEnabled(false);
    ExportButton->setEnabled(false);
    emit ChoiceChanged();
    return;
  }
  const Batch* b = Chosen();
  for (QPushButton* button : {StatisticsButton, TrendButton, ExportButton}) button->setEnabled(b != nullptr);
  ContinueButton->setEnabled(b != nullptr && !b->Open() && store_.Writable());
  emit ChoiceChanged();
}

void BatchesWindow::AddButton(QPushButton* button) {
  button->setParent(this);
  buttons_->insertWidget(buttons_->indexOf(ExportButton), button);
}

void BatchesWindow::ExportClick() {
  const Batch* chosen = Chosen();
  if (chosen == nullptr) return;
  const Batch batch = *chosen;
  QString safe = batch.batchId;
  for (QChar& c : safe) {
    if (!c.isLetterOrNumber() && c != QLatin1Char('-') && c != QLatin1Char('_')) c = QLatin1Char('_');
  }
  const QString path = AskCsvPath(this, safe + QStringLiteral(".csv"));
  if (path.isEmpty()) return;
  const std::optional<Specification> spec =
      batch.specification ? store_.SpecificationVersion(*batch.specification) : std::nullopt;
  QSaveFile file(path);
  const int lang = language_.LanguageIndex;
  if (!file.open(QIODevice::WriteOnly) || file.write(BatchCsv(batch, spec, store_.Readings(batch.id))) < 0 ||
      !file.commit()) {
    StatusLabel->setText(Text(LabText::CsvWriteFailed, lang).arg(QDir::toNativeSeparators(path), file.errorString()));
    return;
  }
  StatusLabel->setText(QDir::toNativeSeparators(path));
}

}  // namespace lab
