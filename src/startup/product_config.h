// The product's settings from "InitConfigure.ini" (section "Product"), the
// offered languages (its section "Language") and the installer language codes
// from "LanguageTransfor.ini".
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/windows_api.h"

namespace startup {

class ProductConfig {
 public:
  void LoadProduct(const std::wstring& path);
  void LoadLanguageTransfer(const std::wstring& path);

  // The "Product" value, empty when absent.
  [[nodiscard]] std::wstring Get(const std::string& key) const;
  // Keys that have an edition twin ("ProductID" / "ProductIDVexa"): the twin
  // is read instead in the VEXA edition.
  [[nodiscard]] std::wstring GetForEdition(const std::string& key) const;
  // Switches compare with "1".
  [[nodiscard]] bool IsOn(const std::string& key) const { return Get(key) == L"1"; }

  [[nodiscard]] std::wstring LanguageDisplay(const std::string& name) const;
  [[nodiscard]] std::string LanguageByDisplay(const std::wstring& display) const;
  // Display texts in ascending byte order of their language names.
  [[nodiscard]] const std::vector<std::wstring>& LanguageDisplayList() const { return language_display_list_; }
  // The installer's code for a language name or display text, or the text itself.
  [[nodiscard]] std::wstring InstallerLanguage(const std::wstring& text) const;

  void Clear();

 private:
  std::map<std::string, std::wstring> product_;
  std::map<std::string, std::wstring> languages_;
  std::vector<std::wstring> language_display_list_;
  std::map<std::string, std::wstring> installer_languages_;
};

// The texts of the current language ("string" section of "<name>.ini").
class LanguageStrings {
 public:
  void Load(const std::wstring& path);
  // "ProductName" reads "ProductNameVexa" in the VEXA edition.
  [[nodiscard]] std::wstring Get(const std::string& key) const;
  // Replaces the first "%1" of the text by the argument text (and " " + extra).
  [[nodiscard]] std::wstring Format(const std::string& key, const std::string& argument_key,
                                    const std::wstring& extra) const;

 private:
  std::map<std::string, std::wstring> strings_;
};

[[nodiscard]] ProductConfig& Config();
[[nodiscard]] LanguageStrings& Strings();

// The language file's name for a user interface language: the English name
// of its primary language ("Chinese" for zh-CN and zh-TW, "English" for
// en-GB); empty for a language no name is known for.
[[nodiscard]] std::string LanguageNameFor(LANGID ui_language);

// Loads both configuration files and the language file from `folder` (ending
// in a backslash) into the process-wide stores; returns the language name.
// The wizard starts in Chinese, or English when Chinese is not offered or
// has no file; with UseUserLanguage=1 it starts in `ui_language` instead
// when that language is offered and its file is there.
[[nodiscard]] std::string LoadStartupConfiguration(const std::wstring& folder, LANGID ui_language);
// The same for the user's interface language.
[[nodiscard]] std::string LoadStartupConfiguration(const std::wstring& folder);

}  // namespace startup
