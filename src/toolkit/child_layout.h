// ChildLayout: a container whose children come from another description.
#pragma once

#include "toolkit/container.h"

namespace toolkit {

class ChildLayout : public Container {
 public:
  ChildLayout();
  [[nodiscard]] const std::wstring& xml_file() const { return xml_file_; }

 protected:
  bool ApplyAttribute(std::wstring_view name, const std::wstring& value) override;

 private:
  std::wstring xml_file_;
};

}  // namespace toolkit
