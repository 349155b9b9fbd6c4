#include "platform/sim/sim_files.h"

#include <algorithm>

#include "common/text.h"

namespace zr::sim {

std::string SimFileSystem::Norm(std::string_view path) {
  std::string p = ToLowerAscii(path);
  std::replace(p.begin(), p.end(), '/', '\\');
  while (p.size() > 3 && p.back() == '\\') p.pop_back();
  if (p.size() == 3 && p[1] == ':' && p[2] == '\\') p.pop_back();  // "c:\" is the drive "c:"
  return p;
}

std::string SimFileSystem::ParentOf(const std::string& norm) {
  const size_t slash = norm.rfind('\\');
  return slash == std::string::npos ? std::string() : norm.substr(0, slash);
}

bool SimFileSystem::FileExists(std::string_view path) { return files_.count(Norm(path)) != 0; }

bool SimFileSystem::FolderExists(std::string_view path) {
  const std::string n = Norm(path);
  if (n.size() == 2 && n[1] == ':') return n[0] >= 'a' && n[0] <= 'z';  // every drive letter exists
  return folders_.count(n) != 0;
}

bool SimFileSystem::CreateFolder(std::string_view path) {
  const std::string n = Norm(path);
  if (n.empty()) return false;
  if (FolderExists(path)) return true;
  if (files_.count(n) != 0) return false;
  const std::string parent = ParentOf(n);
  if (parent.empty() || !FolderExists(parent)) return false;
  folders_.insert(n);
  return true;
}

FileReadResult SimFileSystem::ReadFile(std::string_view path, std::size_t maxBytes) {
  FileReadResult r;
  const auto it = files_.find(Norm(path));
  if (it == files_.end()) {
    r.status = FileReadResult::Status::Missing;
    return r;
  }
  readLog.insert(Norm(path));
  if (it->second.unreadable) {
    r.status = FileReadResult::Status::Error;
    r.error = "access denied";
    return r;
  }
  if (it->second.size() > maxBytes) {
    r.status = FileReadResult::Status::TooLarge;
    r.error = "file of " + std::to_string(it->second.size()) + " bytes is larger than " + std::to_string(maxBytes);
    return r;
  }
  r.status = FileReadResult::Status::Ok;
  r.bytes = it->second.Whole();
  return r;
}

IoResult SimFileSystem::ReplaceFile(std::string_view path, std::span<const std::uint8_t> bytes) {
  const std::string n = Norm(path);
  const std::string parent = ParentOf(n);
  if (parent.empty() || !FolderExists(parent)) return IoResult::Failure("folder does not exist");
  if (folders_.count(n) != 0) return IoResult::Failure("a folder has that name");
  // The temporary file takes the bytes first; a full disk stops it midway and
  // it is removed again.
  const std::string temp = parent + "\\~zr" + std::to_string(++tempCounter_) + ".tmp";
  File& t = files_[temp];
  t.path = temp;
  if (writeBudget_ >= 0) {
    const auto written = std::min<long long>(writeBudget_, static_cast<long long>(bytes.size()));
    writeBudget_ -= written;
    if (written < static_cast<long long>(bytes.size())) {
      files_.erase(temp);
      return IoResult::Failure("disk full");
    }
  }
  t.bytes.assign(bytes.begin(), bytes.end());
  File done = std::move(t);
  files_.erase(temp);
  done.path = std::string(path);
  files_[n] = std::move(done);
  ++writes;
  return IoResult::Success();
}

IoResult SimFileSystem::AppendFile(std::string_view path, std::span<const std::uint8_t> bytes) {
  const std::string n = Norm(path);
  const std::string parent = ParentOf(n);
  if (parent.empty() || !FolderExists(parent)) return IoResult::Failure("folder does not exist");
  if (folders_.count(n) != 0) return IoResult::Failure("a folder has that name");
  File& f = files_[n];
  if (f.path.empty()) f.path = std::string(path);
  if (f.unreadable) return IoResult::Failure("access denied");
  if (f.zerosAfter != 0) {
    f.bytes = f.Whole();
    f.zerosAfter = 0;
  }
  // A full disk takes what fits, as a write to an open file does.
  std::size_t take = bytes.size();
  if (writeBudget_ >= 0) {
    take = static_cast<std::size_t>(std::min<long long>(writeBudget_, static_cast<long long>(bytes.size())));
    writeBudget_ -= static_cast<long long>(take);
  }
  f.bytes.insert(f.bytes.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(take));
  if (take < bytes.size()) return IoResult::Failure("disk full");
  return IoResult::Success();
}

std::optional<std::uint64_t> SimFileSystem::FileSize(std::string_view path) {
  const auto it = files_.find(Norm(path));
  if (it == files_.end()) return std::nullopt;
  return it->second.size();
}

bool SimFileSystem::MoveFileReplacing(std::string_view source, std::string_view target) {
  const auto from = files_.find(Norm(source));
  const std::string n = Norm(target);
  if (from == files_.end() || folders_.count(n) != 0) return false;
  const auto to = files_.find(n);
  if (to != files_.end() && to->second.unreadable) return false;  // held open by someone
  File moved = std::move(from->second);
  files_.erase(from);
  moved.path = std::string(target);
  files_[n] = std::move(moved);
  return true;
}

bool SimFileSystem::DeleteFile(std::string_view path) { return files_.erase(Norm(path)) != 0; }

bool SimFileSystem::CopyFile(std::string_view source, std::string_view target, bool failIfExists) {
  const auto from = files_.find(Norm(source));
  if (from == files_.end() || from->second.unreadable) return false;
  const std::string n = Norm(target);
  if (failIfExists && files_.count(n) != 0) return false;
  const std::vector<std::uint8_t> bytes = from->second.Whole();
  return ReplaceFile(target, bytes).ok;
}

void SimFileSystem::AddFolder(std::string_view path) {
  std::string n = Norm(path);
  while (!n.empty() && !(n.size() == 2 && n[1] == ':')) {
    folders_.insert(n);
    n = ParentOf(n);
  }
}

void SimFileSystem::RemoveFolder(std::string_view path) {
  const std::string n = Norm(path);
  auto inside = [&](const std::string& p) { return p == n || p.rfind(n + "\\", 0) == 0; };
  std::erase_if(folders_, inside);
  std::erase_if(files_, [&](const auto& f) { return inside(f.first); });
}

void SimFileSystem::PutFile(std::string_view path, std::vector<std::uint8_t> bytes, std::uint64_t zerosAfter) {
  const std::string n = Norm(path);
  AddFolder(ParentOf(n));
  files_[n] = File{std::string(path), std::move(bytes), false, zerosAfter};
}

std::vector<std::uint8_t> SimFileSystem::File::Whole() const {
  std::vector<std::uint8_t> whole = bytes;
  whole.resize(static_cast<std::size_t>(size()), 0);
  return whole;
}

void SimFileSystem::PutText(std::string_view path, std::string_view text) {
  PutFile(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

std::optional<std::vector<std::uint8_t>> SimFileSystem::GetFile(std::string_view path) const {
  const auto it = files_.find(Norm(path));
  if (it == files_.end()) return std::nullopt;
  return it->second.Whole();
}

const std::vector<std::uint8_t>* SimFileSystem::PeekFile(std::string_view path) const {
  const auto it = files_.find(Norm(path));
  return it == files_.end() ? nullptr : &it->second.bytes;
}

std::vector<std::string> SimFileSystem::FilesIn(std::string_view folder) const {
  std::vector<std::string> out;
  const std::string f = Norm(folder);
  for (const auto& [n, file] : files_) {
    if (ParentOf(n) == f) out.push_back(n.substr(f.size() + 1));
  }
  return out;
}

std::vector<std::string> SimFileSystem::AllFiles() const {
  std::vector<std::string> out;
  for (const auto& [n, file] : files_) out.push_back(file.path);
  return out;
}

void SimFileSystem::SetUnreadable(std::string_view path, bool unreadable) {
  const auto it = files_.find(Norm(path));
  if (it != files_.end()) it->second.unreadable = unreadable;
}

}  // namespace zr::sim
