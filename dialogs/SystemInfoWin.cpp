// The running system's answers on Windows: GetVersionExA, the owner values in the registry and the
// module path.
#include <windows.h>

#include <QCoreApplication>
#include <QDir>
#include <string>

#include "dialogs/SystemInfo.h"

namespace dialogs {
namespace {

OSVERSIONINFOA QueryVersion() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof(info);  // 148
  // A failed query leaves platform id 0, which FromWindowsVersion treats as unknown.
#ifdef _MSC_VER
#pragma warning(suppress : 4996)
#endif
  GetVersionExA(&info);
  return info;
}

// A string value of an open key; empty when it is missing or of another type.
QString ReadString(HKEY key, const wchar_t* name) {
  DWORD type = 0;
  DWORD bytes = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS) return {};
  if ((type != REG_SZ && type != REG_EXPAND_SZ) || bytes == 0) return {};
  std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
  DWORD read = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &read) != ERROR_SUCCESS) {
    return {};
  }
  value.resize(read / sizeof(wchar_t));
  while (!value.empty() && value.back() == L'\0') value.pop_back();
  return QString::fromStdWString(value);
}

class WindowsSystemInfo : public SystemInfo {
 public:
  SystemVersion Version() const override {
    const OSVERSIONINFOA info = QueryVersion();
    return FromWindowsVersion(info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber, info.dwPlatformId,
                              QString::fromLocal8Bit(info.szCSDVersion));
  }

  // The owner values are only read: opening the key with full access (and creating it when
  // missing) would fail for every user without administrator rights and leave the labels empty.
  OwnerInfo Owner() const override {
    const wchar_t* path = nullptr;
    switch (QueryVersion().dwPlatformId) {
      case kWin32Windows:
        path = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
        break;
      case kWin32NT:
        path = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
        break;
      default:
        return {};
    }
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) {
      return {};
    }
    OwnerInfo owner;
    owner.Found = true;
    owner.Name = ReadString(key, L"RegisteredOwner");
    owner.Organisation = ReadString(key, L"RegisteredOrganization");
    RegCloseKey(key);
    return owner;
  }

  QString ProgramFilePath() const override { return QDir::toNativeSeparators(QCoreApplication::applicationFilePath()); }
};

}  // namespace

std::unique_ptr<SystemInfo> MakePlatformSystemInfo() { return std::make_unique<WindowsSystemInfo>(); }

}  // namespace dialogs
