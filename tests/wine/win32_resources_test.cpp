#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "common/texts.h"
#include "ui_win32/resource_ids.h"
#include "ui_win32/wide_text.h"

namespace korvel::test {
namespace {

// This test program carries the same compiled resources as Korvel.exe.
std::wstring ownPath() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

std::wstring resourceString(UINT id) {
  wchar_t text[256] = {};
  ::LoadStringW(::GetModuleHandleW(nullptr), id, text, 256);
  return text;
}

std::string_view rawResource(LPCWSTR name, LPCWSTR type) {
  const HMODULE module = ::GetModuleHandleW(nullptr);
  const HRSRC found = ::FindResourceW(module, name, type);
  if (found == nullptr) return {};
  return std::string_view(static_cast<const char*>(::LockResource(::LoadResource(module, found))),
                          ::SizeofResource(module, found));
}

TEST(Win32Resources, StringsAreTheProgramsTexts) {
  EXPECT_EQ(resourceString(KORVEL_IDS_ABOUT_ITEM), toWide(text::kAboutItem));
  EXPECT_EQ(resourceString(KORVEL_IDS_SOCKETS_FAILED), toWide(text::kSocketsFailed));
}

TEST(Win32Resources, VersionIs1_0_0_12ForKorvelExe) {
  const std::wstring path = ownPath();
  DWORD ignored = 0;
  std::vector<BYTE> info(::GetFileVersionInfoSizeW(path.c_str(), &ignored));
  ASSERT_FALSE(info.empty());
  ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT size = 0;
  ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x0000000Cu);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x0000000Cu);
  wchar_t* name = nullptr;
  ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\StringFileInfo\\041904B0\\OriginalFilename",
                               reinterpret_cast<void**>(&name), &size));
  EXPECT_EQ(std::wstring(name), L"Korvel.exe");
}

TEST(Win32Resources, TheIconHasItsThreeSizes) {
  for (const int size : {16, 32, 48}) {
    const HICON icon = static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr),
                                                       MAKEINTRESOURCEW(KORVEL_IDI_APPLICATION),
                                                       IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
    ASSERT_NE(icon, nullptr) << size;
    ICONINFO parts{};
    ASSERT_TRUE(::GetIconInfo(icon, &parts));
    BITMAP colour{};
    ::GetObjectW(parts.hbmColor, sizeof(colour), &colour);
    EXPECT_EQ(colour.bmWidth, size);
    ::DeleteObject(parts.hbmColor);
    ::DeleteObject(parts.hbmMask);
    ::DestroyIcon(icon);
  }
  // And the group holds exactly those: an icon directory of three entries.
  const std::string_view group =
      rawResource(MAKEINTRESOURCEW(KORVEL_IDI_APPLICATION), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
  ASSERT_GE(group.size(), 6u);
  EXPECT_EQ(static_cast<unsigned char>(group[4]), 3);
}

TEST(Win32Resources, TheManifestAsksForCommonControls6PerMonitorDpiAndOrdinaryRights) {
  const std::string_view manifest = rawResource(MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_FALSE(manifest.empty());
  for (const char* part :
       {"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"", "PerMonitorV2", "true/pm",
        "level=\"asInvoker\"", "uiAccess=\"false\""}) {
    EXPECT_NE(manifest.find(part), std::string_view::npos) << part;
  }
}

}  // namespace
}  // namespace korvel::test
