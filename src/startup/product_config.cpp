#include "startup/product_config.h"

#include "platform/file_io.h"
#include "platform/text.h"
#include "startup/ini_file.h"
#include "startup/launch_parameters.h"
#include "startup/log.h"

namespace startup {
namespace {

constexpr char kFirstLanguage[] = "Chinese";
constexpr char kFallbackLanguage[] = "English";

void InsertAll(std::map<std::string, std::wstring>& map, const std::vector<IniEntry>& entries) {
  for (const IniEntry& entry : entries) map.emplace(entry.key, entry.value);
}

std::wstring Lookup(const std::map<std::string, std::wstring>& map, const std::string& key) {
  const auto it = map.find(key);
  return it == map.end() ? std::wstring() : it->second;
}

// Primary languages and the names their language files would carry.
struct KnownLanguage {
  WORD primary;
  const char* name;
};
constexpr KnownLanguage kKnownLanguages[] = {
    {LANG_CHINESE, "Chinese"}, {LANG_ENGLISH, "English"},       {LANG_FRENCH, "French"},   {LANG_GERMAN, "German"},
    {LANG_ITALIAN, "Italian"}, {LANG_JAPANESE, "Japanese"},     {LANG_KOREAN, "Korean"},   {LANG_POLISH, "Polish"},
    {LANG_RUSSIAN, "Russian"}, {LANG_PORTUGUESE, "Portuguese"}, {LANG_SPANISH, "Spanish"}, {LANG_TURKISH, "Turkish"},
};

// A language the wizard can start in: offered by the configuration and its
// file beside the program.
bool IsShipped(const std::wstring& folder, const std::string& language) {
  return !Config().LanguageDisplay(language).empty() &&
         platform::FileExists(folder + platform::Utf8ToWide(language) + L".ini");
}

}  // namespace

void ProductConfig::LoadProduct(const std::wstring& path) {
  const std::optional<std::string> bytes = platform::ReadFileLimited(path, kIniMaxFileBytes);
  if (!bytes) {
    Log("Config %s: missing, unreadable or too large; all settings are empty\n", path);
    return;
  }
  InsertAll(product_, ParseIniSection(*bytes, "Product", path));
  InsertAll(languages_, ParseIniSection(*bytes, "Language", path));
  language_display_list_.clear();
  for (const auto& [name, display] : languages_) language_display_list_.push_back(display);
}

void ProductConfig::LoadLanguageTransfer(const std::wstring& path) {
  InsertAll(installer_languages_, ReadIniSection(path, "Language"));
}

std::wstring ProductConfig::Get(const std::string& key) const { return Lookup(product_, key); }

std::wstring ProductConfig::GetForEdition(const std::string& key) const {
  return Get(Parameters().IsVexaEdition() ? key + "Vexa" : key);
}

std::wstring ProductConfig::LanguageDisplay(const std::string& name) const { return Lookup(languages_, name); }

std::string ProductConfig::LanguageByDisplay(const std::wstring& display) const {
  for (const auto& [name, text] : languages_) {
    if (text == display) return name;
  }
  return {};
}

std::wstring ProductConfig::InstallerLanguage(const std::wstring& text) const {
  // Keys hold the file's own UTF-8 bytes, so the look-up uses the same encoding.
  const auto it = installer_languages_.find(platform::WideToUtf8(text));
  return it == installer_languages_.end() ? text : it->second;
}

void ProductConfig::Clear() {
  product_.clear();
  languages_.clear();
  language_display_list_.clear();
  installer_languages_.clear();
}

void LanguageStrings::Load(const std::wstring& path) {
  strings_.clear();
  InsertAll(strings_, ReadIniSection(path, "string"));
}

std::wstring LanguageStrings::Get(const std::string& key) const {
  if (key == "ProductName" && Parameters().IsVexaEdition()) return Lookup(strings_, "ProductNameVexa");
  return Lookup(strings_, key);
}

std::wstring LanguageStrings::Format(const std::string& key, const std::string& argument_key,
                                     const std::wstring& extra) const {
  std::wstring text = Get(key);
  const size_t mark = text.find(L"%1");
  if (mark == std::wstring::npos) return text;
  std::wstring insert = Get(argument_key);
  if (!extra.empty()) insert += L" " + extra;
  return text.replace(mark, 2, insert);
}

ProductConfig& Config() {
  static ProductConfig config;
  return config;
}

LanguageStrings& Strings() {
  static LanguageStrings strings;
  return strings;
}

std::string LanguageNameFor(LANGID ui_language) {
  for (const KnownLanguage& known : kKnownLanguages) {
    if (known.primary == PRIMARYLANGID(ui_language)) return known.name;
  }
  return {};
}

std::string LoadStartupConfiguration(const std::wstring& folder) {
  return LoadStartupConfiguration(folder, ::GetUserDefaultUILanguage());
}

std::string LoadStartupConfiguration(const std::wstring& folder, LANGID ui_language) {
  Config().LoadProduct(folder + L"InitConfigure.ini");
  Config().LoadLanguageTransfer(folder + L"LanguageTransfor.ini");

  std::string language = kFirstLanguage;
  if (Config().IsOn("UseUserLanguage")) {
    const std::string user_language = LanguageNameFor(ui_language);
    if (!user_language.empty() && IsShipped(folder, user_language)) {
      language = user_language;
      Log("Starting in the user's language %S\n", language);
    } else {
      Log("The user's language 0x%04X (%S) is not offered or has no file; starting in the usual language\n",
          static_cast<unsigned>(ui_language), user_language.empty() ? std::string("unknown") : user_language);
    }
  }
  if (!IsShipped(folder, language)) {
    Log("Language %S is not offered or has no file; using %S\n", language, kFallbackLanguage);
    language = kFallbackLanguage;
  }
  Strings().Load(folder + platform::Utf8ToWide(language) + L".ini");
  return language;
}

}  // namespace startup
