#include "config_store.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>

#include "log.h"

namespace switchsim {

std::optional<std::vector<std::string>> ReadLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  const std::string text = buffer.str();
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

ConfigStore::ConfigStore(std::string running_file, std::string startup_file,
                         std::string save_log_file, std::string device_name)
    : running_file_(std::move(running_file)),
      startup_file_(std::move(startup_file)),
      save_log_file_(std::move(save_log_file)),
      device_name_(std::move(device_name)) {}

namespace {

std::vector<std::string> ReadOrWarn(const std::string& path) {
  auto lines = ReadLines(path);
  if (!lines) {
    LogLine("cannot read configuration " + path + ": " + std::strerror(errno));
    return {};
  }
  return *lines;
}

std::string Timestamp() {
  std::time_t now = std::time(nullptr);
  std::tm parts{};
  gmtime_r(&now, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

}  // namespace

std::vector<std::string> ConfigStore::Running() const { return ReadOrWarn(running_file_); }

std::vector<std::string> ConfigStore::Startup() const {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (saved_) return *saved_;
  }
  return ReadOrWarn(startup_file_);
}

bool ConfigStore::Unsaved() const { return Running() != Startup(); }

int ConfigStore::Save(int session_id) { return Save(session_id, Running()); }

int ConfigStore::Save(int session_id, std::vector<std::string> listed) {
  std::lock_guard<std::mutex> lock(mutex_);
  saved_ = std::move(listed);
  ++save_count_;
  std::string line = Timestamp() + " device=" + device_name_ + " session=" + std::to_string(session_id) +
                     " saved the running configuration to startup (save " +
                     std::to_string(save_count_) + ")";
  LogLine(line);
  if (!save_log_file_.empty()) {
    std::ofstream log(save_log_file_, std::ios::app);
    log << line << "\n";
    if (!log) LogLine("cannot append to save log " + save_log_file_);
  }
  return save_count_;
}

int ConfigStore::SaveCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return save_count_;
}

}  // namespace switchsim
