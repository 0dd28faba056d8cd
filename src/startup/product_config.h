// The product's settings from "InitConfigure.ini" (section "Product"), the
// offered languages (its section "Language") and the installer language codes
// from "LanguageTransfor.ini".
#pragma once

#include <map>
#include <string>
#include <vector>

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

// Loads both configuration files and the language file from `folder` (ending
// in a backslash) into the process-wide stores; returns the language name.
[[nodiscard]] std::string LoadStartupConfiguration(const std::wstring& folder);

}  // namespace startup
