// A stored translation table (qv.local, form data) as any bytes: whatever is
// read must write out and read back unchanged, within the monitor's limits
// and read whole (as the language editor reads); what the monitor reads
// cleanly the editor reads the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "lang/language_table_io.h"
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
  const bool clean = zr::ReadLanguageTable(std::span(data, size), table, system);
  for (const auto& language : table.FResources) {
    for (const auto& source : table.FOriginal) (void)language.Translate(source);
    if (!language.Lines.empty()) (void)language.Revert(language.Lines.front());
  }

  const std::vector<std::uint8_t> written = zr::WriteLanguageTable(table);
  zr::TLanguageTable again;
  if (!zr::ReadLanguageTable(written, again, system) || !SameTable(table, again)) std::abort();
  if (zr::WriteLanguageTable(again) != written) std::abort();

  zr::TLanguageTable whole;
  const bool wholeClean = zr::ReadLanguageTableWithin(std::span(data, size), whole, zr::kWholeTable).empty();
  if (clean && (!wholeClean || !SameTable(table, whole))) std::abort();
  const std::vector<std::uint8_t> wholeWritten = zr::WriteLanguageTable(whole);
  zr::TLanguageTable wholeAgain;
  if (!zr::ReadLanguageTableWithin(wholeWritten, wholeAgain, zr::kWholeTable).empty() || !SameTable(whole, wholeAgain)) {
    std::abort();
  }
  return 0;
}
