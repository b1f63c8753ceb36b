#include "session/conversation.h"

#include "component/check_state.h"
#include "devices/device_table.h"

namespace comvorlix {
namespace {

Text WithEnablePassword(const Text& text, const Text& enable_password) {
  size_t at = text.find(kEnablePasswordSlot);
  if (at == Text::npos) return text;
  Text out = text;
  out.replace(at, std::char_traits<char16_t>::length(kEnablePasswordSlot), enable_password);
  return out;
}

void AppendCapped(Text& buffer, const Text& data, bool& truncated) {
  if (buffer.size() >= kMaxCapturedChars) {
    truncated = truncated || !data.empty();
    return;
  }
  size_t room = kMaxCapturedChars - buffer.size();
  if (data.size() > room) truncated = true;
  buffer.append(data, 0, std::min(room, data.size()));
}

std::chrono::seconds LogoutRepeatLimit(int16_t timeout) {
  return std::chrono::seconds(timeout > 0 ? timeout : 30);
}

}  // namespace

void Conversation::StartSession() {
  state_.DialogStep = 0;
  state_.CommandsSent = false;
  state_.logout_since.reset();
  state_.output_truncated = false;
}

void Conversation::Capture(const Text& data) {
  CheckState& s = ThreadCheckState();
  AppendCapped(state_.DialogStep == 1 ? s.gReceived : s.gReceivedRunning, data, state_.output_truncated);
  AppendCapped(s.gSessionOutput, data, state_.output_truncated);
}

void Conversation::OnReceived(ConversationChannel& channel, int16_t byte_count, Clock::time_point now) {
  CheckState& s = ThreadCheckState();
  const DeviceKind* known = FindDeviceKind(s.gDevice);
  const DeviceKind& device = known ? *known : OtherDeviceKind();
  const bool compare = s.gConfiguration == u"COMPARE";
  const bool established = state_.SessionState == kSessionEstablished;

  // 1. Opening.
  if (established && state_.DialogStep == 0) {
    if (known) {
      for (const Text& text : device.opening) channel.Send(WithEnablePassword(text, s.gEnablePassword));
      Text listing = FirstListing(device, s.gConfiguration);
      if (!listing.empty()) channel.Send(listing + device.line_end);
      state_.CommandsSent = true;
      if (device.opening_threshold_offset) {
        state_.LogoutThreshold = static_cast<int>(s.gReceived.size()) + *device.opening_threshold_offset;
      }
    }
    state_.DialogStep = 1;
  }

  // 2. Capture.
  Capture(channel.Receive(byte_count));

  // 3. Going on.
  if (established && state_.DialogStep == 1 && s.gReceived.size() > 30) {
    if (compare && known) {
      channel.Send(device.run_listing + device.line_end);
      state_.LogoutThreshold = 30;
    } else {
      for (const Text& text : device.follow_up) channel.Send(text);
      if (device.follow_up_threshold) state_.LogoutThreshold = *device.follow_up_threshold;
    }
    state_.DialogStep = 2;
    return;
  }

  // 4. Logout.
  if (established && state_.DialogStep == 2 && state_.CommandsSent &&
      s.gReceivedRunning.size() > static_cast<size_t>(std::max(state_.LogoutThreshold, 0))) {
    if (!state_.logout_since) state_.logout_since = now;
    if (now - *state_.logout_since <= LogoutRepeatLimit(s.gTimeout)) channel.Send(device.logout);
  }
}

}  // namespace comvorlix
