// The program's windows, created in their order at start and destroyed in reverse at the end.
#pragma once

#include <QStringList>
#include <memory>

#include "app/ProcessState.h"
#include "app/Unit1.h"
#include "dialogs/Unit5.h"
#include "dialogs/Unit6.h"
#include "dialogs/Unit7.h"
#include "i18n/widgets/Unit4.h"
#include "table/Unit2.h"
#include "table/Unit3.h"

namespace app {

class Program {
 public:
  Program(ProcessState& state, usb::UsbAccess& access);
  ~Program();

  // Object names of the windows in the order they were created.
  QStringList CreationOrder;

  std::unique_ptr<TMainForm> MainForm;
  std::unique_ptr<dialogs::TForm5> Form5;
  std::unique_ptr<table::TForm2> Form2;
  std::unique_ptr<table::TForm3> Form3;
  std::unique_ptr<i18n::TselectLanguage> selectLanguage;
  std::unique_ptr<dialogs::TForm6> Form6;
  std::unique_ptr<dialogs::TForm7> Form7;
};

}  // namespace app
