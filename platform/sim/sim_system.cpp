#include "platform/sim/sim_system.h"

#include "platform/sim/sim_world.h"

namespace zr::sim {

bool SimSystem::MutexExists(std::string_view name) {
  const auto it = world_.mutexes.find(std::string(name));
  return it != world_.mutexes.end() && it->second > 0;
}

MutexHandle SimSystem::CreateOwnedMutex(std::string_view name, bool& alreadyExisted) {
  if (beforeCreateMutex) beforeCreateMutex();
  int& count = world_.mutexes[std::string(name)];
  alreadyExisted = count > 0;
  ++count;
  static MutexHandle next = 0x100;
  const MutexHandle h = ++next;
  handles_[h] = std::string(name);
  return h;
}

void SimSystem::ReleaseMutex(MutexHandle mutex) {
  const auto it = handles_.find(mutex);
  if (it == handles_.end()) return;
  --world_.mutexes[it->second];
  handles_.erase(it);
}

LocalDateTime SimSystem::LocalTime() {
  // Days from 1970-01-01 of a civil date and back (proleptic Gregorian).
  const auto daysFrom = [](int y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return static_cast<long long>(era) * 146097 + static_cast<long long>(doe) - 719468;
  };
  const LocalDateTime& s = clockStart;
  const std::uint64_t ms = world_.Now() + s.milliseconds +
                           1000ull * (s.second + 60ull * (s.minute + 60ull * s.hour));
  long long z = daysFrom(s.year, s.month, s.day) + static_cast<long long>(ms / 86400000ull) + 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  const long long y = static_cast<long long>(yoe) + era * 400 + (m <= 2);
  const std::uint64_t inDay = ms % 86400000ull;
  LocalDateTime t;
  t.year = static_cast<std::uint16_t>(y);
  t.month = static_cast<std::uint16_t>(m);
  t.day = static_cast<std::uint16_t>(d);
  t.hour = static_cast<std::uint16_t>(inDay / 3600000);
  t.minute = static_cast<std::uint16_t>(inDay / 60000 % 60);
  t.second = static_cast<std::uint16_t>(inDay / 1000 % 60);
  t.milliseconds = static_cast<std::uint16_t>(inDay % 1000);
  return t;
}

int SimSystem::MessageBox(std::string_view text, std::string_view caption, std::uint32_t flags) {
  messageBoxes.push_back({std::string(text), std::string(caption), flags});
  return 1;  // IDOK
}

}  // namespace zr::sim
