#include "device.h"

#include "paced_output.h"
#include "persona.h"

namespace switchsim {
namespace {
// Output is collected into blocks of about this size before it is sent, so a
// large listing does not become one SSH packet per line.
constexpr size_t kBlockSize = 16384;
}  // namespace

std::unique_ptr<Device> MakeDevice(const DeviceContext& context) {
  switch (context.options.device) {
    case DeviceKind::kCisco: return MakeCisco(context);
    case DeviceKind::kAruba:
    case DeviceKind::kHp2530: return MakeProCurve(context);
    case DeviceKind::kHp1920: return MakeComware(context);
    case DeviceKind::kNxos: return MakePersonaDevice(context, NxosPersona());
    case DeviceKind::kEos: return MakePersonaDevice(context, EosPersona());
    case DeviceKind::kJunos: return MakePersonaDevice(context, JunosPersona());
    case DeviceKind::kAosCx: return MakePersonaDevice(context, AosCxPersona());
    case DeviceKind::kComware7: return MakePersonaDevice(context, Comware7Persona());
    case DeviceKind::kRouterOs: return MakePersonaDevice(context, RouterOsPersona());
  }
  return nullptr;
}

bool LoginNameMatches(const Options& options, std::string_view login_name) {
  if (login_name == options.user) return true;
  if (options.device != DeviceKind::kRouterOs || login_name.size() <= options.user.size() + 1 ||
      login_name.substr(0, options.user.size()) != options.user || login_name[options.user.size()] != '+') {
    return false;
  }
  // parameters ::= { [number] 'a'..'z' }
  const std::string_view flags = login_name.substr(options.user.size() + 1);
  return flags.back() >= 'a' && flags.back() <= 'z' &&
         flags.find_first_not_of("0123456789abcdefghijklmnopqrstuvwxyz") == std::string_view::npos;
}

Listing::Listing(Terminal& terminal, int page_length, std::function<MoreAnswer()> more)
    : terminal_(terminal), page_length_(page_length), more_(std::move(more)) {}

void Listing::Flush() {
  if (buffer_.empty()) return;
  terminal_.Send(buffer_);
  buffer_.clear();
}

bool Listing::Line(std::string_view text) {
  if (stopped_) return false;
  buffer_.append(text);
  buffer_.append("\r\n");
  ++lines_on_page_;
  if (page_length_ > 1 && lines_on_page_ >= page_length_ - 1) {
    Flush();
    switch (more_()) {
      case MoreAnswer::kNextPage: lines_on_page_ = 0; break;
      case MoreAnswer::kNextLine: lines_on_page_ = page_length_ - 2; break;
      case MoreAnswer::kQuit: stopped_ = true; return false;
    }
  } else if (buffer_.size() >= kBlockSize) {
    Flush();
  }
  return true;
}

namespace {

// Half of the lines, then half of the next line long enough to be cut
// inside, flushed; then the session ends cleanly.
[[noreturn]] void ListCutMidLine(Listing& listing, const std::vector<std::string>& lines) {
  size_t at = lines.size() / 2;
  for (size_t i = 0; i < at; ++i) {
    if (!listing.Line(lines[i])) throw CloseSession{};
  }
  listing.Flush();
  while (at < lines.size() && lines[at].size() < 2) {
    if (!listing.Line(lines[at++])) throw CloseSession{};
  }
  listing.Flush();
  if (at < lines.size()) listing.terminal().Send(std::string_view(lines[at]).substr(0, lines[at].size() / 2));
  throw CloseSession{};
}

// The lines again and again, flushed in small pieces at the flood rate.
bool ListSlowFlood(Listing& listing, const std::vector<std::string>& lines) {
  constexpr size_t kPiece = 4096;
  Pacer pacer(listing.terminal(), kSlowFloodRate);
  size_t unsent = 0;
  for (;;) {
    for (const std::string& line : lines) {
      if (!listing.Line(line)) return false;
      unsent += line.size() + 2;
      if (unsent >= kPiece) {
        listing.Flush();
        pacer.Sent(unsent);
        unsent = 0;
      }
    }
  }
}

}  // namespace

std::string ReadCommand(const DeviceContext& context, LineEcho& echo) {
  std::string line = context.terminal.ReadLine(echo);
  if (!line.empty()) context.command_log.Append(line);
  return line;
}

bool ListConfig(Listing& listing, const std::vector<std::string>& lines, const Options& options) {
  if (options.faults.cut_mid_line) ListCutMidLine(listing, lines);
  if (options.faults.slow_flood && !lines.empty()) return ListSlowFlood(listing, lines);
  if (options.faults.drop_mid_listing || options.faults.disconnect_mid_listing) {
    for (size_t i = 0; i < lines.size() / 2; ++i) {
      if (!listing.Line(lines[i])) return false;
    }
    listing.Flush();
    if (options.faults.disconnect_mid_listing) throw DisconnectSession{};
    throw DropConnection{};
  }
  do {
    for (const std::string& line : lines) {
      if (!listing.Line(line)) return false;
    }
  } while (options.faults.endless_output && !lines.empty());
  listing.Flush();
  return true;
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::string current;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(current);
      current.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      current.push_back(c);
    }
  }
  if (!current.empty()) lines.push_back(current);
  return lines;
}

}  // namespace switchsim
