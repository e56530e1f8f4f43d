#include "ui_win32/registry_settings.h"

#include <windows.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace korvel {
namespace {

constexpr REGSAM kAccess = KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE;

// An open registry key, closed when it goes.
class Key {
 public:
  Key() = default;
  explicit Key(HKEY handle) : handle_(handle) {}
  Key(Key&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  Key& operator=(Key&& other) noexcept {
    std::swap(handle_, other.handle_);
    return *this;
  }
  ~Key() {
    if (handle_ != nullptr) ::RegCloseKey(handle_);
  }
  HKEY get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  HKEY handle_ = nullptr;
};

Key createChild(HKEY parent, const wchar_t* name) {
  HKEY child = nullptr;
  DWORD disposition = 0;
  if (::RegCreateKeyExW(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, kAccess, nullptr, &child,
                        &disposition) != ERROR_SUCCESS) {
    return Key();
  }
  return Key(child);
}

// Software, then the registry key, the application and the section, each created if missing.
Key openSection(const std::wstring& application, const wchar_t* section) {
  HKEY software = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, kAccess, &software) != ERROR_SUCCESS) {
    return Key();
  }
  Key softwareKey(software);
  Key registryKey = createChild(softwareKey.get(), RegistrySettings::kRegistryKey);
  if (!registryKey) return Key();
  Key applicationKey = createChild(registryKey.get(), application.c_str());
  if (!applicationKey) return Key();
  return createChild(applicationKey.get(), section);
}

}  // namespace

RegistrySettings::RegistrySettings(std::wstring applicationName)
    : applicationName_(std::move(applicationName)) {}

std::wstring RegistrySettings::executableName() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return L"Korvel";
    if (length < buffer.size()) {
      std::wstring path(buffer.data(), length);
      const std::size_t slash = path.find_last_of(L"\\/");
      std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
      const std::size_t dot = name.find_last_of(L'.');
      return dot == std::wstring::npos || dot == 0 ? name : name.substr(0, dot);
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::wstring RegistrySettings::applicationKeyPath() const {
  return std::wstring(L"Software\\") + kRegistryKey + L"\\" + applicationName_;
}

std::uint32_t RegistrySettings::readInteger(const wchar_t* section, const wchar_t* name,
                                            std::uint32_t fallback) {
  const Key key = openSection(applicationName_, section);
  if (!key) return fallback;
  DWORD value = 0;
  DWORD size = sizeof(value);
  DWORD type = 0;
  if (::RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
      ERROR_SUCCESS) {
    return fallback;
  }
  return value;
}

void RegistrySettings::writeInteger(const wchar_t* section, const wchar_t* name,
                                    std::uint32_t value) {
  const Key key = openSection(applicationName_, section);
  if (!key) return;
  const DWORD stored = value;
  ::RegSetValueExW(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&stored),
                   sizeof(stored));
}

std::wstring RegistrySettings::readText(const wchar_t* section, const wchar_t* name,
                                        const std::wstring& fallback) {
  const Key key = openSection(applicationName_, section);
  if (!key) return fallback;
  DWORD type = 0;
  DWORD size = 0;
  if (::RegQueryValueExW(key.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ)) {
    return fallback;
  }
  // A stored text need not end in a zero, nor fill whole characters: room for one more.
  std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 2, L'\0');
  DWORD read = size;
  if (::RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                         &read) != ERROR_SUCCESS) {
    return fallback;
  }
  std::wstring text(buffer.data(), std::min<std::size_t>(read / sizeof(wchar_t), buffer.size()));
  const std::size_t end = text.find(L'\0');
  return end == std::wstring::npos ? text : text.substr(0, end);
}

void RegistrySettings::writeText(const wchar_t* section, const wchar_t* name,
                                 const std::wstring& value) {
  const Key key = openSection(applicationName_, section);
  if (!key) return;
  ::RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

}  // namespace korvel
