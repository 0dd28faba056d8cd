// TabLayout: one child shown at a time.
#pragma once

#include "toolkit/container.h"

namespace toolkit {

class TabLayout : public Container {
 public:
  TabLayout();
  // Shows child `index`; false (and nothing changes) when out of range.
  bool SelectItem(int index) override;
  [[nodiscard]] int selected() const { return selected_; }
  [[nodiscard]] std::optional<std::wstring> GetAttribute(std::wstring_view name) const override;
  void FinishBuild() override;

 protected:
  bool ApplyAttribute(std::wstring_view name, const std::wstring& value) override;

 private:
  int selected_ = 0;
};

}  // namespace toolkit
