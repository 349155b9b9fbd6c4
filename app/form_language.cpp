#include "app/form_language.h"

namespace zr {
namespace {

class TrayIconComponent final : public TFormComponent {
 public:
  explicit TrayIconComponent(TTrayIcon& tray) : TFormComponent("TTrayIcon", "TrayIcon1"), tray_(tray) {}
  std::optional<std::string> GetTextProperty(std::string_view name) const override {
    if (name == "Hint") return tray_.Hint();
    return std::nullopt;
  }
  void SetTextProperty(std::string_view name, std::string_view value) override {
    if (name == "Hint") tray_.SetHint(std::string(value));
  }

 private:
  TTrayIcon& tray_;
};

class MenuItemComponent final : public TFormComponent {
 public:
  explicit MenuItemComponent(TMenuItem& item) : TFormComponent("TMenuItem", item.Name), item_(item) {}
  std::optional<std::string> GetTextProperty(std::string_view name) const override {
    if (name == "Caption") return item_.Caption;
    return std::nullopt;
  }
  void SetTextProperty(std::string_view name, std::string_view value) override {
    if (name == "Caption") item_.Caption = std::string(value);
  }

 private:
  TMenuItem& item_;
};

}  // namespace

TMonitorFormComponents::TMonitorFormComponents(TTrayIcon& tray, TPopupMenu& menu) {
  components_.push_back(std::make_unique<TrayIconComponent>(tray));
  components_.push_back(std::make_unique<TFormComponent>("TPopupMenu", "MyPopupMenu"));
  for (TMenuItem& item : menu.Items) components_.push_back(std::make_unique<MenuItemComponent>(item));
}

std::vector<TLangComponent*> TMonitorFormComponents::Components() {
  std::vector<TLangComponent*> out;
  for (auto& c : components_) out.push_back(c.get());
  return out;
}

void TFaceScene::Retranslate() {
  for (Text& t : texts_) {
    t.text = state_.TranslateText(t.text);
    windowing_.SetControlText(t.control, t.text);
  }
}

const std::string& TFaceScene::TextOf(ControlHandle control) const {
  static const std::string none;
  for (const Text& t : texts_) {
    if (t.control == control) return t.text;
  }
  return none;
}

}  // namespace zr
