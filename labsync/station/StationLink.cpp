#include "labsync/station/StationLink.h"

#include <QDir>
#include <algorithm>

#include "labsync/LabSyncTexts.h"
#include "labsync/Log.h"
#include "labsync/station/Convert.h"
#include "labsync/station/LabBatchList.h"
#include "labsync/station/LabClient.h"
#include "labsync/station/LabOutbox.h"
#include "labsync/station/StationTexts.h"

namespace labsync::station {

// The lab's products in the Specifications window: what the station's copy holds, edited on the
// lab database by a lead while it is reached.
class LabProductsEditor : public lab::SharedProducts {
 public:
  LabProductsEditor(lab::LabStore& store, LabClient& client, Sender& sender, const i18n::LanguageState& language,
                    QObject* parent)
      : lab::SharedProducts(parent), store_(store), client_(client), sender_(sender), language_(language) {}

  void SetStatus(const LinkStatus& status) {
    const bool connected = status.state == LinkStatus::State::Connected;
    if (connected == connected_ && status.lead == lead_) return;
    connected_ = connected;
    lead_ = status.lead;
    emit Changed();
  }

  bool MayEdit() const override { return connected_ && lead_ && !busy_; }

  QString Note() const override {
    const int lang = language_.LanguageIndex;
    if (!connected_) return Text(StationText::NotesUnreached, lang);
    return Text(lead_ ? StationText::NotesLead : StationText::NotesStation, lang);
  }

  void Save(const QUuid& product, const QString& name, const lab::Limits& limits, bool retire) override {
    const int lang = language_.LanguageIndex;
    if (!MayEdit()) {
      emit Answered(false, Note());
      return;
    }
    ProductEdit edit;
    SpecificationAdded& v = edit.version;
    v.specification = QUuid::createUuid();
    v.product = name;
    v.state = retire ? SpecificationState::Retired : SpecificationState::Active;
    SetLimits(v, limits);
    v.at = QDateTime::currentDateTime();
    const std::vector<lab::LabProductEntry> copy = store_.LabProducts();
    const auto entry = std::find_if(copy.begin(), copy.end(), [&product](const lab::LabProductEntry& e) {
      return !product.isNull() && e.product == product;
    });
    if (entry != copy.end()) {
      edit.name = entry->name;
      edit.expected = entry->labSpecification;
      v.productUuid = entry->labProduct.isNull() ? product : entry->labProduct;
      v.version = entry->labVersion + 1;
    } else {
      // A product the lab does not have yet: it becomes one, as the station's own product.
      v.productUuid = product.isNull() ? QUuid::createUuid() : product;
      v.version = 1;
      for (const lab::Specification& s : store_.Products(true)) {
        if (s.product == product) v.version = s.version + 1;
      }
    }
    busy_ = true;
    emit Answered(false, Text(StationText::SavingOnLab, lang));
    const int version = v.version;
    client_.Edit(edit, [this, version](const Outcome& outcome) {
      busy_ = false;
      const int language = language_.LanguageIndex;
      if (outcome.Ok()) {
        emit Answered(true, Text(StationText::SavedOnLab, language).arg(version));
      } else {
        emit Answered(false, ReasonText(outcome, language));
      }
      // The copy follows the lab: the new version, or what someone else made meanwhile.
      sender_.NotifyProducts();
    });
  }

 private:
  lab::LabStore& store_;
  LabClient& client_;
  Sender& sender_;
  const i18n::LanguageState& language_;
  bool connected_ = false;
  bool lead_ = false;
  bool busy_ = false;
};

StationLink::StationLink(lab::LabWindows& windows, const i18n::LanguageState& language, StationConfig config,
                         QObject* parent)
    : QObject(parent), windows_(&windows), language_(language), config_(std::move(config)) {
  qRegisterMetaType<labsync::LinkStatus>();
  status_.state = LinkStatus::State::Stopped;
  connect(this, &StationLink::StatusArrived, this, &StationLink::OnStatus, Qt::QueuedConnection);
  connect(&windows, &lab::LabWindows::LanguageApplied, this, &StationLink::ApplyLanguage);

  lab::LabStore& store = windows.Store();
  if (!config_.problem.Ok() || !config_.fileProblem.isEmpty() || !store.Writable()) {
    qCWarning(lcLabSync, "korvanta: the lab database is not used: %s",
              qPrintable(!config_.problem.Ok()            ? Describe(config_.problem)
                         : !config_.fileProblem.isEmpty() ? config_.fileProblem
                                                          : QStringLiteral("the lab record is not open for writing")));
    ShowLine();
    return;
  }

  outbox_ = std::make_unique<LabOutbox>(store.Path());
  // From the sender's thread: the lab's products go to the record on this one.
  outbox_->OnLabProducts = [this](const std::vector<LabProduct>& products) {
    QMetaObject::invokeMethod(
        this, [this, products] { TakeProducts(products); }, Qt::QueuedConnection);
  };
  SenderSettings settings;
  settings.conninfo = config_.conninfo;
  settings.station = config_.station;
  settings.stationName = config_.stationName;
  settings.connectTimeout = config_.connectTimeout;
  settings.products = outbox_.get();
  sender_ = std::make_unique<Sender>(settings, *outbox_);
  sender_->SetStatusListener([this](const LinkStatus& status) { emit StatusArrived(status); });

  LabClient::Settings client;
  client.conninfo = config_.conninfo;
  client.station = config_.station;
  client.stationName = config_.stationName;
  client.connectTimeout = config_.connectTimeout;
  client_ = new LabClient(client, this);
  list_ = new LabBatchList(
      *client_, language_,
      [this](const QString& key, const lab::Batch& batch, const QString& stationName,
             const std::optional<lab::Specification>& spec, std::vector<lab::Reading> readings,
             lab::SharedBatchList::View view) {
        if (!windows_) return;
        if (view == lab::SharedBatchList::View::Report) {
          windows_->ReportReadOnly(batch, spec, readings);
        } else {
          windows_->OpenReadOnly(key, stationName + QStringLiteral(" · ") + batch.batchId, spec, std::move(readings),
                                 view == lab::SharedBatchList::View::Trend);
        }
      },
      this);
  editor_ = new LabProductsEditor(store, *client_, *sender_, language_, this);
  windows.SetSharedProducts(editor_);
  windows.SetSharedBatches(list_);

  // Each commit that wrote an outbox row wakes the sender: a write to an event descriptor, which
  // never blocks.
  Sender* sender = sender_.get();
  store.SetCommitListener([sender] { sender->Notify(); });
  status_.state = LinkStatus::State::Connecting;
  ShowLine();
  sender_->Start();
}

StationLink::~StationLink() {
  Stop();
  delete client_;
}

void StationLink::ReadProductsNow() {
  if (sender_) sender_->NotifyProducts();
}

void StationLink::Stop() {
  if (windows_) windows_->Store().SetCommitListener({});
  if (sender_) sender_->Stop();
}

void StationLink::OnStatus(const LinkStatus& status) {
  status_ = status;
  if (editor_) editor_->SetStatus(status);
  ShowLine();
}

void StationLink::TakeProducts(const std::vector<LabProduct>& products) {
  if (!windows_) return;
  std::vector<lab::LabProductCopy> copies;
  copies.reserve(products.size());
  for (const LabProduct& p : products) copies.push_back(CopyOf(p));
  const auto same = [](const lab::LabProductCopy& a, const lab::LabProductCopy& b) {
    return a.name == b.name && a.retired == b.retired && a.specification == b.specification && a.product == b.product &&
           a.version == b.version && a.limits == b.limits;
  };
  // The same list as last time changes nothing; the record is not asked.
  if (haveTaken_ && copies.size() == taken_.size() && std::equal(copies.begin(), copies.end(), taken_.begin(), same)) {
    return;
  }
  lab::LabStore& store = windows_->Store();
  bool changed = false;
  const QString before = productsProblem_;
  if (store.ApplyLabProducts(copies, changed)) {
    taken_ = std::move(copies);
    haveTaken_ = true;
    productsProblem_.clear();
  } else {
    productsProblem_ = store.Problem();
    qCWarning(lcLabSync, "korvanta: the lab's products could not be taken into the record: %s",
              qPrintable(productsProblem_));
  }
  if (changed) {
    windows_->RefreshProducts();
    if (editor_) emit editor_->Changed();
  }
  if (before != productsProblem_) ShowLine();
}

void StationLink::ApplyLanguage() {
  ShowLine();
  if (list_) list_->ApplyLanguage();
  if (editor_) emit editor_->Changed();
}

void StationLink::ShowLine() {
  const int lang = language_.LanguageIndex;
  QString line;
  QString reason;
  if (!sender_) {
    line = Text(StationText::StatusNotUsed, lang);
    if (!config_.problem.Ok()) {
      reason = ReasonText(config_.problem, lang);
    } else if (!config_.fileProblem.isEmpty()) {
      reason = Text(StationText::ConfigUnwritable, lang)
                   .arg(QDir::toNativeSeparators(DefaultLabConfPath()), config_.fileProblem);
    } else {
      reason = Text(StationText::RecordNotUsable, lang);
    }
  } else {
    line = StatusLine(status_, lang);
    if (status_.state == LinkStatus::State::Unreachable) {
      reason = ReasonText(status_.reason, lang);
    } else if (!status_.products.Ok()) {
      reason = ReasonText(status_.products, lang);
    } else if (!productsProblem_.isEmpty()) {
      reason = Text(StationText::ProductsNotTaken, lang).arg(productsProblem_);
    }
  }
  if (line == line_ && reason == reason_) return;
  line_ = line;
  reason_ = reason;
  if (windows_) windows_->ShowLink(line_, reason_);
  emit LineChanged();
}

StationLink* Join(lab::LabWindows& windows, const i18n::LanguageState& language,
                  const std::optional<QString>& labDatabase, bool simulated, QObject* parent) {
  StationConfig config = ReadStationConfig(DefaultLabConfPath(), labDatabase, simulated);
  if (!config.configured) return nullptr;
  return new StationLink(windows, language, std::move(config), parent);
}

}  // namespace labsync::station
