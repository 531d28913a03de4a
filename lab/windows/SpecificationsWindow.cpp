#include "lab/windows/SpecificationsWindow.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QVBoxLayout>

#include "lab/LabTexts.h"
#include "widgets/Look.h"

namespace lab {

using widgets::Named;

namespace {

const char* const kFieldNames[kSpecFields] = {"NameEdit",      "Target20Edit",    "Tolerance20Edit", "Minimum20Edit",
                                              "Maximum20Edit", "Target60Edit",    "Tolerance60Edit", "Minimum60Edit",
                                              "Maximum60Edit", "WarningBandEdit", "LargestHazeEdit"};

}  // namespace

SpecificationsWindow::SpecificationsWindow(LabStore& store, const i18n::LanguageState& language, QWidget* parent)
    : QWidget(parent, Qt::Window), store_(store), language_(language) {
  setObjectName(QStringLiteral("SpecificationsWindow"));
  setAttribute(Qt::WA_QuitOnClose, false);

  ProductList = Named(new QListWidget(this), "ProductList");
  AddButton = Named(new QPushButton(this), "AddButton");
  DuplicateButton = Named(new QPushButton(this), "DuplicateButton");
  DeleteButton = Named(new QPushButton(this), "DeleteButton");
  RetireButton = Named(new QPushButton(this), "RetireButton");
  SaveButton = Named(new QPushButton(this), "SaveButton");
  StatusLabel = Named(new QLabel(this), "StatusLabel");
  StatusLabel->setWordWrap(true);
  LabNoteLabel = Named(new QLabel(this), "LabNoteLabel");
  LabNoteLabel->setWordWrap(true);
  LabNoteLabel->hide();

  auto* grid = new QGridLayout;
  for (int i = 0; i < kSpecFields; ++i) {
    const auto k = static_cast<std::size_t>(i);
    captions_[k] = new QLabel(this);
    fields_[k] = Named(new QLineEdit(this), kFieldNames[i]);
    problems_[k] = new QLabel(this);
    problems_[k]->setObjectName(
        QString::fromLatin1(kFieldNames[i]).replace(QLatin1String("Edit"), QLatin1String("Problem")));
    problems_[k]->setStyleSheet(QStringLiteral("color: #b00000;"));
    problems_[k]->setWordWrap(true);
    captions_[k]->setBuddy(fields_[k]);
    grid->addWidget(captions_[k], i, 0);
    grid->addWidget(fields_[k], i, 1);
    grid->addWidget(problems_[k], i, 2);
  }
  grid->setColumnStretch(2, 1);
  auto* buttons = new QHBoxLayout;
  for (QPushButton* b : {AddButton, DuplicateButton, DeleteButton, RetireButton}) buttons->addWidget(b);
  buttons->addStretch(1);
  buttons->addWidget(SaveButton);
  auto* right = new QVBoxLayout;
  right->addLayout(grid);
  right->addWidget(StatusLabel);
  right->addStretch(1);
  auto* top = new QHBoxLayout;
  top->addWidget(ProductList, 1);
  top->addLayout(right, 3);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(LabNoteLabel);
  layout->addLayout(top);
  layout->addLayout(buttons);

  connect(ProductList, &QListWidget::currentRowChanged, this, &SpecificationsWindow::Choose);
  connect(AddButton, &QPushButton::clicked, this, &SpecificationsWindow::AddClick);
  connect(DuplicateButton, &QPushButton::clicked, this, &SpecificationsWindow::DuplicateClick);
  connect(DeleteButton, &QPushButton::clicked, this, &SpecificationsWindow::DeleteClick);
  connect(RetireButton, &QPushButton::clicked, this, &SpecificationsWindow::RetireClick);
  connect(SaveButton, &QPushButton::clicked, this, &SpecificationsWindow::SaveClick);
  for (QLineEdit* f : fields_) connect(f, &QLineEdit::returnPressed, this, &SpecificationsWindow::SaveClick);

  ApplyLanguage();
  Reload();
  if (ProductList->count() == 0) AddClick();
}

void SpecificationsWindow::ApplyLanguage() {
  const int lang = language_.LanguageIndex;
  setWindowTitle(Text(LabText::SpecificationsTitle, lang));
  for (int i = 0; i < kSpecFields; ++i) {
    const QString label = Text(FieldLabel(static_cast<SpecField>(i)), lang);
    captions_[static_cast<std::size_t>(i)]->setText(label);
    fields_[static_cast<std::size_t>(i)]->setAccessibleName(label);
  }
  AddButton->setText(Text(LabText::Add, lang));
  DuplicateButton->setText(Text(LabText::Duplicate, lang));
  DeleteButton->setText(Text(LabText::Delete, lang));
  RetireButton->setText(Text(LabText::Retire, lang));
  SaveButton->setText(Text(LabText::Save, lang));
  ClearProblems();
  Reload();
}

void SpecificationsWindow::Reload() {
  const QUuid keep = editing_;
  const QSignalBlocker block(ProductList);
  ProductList->clear();
  int row = -1;
  for (const Specification& s : store_.Products(true)) {
    const QString name =
        s.state == Specification::State::Retired ? Text(LabText::Retired, language_.LanguageIndex).arg(s.name) : s.name;
    auto* item = new QListWidgetItem(name, ProductList);
    item->setData(Qt::UserRole, s.product);
    if (s.product == keep) row = ProductList->count() - 1;
  }
  ProductList->setCurrentRow(row);
  ApplyRights();
}

void SpecificationsWindow::SetShared(SharedProducts* shared) {
  if (shared_) disconnect(shared_, nullptr, this, nullptr);
  shared_ = shared;
  if (shared_) {
    connect(shared_, &SharedProducts::Changed, this, &SpecificationsWindow::Reload);
    connect(shared_, &SharedProducts::Answered, this, [this](bool saved, const QString& message) {
      Tell(message);
      ApplyRights();
      if (saved) emit ProductsChanged();
    });
  }
  Reload();
}

bool SpecificationsWindow::MayEdit() const { return shared_ ? shared_->MayEdit() : store_.Writable(); }

bool SpecificationsWindow::MayDelete() const { return !shared_ && store_.Writable(); }

void SpecificationsWindow::ApplyRights() {
  const bool chosen = ProductList->currentRow() >= 0;
  const bool edit = MayEdit();
  DuplicateButton->setEnabled(chosen && (edit || !shared_));
  DeleteButton->setEnabled(chosen && MayDelete());
  RetireButton->setEnabled(chosen && edit);
  SaveButton->setEnabled(edit);
  AddButton->setEnabled(edit);
  for (QLineEdit* f : fields_) f->setReadOnly(shared_ && !edit);
  LabNoteLabel->setText(shared_ ? shared_->Note() : QString());
  LabNoteLabel->setVisible(shared_ && !LabNoteLabel->text().isEmpty());
}

void SpecificationsWindow::Choose() {
  QListWidgetItem* item = ProductList->currentItem();
  if (item == nullptr) return;
  const QUuid product = item->data(Qt::UserRole).toUuid();
  for (const Specification& s : store_.Products(true)) {
    if (s.product != product) continue;
    editing_ = product;
    Fill(SpecificationForm::From(s.name, s.limits));
  }
  ClearProblems();
  StatusLabel->clear();
  ApplyRights();
}

void SpecificationsWindow::Fill(const SpecificationForm& form) {
  for (int i = 0; i < kSpecFields; ++i)
    fields_[static_cast<std::size_t>(i)]->setText(form.texts[static_cast<std::size_t>(i)]);
}

void SpecificationsWindow::ClearProblems() {
  for (QLabel* p : problems_) p->clear();
}

void SpecificationsWindow::Tell(const QString& text) { StatusLabel->setText(text); }

void SpecificationsWindow::AddClick() {
  editing_ = QUuid();
  {
    const QSignalBlocker block(ProductList);
    ProductList->setCurrentRow(-1);
  }
  Fill(SpecificationForm::From(QString(), Limits{}));
  ClearProblems();
  StatusLabel->clear();
  DuplicateButton->setEnabled(false);
  DeleteButton->setEnabled(false);
  RetireButton->setEnabled(false);
  fields_[0]->setFocus();
}

void SpecificationsWindow::DuplicateClick() {
  const QString name = fields_[0]->text();
  editing_ = QUuid();
  {
    const QSignalBlocker block(ProductList);
    ProductList->setCurrentRow(-1);
  }
  fields_[0]->setText(Text(LabText::CopyOf, language_.LanguageIndex).arg(name.trimmed()));
  ClearProblems();
  StatusLabel->clear();
  DuplicateButton->setEnabled(false);
  DeleteButton->setEnabled(false);
  RetireButton->setEnabled(false);
  fields_[0]->setFocus();
  fields_[0]->selectAll();
}

void SpecificationsWindow::SaveClick() {
  const int lang = language_.LanguageIndex;
  SpecificationForm form;
  for (int i = 0; i < kSpecFields; ++i)
    form.texts[static_cast<std::size_t>(i)] = fields_[static_cast<std::size_t>(i)]->text();
  std::vector<QString> others;
  std::optional<Specification> current;
  for (const Specification& s : store_.Products(true)) {
    if (s.product == editing_) {
      current = s;
    } else {
      others.push_back(s.name);
    }
  }
  Limits limits;
  ClearProblems();
  const std::vector<FieldProblem> problems = CheckSpecification(form, others, limits);
  for (const FieldProblem& p : problems) {
    QLabel* at = problems_[static_cast<std::size_t>(p.field)];
    if (at->text().isEmpty()) at->setText(Text(p.message, lang));
  }
  if (!problems.empty()) {
    fields_[static_cast<std::size_t>(problems.front().field)]->setFocus();
    return;
  }
  Specification spec;
  spec.name = form[SpecField::Name].trimmed();
  spec.limits = limits;
  if (shared_) {
    if (current && current->name == spec.name && current->limits == spec.limits) {
      Tell(Text(LabText::Saved, lang).arg(current->version));
      return;
    }
    // To the lab database; the list follows once the station's copy has the new version.
    shared_->Save(current ? current->product : QUuid(), spec.name, spec.limits, false);
    return;
  }
  bool ok = true;
  if (!current) {
    ok = store_.AddProduct(spec);
  } else if (current->name == spec.name && current->limits == spec.limits) {
    Tell(Text(LabText::Saved, lang).arg(current->version));
    return;
  } else {
    spec.product = current->product;
    ok = store_.ReviseProduct(spec);
  }
  if (!ok) {
    Tell(Text(LabText::RecordUnwritable, lang).arg(store_.Path(), store_.Problem()));
    return;
  }
  editing_ = spec.product;
  Reload();
  Tell(Text(LabText::Saved, lang).arg(spec.version));
  emit ProductsChanged();
}

void SpecificationsWindow::DeleteClick() {
  const int lang = language_.LanguageIndex;
  if (editing_.isNull() || !MayDelete()) return;
  if (store_.ProductUsed(editing_)) {
    Tell(Text(LabText::ProductInUse, lang));
    return;
  }
  QMessageBox box(QMessageBox::Question, Text(LabText::SpecificationsTitle, lang),
                  Text(LabText::DeleteQuestion, lang).arg(fields_[0]->text().trimmed()),
                  QMessageBox::Yes | QMessageBox::No, this);
  if (box.exec() != QMessageBox::Yes) return;
  if (!store_.DeleteProduct(editing_)) {
    Tell(store_.Writable() ? Text(LabText::ProductInUse, lang)
                           : Text(LabText::RecordUnwritable, lang).arg(store_.Path(), store_.Problem()));
    return;
  }
  editing_ = QUuid();
  Reload();
  AddClick();
  emit ProductsChanged();
}

void SpecificationsWindow::RetireClick() {
  if (editing_.isNull()) return;
  if (shared_) {
    for (const Specification& s : store_.Products(true)) {
      if (s.product == editing_) shared_->Save(s.product, s.name, s.limits, true);
    }
    return;
  }
  if (!store_.RetireProduct(editing_)) {
    Tell(Text(LabText::RecordUnwritable, language_.LanguageIndex).arg(store_.Path(), store_.Problem()));
    return;
  }
  Reload();
  emit ProductsChanged();
}

}  // namespace lab
