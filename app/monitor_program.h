// The program entry: single instance, the profile manager, then the monitor
// form, the message loop, and the orderly end.
#pragma once

#include <memory>

#include "app/application.h"
#include "app/globals.h"
#include "imagedb/image_database.h"
#include "lang/qv_language.h"
#include "platform/platform.h"

namespace zr {

class TDM;
class ZEDEZAVadi;

class MonitorProgram {
 public:
  explicit MonitorProgram(Platform& platform);
  ~MonitorProgram();
  MonitorProgram(const MonitorProgram&) = delete;
  MonitorProgram& operator=(const MonitorProgram&) = delete;

  // Takes the single-instance mutex and creates the image database, DM and
  // the form. False when another instance runs: nothing is created, nothing
  // is shown.
  bool Start();
  // Releases the mutex, then destroys the form, DM and the image database,
  // in that order. Runs once.
  void Finish();

  TDM* DM() const { return dm_.get(); }
  ZEDEZAVadi* Form() const { return form_.get(); }
  TApplication& Application() { return application_; }
  const MonitorGlobals& Globals() const { return globals_; }
  TTranslationState& Translation() { return translation_; }
  // The program's picture database (Images\0409 beside the executable);
  // null before Start and after Finish.
  TImageDataBase* ImageDataBase() const { return images_.get(); }

 private:
  // Also the program's part of a session end; the objects go when the
  // message loop has ended.
  void ReleaseMutex();

  Platform& platform_;
  TApplication application_;
  MonitorGlobals globals_;
  TTranslationState translation_;
  MutexHandle mutex_ = 0;
  std::unique_ptr<TImageDataBase> images_;
  std::unique_ptr<TDM> dm_;
  std::unique_ptr<ZEDEZAVadi> form_;
};

// The whole program: exit code 0 in all cases.
int RunMonitor(Platform& platform);

}  // namespace zr
