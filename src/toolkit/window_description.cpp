#include "toolkit/window_description.h"

#include "platform/text.h"
#include "toolkit/child_layout.h"
#include "toolkit/control_registry.h"
#include "toolkit/log.h"
#include "toolkit/xml_reader.h"
#include "toolkit/zip_archive.h"

namespace toolkit {
namespace {

bool IsResourceElement(const std::wstring& name) {
  return name == L"Font" || name == L"Image" || name == L"Default" || name == L"Include" || name == L"MultiLanguage";
}

class Builder {
 public:
  Builder(std::shared_ptr<const ZipArchive> archive, const BuildLimits& limits)
      : archive_(std::move(archive)), limits_(limits) {}

  DescriptionResult Build(const std::wstring& file_name) {
    DescriptionResult result;
    auto description = std::make_unique<WindowDescription>();
    description->resources = std::make_shared<SkinResources>(archive_, limits_.max_image_bytes);
    resources_ = description->resources.get();
    std::unique_ptr<XmlElement> document = Load(file_name, &result.error);
    if (!document) return result;
    if (document->name != L"Window") {
      result.error = file_name + L" line " + platform::DecimalText(document->line) +
                     L": the root element must be <Window>, not <" + document->name + L">";
      return result;
    }
    ReadWindowAttributes(*document, *description);
    auto root = std::make_unique<Container>(L"Container");
    Container* root_raw = root.get();
    BuildChildren(*document, *root_raw, file_name, 0);
    if (!error_.empty()) {
      result.error = error_;
      return result;
    }
    // The root container fills the window; the description's controls are its children.
    description->root = std::move(root);
    description->control_count = control_count_;
    result.description = std::move(description);
    return result;
  }

 private:
  std::unique_ptr<XmlElement> Load(const std::wstring& file_name, std::wstring* error) {
    std::string bytes;
    const ZipError read = archive_ ? archive_->Read(file_name, &bytes) : ZipError::kNotFound;
    if (read != ZipError::kNone) {
      *error = file_name + L": " + ZipErrorText(read);
      return nullptr;
    }
    if (bytes.size() > limits_.max_parsed_bytes - parsed_bytes_) {
      *error = file_name + L": " + BytesBoundText();
      parsed_bytes_ = limits_.max_parsed_bytes;  // spent: nothing more is read for this window
      return nullptr;
    }
    parsed_bytes_ += bytes.size();
    XmlResult xml = ParseXml(bytes);
    if (!xml.root) {
      *error = file_name + L" " + xml.error;
      return nullptr;
    }
    return std::move(xml.root);
  }

  static void ReadWindowAttributes(const XmlElement& window, WindowDescription& description) {
    for (const auto& [name, value] : window.attributes) {
      if (name == L"size")
        description.size = ParseSize(value).value_or(description.size);
      else if (name == L"mininfo")
        description.min_size = ParseSize(value).value_or(Size{});
      else if (name == L"maxinfo")
        description.max_size = ParseSize(value).value_or(Size{});
      else if (name == L"caption")
        description.caption = ParseEdges(value).value_or(Edges{});
      else if (name == L"sizebox")
        description.size_box = ParseEdges(value).value_or(Edges{});
      else if (name == L"title" || name == L"text")
        description.title = value;
      else if (name == L"roundcorner") {
        const std::vector<int> r = ParseIntList(value, 2);
        description.round_corner = r.empty() ? 0 : std::max(0, r[0]);
      }
    }
    description.size.cx = std::clamp(description.size.cx, 1, 10000);
    description.size.cy = std::clamp(description.size.cy, 1, 10000);
  }

  void ReadResource(const XmlElement& element, Control& parent, const std::wstring& file_name, int include_depth) {
    const std::wstring* v;
    if (element.name == L"Font") {
      FontDescription font;
      int id = 0;
      bool is_default = false;
      if ((v = element.Attribute(L"id"))) id = ParseInt(*v).value_or(0);
      if ((v = element.Attribute(L"name"))) font.face = *v;
      if ((v = element.Attribute(L"size"))) font.size = std::clamp(ParseInt(*v).value_or(12), 1, 500);
      if ((v = element.Attribute(L"bold"))) font.bold = ParseBool(*v).value_or(false);
      if ((v = element.Attribute(L"italic"))) font.italic = ParseBool(*v).value_or(false);
      if ((v = element.Attribute(L"underline"))) font.underline = ParseBool(*v).value_or(false);
      if ((v = element.Attribute(L"default"))) is_default = ParseBool(*v).value_or(false);
      resources_->AddFont(id, font, is_default);
    } else if (element.name == L"Image") {
      const std::wstring* name = element.Attribute(L"name");
      if (name == nullptr) return;
      std::wstring description;
      for (const auto& [key, value] : element.attributes) {
        if (key != L"name") description += key + L"='" + value + L"' ";
      }
      resources_->AddNamedImage(*name, description);
    } else if (element.name == L"Default") {
      const std::wstring* name = element.Attribute(L"name");
      const std::wstring* value = element.Attribute(L"value");
      if (name != nullptr && value != nullptr) resources_->SetDefaultAttributes(*name, *value);
    } else if (element.name == L"MultiLanguage") {
      const std::wstring* id = element.Attribute(L"id");
      const std::wstring* value = element.Attribute(L"value");
      if (id != nullptr && value != nullptr) resources_->AddLanguageText(*id, *value);
    } else if (element.name == L"Include") {
      const std::wstring* source = element.Attribute(L"source");
      if (source == nullptr) return;
      const std::wstring* count_text = element.Attribute(L"count");
      const int count = std::clamp(count_text ? ParseInt(*count_text).value_or(1) : 1, 1, 100);
      for (int i = 0; i < count && error_.empty(); ++i)
        IncludeFile(*source, parent, file_name, element.line, include_depth);
    }
  }

  // True while the window may read another included file; the first refusal
  // is logged with the element that asked, later ones are skipped silently.
  bool MayInclude(const std::wstring& source, const std::wstring& from, int line) {
    std::wstring reason;
    if (included_files_ >= limits_.max_included_files) {
      reason = L"more than " + platform::DecimalText(limits_.max_included_files) + L" included files in one window";
    } else if (parsed_bytes_ >= limits_.max_parsed_bytes) {
      reason = BytesBoundText();
    } else {
      ++included_files_;
      return true;
    }
    if (!include_bound_logged_) {
      include_bound_logged_ = true;
      LogLine(from + L" line " + platform::DecimalText(line) + L": include of \"" + source + L"\" skipped: " + reason +
              L"; further includes are skipped");
    }
    return false;
  }

  std::wstring BytesBoundText() const {
    return L"more than " + platform::DecimalText(limits_.max_parsed_bytes) + L" bytes of descriptions in one window";
  }

  void IncludeFile(const std::wstring& source, Control& parent, const std::wstring& from, int line, int include_depth) {
    if (include_depth >= limits_.max_include_depth) {
      LogOnce(L"include-depth:" + source, from + L": includes nested more than " +
                                              platform::DecimalText(limits_.max_include_depth) + L" deep, \"" + source +
                                              L"\" skipped");
      return;
    }
    if (!MayInclude(source, from, line)) return;
    std::wstring error;
    std::unique_ptr<XmlElement> document = Load(source, &error);
    if (!document) {
      LogLine(L"included description skipped: " + error);
      return;
    }
    if (document->name == L"Window") {
      BuildChildren(*document, parent, source, include_depth + 1);
    } else {
      BuildElement(*document, parent, source, include_depth + 1);
    }
  }

  void BuildChildren(const XmlElement& element, Control& parent, const std::wstring& file_name, int include_depth) {
    for (const auto& child : element.children) {
      if (!error_.empty()) return;
      if (IsResourceElement(child->name)) {
        ReadResource(*child, parent, file_name, include_depth);
      } else {
        BuildElement(*child, parent, file_name, include_depth);
      }
    }
  }

  void ApplyAttributes(Control& control, const std::vector<std::pair<std::wstring, std::wstring>>& attributes,
                       const std::wstring& file_name, int line) {
    for (const auto& [name, value] : attributes) {
      // A named <Image> stands for its description.
      const std::wstring* named = name.ends_with(L"image") ? resources_->NamedImage(value) : nullptr;
      if (!control.SetAttribute(name, named != nullptr ? *named : value)) {
        LogOnce(L"attribute:" + control.class_name() + L":" + name,
                file_name + L" line " + platform::DecimalText(line) + L": <" + control.class_name() +
                    L"> has no attribute \"" + name + L"\"; ignored");
      }
    }
  }

  void BuildElement(const XmlElement& element, Control& parent, const std::wstring& file_name, int include_depth) {
    if (IsResourceElement(element.name)) {
      ReadResource(element, parent, file_name, include_depth);
      return;
    }
    std::unique_ptr<Control> control = CreateControl(element.name);
    if (!control) {
      LogOnce(L"class:" + element.name, file_name + L" line " + platform::DecimalText(element.line) +
                                            L": unknown class <" + element.name + L">; skipped");
      return;
    }
    if (++control_count_ > limits_.max_controls) {
      error_ = file_name + L" line " + platform::DecimalText(element.line) + L": more than " +
               platform::DecimalText(limits_.max_controls) + L" controls";
      return;
    }
    if (const std::wstring* defaults = resources_->DefaultAttributes(element.name)) {
      ApplyAttributes(*control, ParseAttributeList(*defaults), file_name, element.line);
    }
    ApplyAttributes(*control, element.attributes, file_name, element.line);
    Control* raw = parent.AddChild(std::move(control));
    if (raw->AcceptsChildren()) {
      BuildChildren(element, *raw, file_name, include_depth);
    } else if (!element.children.empty()) {
      LogOnce(L"children:" + element.name, file_name + L" line " + platform::DecimalText(element.line) + L": <" +
                                               element.name + L"> holds no children; its children are skipped");
    }
    if (auto* child_layout = dynamic_cast<ChildLayout*>(raw); child_layout && !child_layout->xml_file().empty()) {
      IncludeFile(child_layout->xml_file(), *raw, file_name, element.line, include_depth);
    }
    raw->FinishBuild();
  }

  std::shared_ptr<const ZipArchive> archive_;
  BuildLimits limits_;
  SkinResources* resources_ = nullptr;
  size_t control_count_ = 0;
  size_t included_files_ = 0;
  size_t parsed_bytes_ = 0;
  bool include_bound_logged_ = false;
  std::wstring error_;
};

}  // namespace

DescriptionResult BuildWindowDescription(std::shared_ptr<const ZipArchive> archive, const std::wstring& file_name,
                                         const BuildLimits& limits) {
  DescriptionResult result = Builder(std::move(archive), limits).Build(file_name);
  if (!result.description) LogLine(L"window description refused: " + result.error);
  return result;
}

}  // namespace toolkit
