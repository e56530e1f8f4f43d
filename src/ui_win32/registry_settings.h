#pragma once

#include <cstdint>
#include <string>

namespace korvel {

// The window's settings in the registry, where Windows dialog applications keep theirs:
// HKEY_CURRENT_USER\Software\Local AppWizard-Generated Applications\<application>\<section>.
// Every access opens the keys afresh, creating what is missing (a read too), and closes them.
class RegistrySettings {
 public:
  static constexpr wchar_t kRegistryKey[] = L"Local AppWizard-Generated Applications";

  // `applicationName` defaults to the executable's file name without folder and extension.
  explicit RegistrySettings(std::wstring applicationName = executableName());

  // A missing value, one longer than four bytes or a key that cannot be had give `fallback`.
  std::uint32_t readInteger(const wchar_t* section, const wchar_t* name, std::uint32_t fallback);
  void writeInteger(const wchar_t* section, const wchar_t* name, std::uint32_t value);
  // A value that is missing, not text, or cannot be read gives `fallback`.
  std::wstring readText(const wchar_t* section, const wchar_t* name, const std::wstring& fallback);
  void writeText(const wchar_t* section, const wchar_t* name, const std::wstring& value);

  const std::wstring& applicationName() const { return applicationName_; }
  // The key below HKEY_CURRENT_USER that holds the sections.
  std::wstring applicationKeyPath() const;

  static std::wstring executableName();

 private:
  std::wstring applicationName_;
};

}  // namespace korvel
