#include "session/conversation.h"

#include <algorithm>

#include "devices/device_table.h"

namespace comvorlix {
namespace {

// The bytes typed for an opening text: the first enable password slot holds
// the enable password.
std::string OpeningBytes(const Text& text, const std::string& enable_password) {
  std::string bytes = ToAnsi(text);
  const std::string slot = ToAnsi(kEnablePasswordSlot);
  const size_t at = bytes.find(slot);
  if (at != std::string::npos) bytes.replace(at, slot.size(), enable_password);
  return bytes;
}

std::vector<std::string> AllBytes(const std::vector<Text>& texts) {
  std::vector<std::string> out;
  out.reserve(texts.size());
  for (const Text& t : texts) out.push_back(ToAnsi(t));
  return out;
}

void AppendCapped(std::string& buffer, const std::string& data, bool& truncated) {
  if (buffer.size() >= kMaxCapturedBytes) {
    truncated = truncated || !data.empty();
    return;
  }
  size_t room = kMaxCapturedBytes - buffer.size();
  if (data.size() > room) truncated = true;
  buffer.append(data, 0, std::min(room, data.size()));
}

std::chrono::seconds LogoutRepeatLimit(int16_t timeout) {
  return std::chrono::seconds(timeout > 0 ? timeout : 30);
}

}  // namespace

Conversation::Conversation(ConversationSettings settings)
    : settings_(std::move(settings)),
      known_(settings_.device != nullptr),
      compare_(settings_.configuration == u"COMPARE") {
  const DeviceKind& device = known_ ? *settings_.device : OtherDeviceKind();
  for (const Text& text : device.opening) opening_.push_back(OpeningBytes(text, settings_.enable_password));
  const Text listing = FirstListing(device, settings_.configuration);
  if (!listing.empty()) first_listing_ = ToAnsi(listing + device.line_end);
  run_listing_ = ToAnsi(device.run_listing + device.line_end);
  follow_up_ = AllBytes(device.follow_up);
  logout_ = ToAnsi(device.logout);
}

void Conversation::StartSession() {
  state_.DialogStep = 0;
  state_.CommandsSent = false;
  state_.logout_since.reset();
  state_.output_truncated = false;
}

void Conversation::Capture(const std::string& data, Captures& captures) {
  AppendCapped(state_.DialogStep == 1 ? captures.first : captures.second, data, state_.output_truncated);
  AppendCapped(captures.output, data, state_.output_truncated);
}

void Conversation::OnReceived(ConversationChannel& channel, size_t byte_count, Captures& captures,
                              Clock::time_point now) {
  const DeviceKind& device = known_ ? *settings_.device : OtherDeviceKind();
  const bool established = state_.SessionState == kSessionEstablished;

  // 1. Opening.
  if (established && state_.DialogStep == 0) {
    if (known_) {
      for (const std::string& bytes : opening_) channel.Send(bytes);
      if (!first_listing_.empty()) channel.Send(first_listing_);
      state_.CommandsSent = true;
      if (device.opening_threshold_offset) {
        state_.LogoutThreshold = static_cast<int>(captures.first.size()) + *device.opening_threshold_offset;
      }
    }
    state_.DialogStep = 1;
  }

  // 2. Capture.
  Capture(channel.Receive(byte_count), captures);

  // 3. Going on.
  if (established && state_.DialogStep == 1 && captures.first.size() > 30) {
    if (compare_ && known_) {
      channel.Send(run_listing_);
      state_.LogoutThreshold = 30;
    } else {
      for (const std::string& bytes : follow_up_) channel.Send(bytes);
      if (device.follow_up_threshold) state_.LogoutThreshold = *device.follow_up_threshold;
    }
    state_.DialogStep = 2;
    return;
  }

  // 4. Logout.
  if (established && state_.DialogStep == 2 && state_.CommandsSent &&
      captures.second.size() > static_cast<size_t>(std::max(state_.LogoutThreshold, 0))) {
    if (!state_.logout_since) state_.logout_since = now;
    if (now - *state_.logout_since <= LogoutRepeatLimit(settings_.timeout)) channel.Send(logout_);
  }
}

}  // namespace comvorlix
