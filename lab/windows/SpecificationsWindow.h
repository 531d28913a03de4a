// The Specifications window: the products with their limits. Saving an edited product adds a
// version (a batch keeps the version it started with); a product that a batch used can be
// retired, never deleted. Each problem of the input is told next to its field, in the operator's
// language, and nothing is stored until every field is good.
//
// With a lab database (SetShared) the products are the lab's: a lead's edit goes to the lab database
// and comes back through the station's copy; anyone else sees them read-only with the reason above
// the list. Lab products are retired, never deleted.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QUuid>
#include <QWidget>
#include <array>

#include "i18n/Language.h"
#include "lab/LabStore.h"
#include "lab/SpecificationForm.h"
#include "lab/windows/SharedLab.h"

namespace lab {

class SpecificationsWindow : public QWidget {
  Q_OBJECT
 public:
  SpecificationsWindow(LabStore& store, const i18n::LanguageState& language, QWidget* parent = nullptr);

  void ApplyLanguage();
  // The list as the record holds it; the product being edited stays chosen.
  void Reload();
  // The lab database's products; null: the record's own, as without a lab database.
  void SetShared(SharedProducts* shared);

  QLineEdit* Field(SpecField f) const { return fields_[static_cast<std::size_t>(f)]; }
  QLabel* Problem(SpecField f) const { return problems_[static_cast<std::size_t>(f)]; }

  QListWidget* ProductList;
  QPushButton* AddButton;
  QPushButton* DuplicateButton;
  QPushButton* DeleteButton;
  QPushButton* RetireButton;
  QPushButton* SaveButton;
  QLabel* StatusLabel;
  QLabel* LabNoteLabel;

 signals:
  // A product was added, changed, retired or deleted.
  void ProductsChanged();

 private:
  void Choose();
  void AddClick();
  void DuplicateClick();
  void DeleteClick();
  void RetireClick();
  void SaveClick();
  void Fill(const SpecificationForm& form);
  void ClearProblems();
  void Tell(const QString& text);
  // Whether products may be added and changed here now, and deleted.
  bool MayEdit() const;
  bool MayDelete() const;
  void ApplyRights();

  LabStore& store_;
  const i18n::LanguageState& language_;
  std::array<QLabel*, kSpecFields> captions_{};
  std::array<QLineEdit*, kSpecFields> fields_{};
  std::array<QLabel*, kSpecFields> problems_{};
  QUuid editing_;  // null: a new product
  QPointer<SharedProducts> shared_;
};

}  // namespace lab
