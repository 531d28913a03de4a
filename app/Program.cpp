#include "app/Program.h"

namespace app {

Program::Program(ProcessState& state, usb::UsbAccess& access) {
  const auto created = [this](QWidget* w) { CreationOrder.append(w->objectName()); };
  MainForm = std::make_unique<TMainForm>(state, access);
  created(MainForm.get());
  Form5 = std::make_unique<dialogs::TForm5>(state.Language, dialogs::MakePlatformSystemInfo());
  created(Form5.get());
  Form2 = std::make_unique<table::TForm2>(state.Language, state.Table);
  created(Form2.get());
  Form3 = std::make_unique<table::TForm3>(state.Language, state.Table);
  created(Form3.get());
  selectLanguage = std::make_unique<i18n::TselectLanguage>(state.Language);
  created(selectLanguage.get());
  Form6 = std::make_unique<dialogs::TForm6>(state.Language, state.Cycle, state.Geometry);
  created(Form6.get());
  Form7 = std::make_unique<dialogs::TForm7>(state.Language, state.Cycle, state.Geometry, *Form6);
  created(Form7.get());
  MainForm->SetForms({Form5.get(), Form2.get(), Form3.get(), selectLanguage.get(), Form6.get(), Form7.get()});
}

Program::~Program() {
  // The dialogs go first, so that none of their timers fires into a main window being destroyed.
  Form7.reset();
  Form6.reset();
  selectLanguage.reset();
  Form3.reset();
  Form2.reset();
  Form5.reset();
  MainForm.reset();
}

}  // namespace app
