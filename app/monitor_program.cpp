#include "app/monitor_program.h"

#include <exception>
#include <string>

#include "app/monitor_form.h"
#include "common/paths.h"
#include "profile/dm.h"
#include "support/diagnostic_log.h"

namespace zr {

MonitorProgram::MonitorProgram(Platform& platform) : platform_(platform), application_(platform.windowing) {
  application_.Title = kApplicationTitle;
  application_.OnSessionEnd = [this] { ReleaseMutex(); };
}

MonitorProgram::~MonitorProgram() { Finish(); }

bool MonitorProgram::Start() {
  if (platform_.system.MutexExists(kMonitorClassName)) return false;
  bool alreadyExisted = false;
  mutex_ = platform_.system.CreateOwnedMutex(kMonitorClassName, alreadyExisted);
  if (alreadyExisted) {
    // Another instance created the mutex between the test and the creation:
    // that one runs, this one ends as a second start does.
    ReleaseMutex();
    return false;
  }
  // The pictures of the forms, before any form exists.
  if (!images_) {
    images_ = std::make_unique<TImageDataBase>(
        platform_.files, platform_.bitmaps, WithTrailingBackslash(platform_.files.ExecutableFolder()) + "Images\\0409");
  }
  dm_ = std::make_unique<TDM>(platform_, globals_);
  form_ = std::make_unique<ZEDEZAVadi>(platform_, application_, *dm_, globals_, translation_);
  // COM for the main thread on every version: the shell's functions (which
  // start the configuration program) want it. Nothing before needs it, and
  // loading it before the window would only make the start slower; on Vista
  // and later the form has initialised it already, for Core Audio.
  platform_.audio.InitializeComApartment();
  return true;
}

void MonitorProgram::ReleaseMutex() {
  if (mutex_ != 0) platform_.system.ReleaseMutex(mutex_);
  mutex_ = 0;
}

void MonitorProgram::Finish() {
  ReleaseMutex();
  form_.reset();
  dm_.reset();
  images_.reset();
}

namespace {

int RunMonitorOn(Platform& platform) {
  try {
    MonitorProgram program(platform);
    if (!program.Start()) return 0;
    platform.windowing.RunMessageLoop();
    program.Finish();
  } catch (const std::exception& e) {
    platform.system.DebugOutput(std::string("zrmon ended by an error: ") + e.what());
  }
  return 0;
}

}  // namespace

int RunMonitor(Platform& platform) {
  const std::string logPath = DiagnosticLogPath(platform.files, platform.system);
  if (logPath.empty()) return RunMonitorOn(platform);
  DiagnosticLog log(platform.system, platform.files, logPath);
  PlatformOverrides overrides;
  overrides.system = &log;
  Platform logged = WithOverrides(platform, overrides);
  return RunMonitorOn(logged);
}

}  // namespace zr
