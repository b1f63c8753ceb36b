#include "devices/device_table.h"

#include <dirent.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "devices/compiled_kinds.h"
#include "devices/kind_file.h"
#include "files/safe_open.h"

namespace comvorlix {
namespace {

constexpr size_t kMaxKindFileBytes = 256 << 10;

// The "*.toml" names of `directory`, sorted so that problems come out in
// the same order every time; none when it does not exist.
std::vector<std::string> KindFileNames(const std::string& directory, std::vector<std::string>& problems) {
  std::vector<std::string> names;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(directory.c_str()), closedir);
  if (!dir) {
    if (errno != ENOENT) problems.push_back(directory + ": cannot read the folder: " + std::strerror(errno));
    return names;
  }
  while (const dirent* entry = readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name.size() > 5 && name.compare(name.size() - 5, 5, ".toml") == 0) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The text of a kind file an administrator put in place, or why it is not read.
std::optional<std::string> ReadKindFile(const std::string& path, std::vector<std::string>& problems) {
  try {
    std::optional<OpenedFile> file = OpenRegularFile(path, O_RDONLY);
    if (!file) return std::nullopt;
    const struct stat& info = file->info();
    if (info.st_uid != 0 && info.st_uid != geteuid()) {
      problems.push_back(path + ": not read: owned by neither root nor the user running the check");
      return std::nullopt;
    }
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
      problems.push_back(path + ": not read: writable by group or others");
      return std::nullopt;
    }
    return ReadCapped(*file, kMaxKindFileBytes, path);
  } catch (const FileError& e) {
    problems.push_back(path + ": not read: " + e.AfterColon());
    return std::nullopt;
  }
}

}  // namespace

std::string KindsDirectory() {
  const char* directory = std::getenv("COMVORLIX_KINDS_DIR");
  return directory != nullptr && *directory != '\0' ? directory : kDefaultKindsDirectory;
}

std::string KindProblemsNote() {
  std::string note;
  for (const std::string& problem : Kinds().problems) note += (note.empty() ? "; kind files not loaded: " : "; ") + problem;
  return note;
}

LoadedKinds LoadKinds(const std::string& directory) {
  LoadedKinds loaded;
  std::map<std::string, std::pair<DeviceKind, std::string>> by_code;
  // The shipped kinds come built: their files were read, and their patterns
  // compiled, when the program was built (devices/compiled_kinds.h). A start
  // parses only an administrator's files.
  for (DeviceKind& kind : CompiledShippedKinds()) {
    const std::string code = kind.code;
    by_code[code] = {std::move(kind), std::string("built in")};
  }
  // A code given by two files of the folder is taken from neither: which one
  // wins would depend on an order nobody chose.
  std::map<std::string, std::vector<std::pair<DeviceKind, std::string>>> added;
  for (const std::string& name : KindFileNames(directory, loaded.problems)) {
    const std::string path = directory + "/" + name;
    std::optional<std::string> text = ReadKindFile(path, loaded.problems);
    if (!text) continue;
    auto parsed = ParseKindFile(*text, path);
    if (auto* kind = std::get_if<DeviceKind>(&parsed)) {
      added[kind->code].push_back({std::move(*kind), path});
    } else {
      loaded.problems.push_back(std::get<KindFileProblem>(parsed).Message());
    }
  }
  for (auto& [code, files] : added) {
    if (files.size() > 1) {
      for (const auto& [kind, path] : files) {
        loaded.problems.push_back(path + ": not taken: the code \"" + code + "\" is given by " +
                                  std::to_string(files.size()) + " files");
      }
      continue;
    }
    auto& [kind, path] = files.front();
    // A replaced shipped kind keeps its place in the lists unless the file
    // gives one; an added kind without a place comes after the shipped ones.
    const auto shipped = by_code.find(code);
    if (kind.sort_key == 0) kind.sort_key = shipped != by_code.end() ? shipped->second.first.sort_key : 1000000;
    by_code[code] = {std::move(kind), path};
  }
  std::vector<std::pair<DeviceKind, std::string>> all;
  for (auto& [code, entry] : by_code) all.push_back(std::move(entry));
  // By place, then code: a total order, so no stable sort (and no buffer of
  // its own) is needed.
  std::sort(all.begin(), all.end(), [](const auto& a, const auto& b) {
    return a.first.sort_key != b.first.sort_key ? a.first.sort_key < b.first.sort_key : a.first.code < b.first.code;
  });
  for (auto& [kind, file] : all) {
    loaded.kinds.push_back(std::move(kind));
    loaded.files.push_back(std::move(file));
  }
  return loaded;
}

const LoadedKinds& Kinds() {
  static const LoadedKinds kinds = LoadKinds(KindsDirectory());
  return kinds;
}

std::span<const DeviceKind> AllDeviceKinds() { return Kinds().kinds; }

const DeviceKind* FindDeviceKind(std::string_view code) {
  for (const DeviceKind& d : Kinds().kinds) {
    if (d.code == code) return &d;
  }
  return nullptr;
}

const std::string& FirstListing(const DeviceKind& device, std::string_view configuration) {
  if (configuration == "RUN") return device.run_listing;
  // A comparison lists the startup configuration first, the running one in
  // the follow-up.
  if (configuration == "START" || configuration == "COMPARE") return device.start_listing;
  return device.other_listing;
}

}  // namespace comvorlix
