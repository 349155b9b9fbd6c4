// How the translation component sees the monitor form: the form with the
// components that carry texts (the tray icon's hint, the menu items), and
// the face, whose texts re-translate themselves.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/tray_icon.h"
#include "lang/qv_language.h"
#include "platform/platform.h"

namespace zr {

// A text-carrying component of the form.
class TFormComponent : public TLangComponent {
 public:
  TFormComponent(std::string className, std::string name) : className_(std::move(className)), name_(std::move(name)) {}
  std::string ClassName() const override { return className_; }
  std::string Name() const override { return name_; }

 private:
  std::string className_;
  std::string name_;
};

class TMonitorFormComponents final : public TLangComponent {
 public:
  TMonitorFormComponents(TTrayIcon& tray, TPopupMenu& menu);
  std::string ClassName() const override { return "ZEDEZAVadi"; }
  std::string Name() const override { return "ZRMONMain"; }
  bool IsForm() const override { return true; }
  std::vector<TLangComponent*> Components() override;

 private:
  std::vector<std::unique_ptr<TLangComponent>> components_;
};

// The face's labels and buttons, drawn by the platform; on a language change
// each of them shows TranslateText of what it shows now.
class TFaceScene final : public TScene {
 public:
  TFaceScene(TTranslationState& state, Windowing& windowing) : state_(state), windowing_(windowing) {}
  ~TFaceScene() override { state_.UnregisterScene(this); }
  void Add(ControlHandle control, std::string text) { texts_.push_back({control, std::move(text)}); }
  void Retranslate() override;
  const std::string& TextOf(ControlHandle control) const;

 private:
  struct Text {
    ControlHandle control;
    std::string text;
  };
  TTranslationState& state_;
  Windowing& windowing_;
  std::vector<Text> texts_;
};

}  // namespace zr
