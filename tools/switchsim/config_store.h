// The configurations of the emulated switch, shared by all its sessions.
//
// The running and startup configurations live in files that are read anew
// at every request, so a test may edit them between checks. A save (the
// switch being told to write memory, or answering "y" when asked to save at
// logout) makes the startup configuration a copy of the running one. The
// copy is kept in memory, not written over the startup file (which may be a
// shipped sample), and every save is counted, reported on stderr and, with
// a save log, appended to that file, so a test can tell that a client
// changed the switch.
//
// Thread-safe: every member may be called from any session thread.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace switchsim {

class ConfigStore {
 public:
  ConfigStore(std::string running_file, std::string startup_file, std::string save_log_file,
              std::string device_name);

  // The lines of each configuration, without line ends. A file that cannot
  // be read gives no lines (and a line on stderr).
  std::vector<std::string> Running() const;
  std::vector<std::string> Startup() const;
  // True when the running configuration differs from the startup one.
  bool Unsaved() const;
  // Copies running to startup and records the save; returns the number of
  // saves so far.
  int Save(int session_id);
  // The same for a device that lists its running configuration with lines
  // of its own: `listed` becomes the startup configuration.
  int Save(int session_id, std::vector<std::string> listed);
  int SaveCount() const;

 private:
  std::string running_file_;
  std::string startup_file_;
  std::string save_log_file_;
  std::string device_name_;
  mutable std::mutex mutex_;
  std::optional<std::vector<std::string>> saved_;  // guarded by mutex_
  int save_count_ = 0;                              // guarded by mutex_
};

// Reads a text file as lines: LF, CR LF or a lone CR at the end of a line
// are line ends, trailing blanks are kept, a missing final line end is
// tolerated. Returns nothing when the file cannot be read.
std::optional<std::vector<std::string>> ReadLines(const std::string& path);

}  // namespace switchsim
