// A stored translation table (qv.local, form data) as any bytes: whatever is
// read must write out and read back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "lang/qv_language.h"

namespace {

class QuietSystem final : public zr::System {
 public:
  bool MutexExists(std::string_view) override { return false; }
  zr::MutexHandle CreateOwnedMutex(std::string_view, bool& alreadyExisted) override {
    alreadyExisted = false;
    return 0;
  }
  void ReleaseMutex(zr::MutexHandle) override {}
  void DebugOutput(std::string_view) override {}
  zr::LocalDateTime LocalTime() override { return {}; }
  int MessageBox(std::string_view, std::string_view, std::uint32_t) override { return 1; }
};

bool SameTable(const zr::TLanguageTable& a, const zr::TLanguageTable& b) {
  if (a.FOriginal != b.FOriginal || a.FResources.size() != b.FResources.size()) return false;
  for (std::size_t i = 0; i < a.FResources.size(); ++i) {
    if (a.FResources[i].Name != b.FResources[i].Name || a.FResources[i].Lines != b.FResources[i].Lines) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  QuietSystem system;
  zr::TLanguageTable table;
  (void)zr::ReadLanguageTable(std::span(data, size), table, system);
  for (const auto& language : table.FResources) {
    for (const auto& source : table.FOriginal) (void)language.Translate(source);
    if (!language.Lines.empty()) (void)language.Revert(language.Lines.front());
  }

  const std::vector<std::uint8_t> written = zr::WriteLanguageTable(table);
  zr::TLanguageTable again;
  if (!zr::ReadLanguageTable(written, again, system) || !SameTable(table, again)) std::abort();
  if (zr::WriteLanguageTable(again) != written) std::abort();
  return 0;
}
