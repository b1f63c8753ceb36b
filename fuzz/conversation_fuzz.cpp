// Fuzz target: the device dialog engine driven by random events.
//
// The input is a program of one-byte operations (value modulo 8), most with
// operands from the following bytes:
//  0 S        the SSH client's state becomes S (signed byte)
//  1 N data   N bytes arrive (UTF-8) and are announced as N
//  2 N M data N bytes arrive but M (signed byte) is announced
//  3 N R data N bytes arrive repeated 16 * R times (long output)
//  4          a new session starts
//  5 T        T seconds pass
//  6 D C T    settings: device D (one of the four or another code),
//             configuration C (RUN, START, COMPARE or another kind),
//             time-out T (signed byte)
//  7 F K      the channel's next Send (bit 0) / Receive (bit 1) fails;
//             with bit 2 (once per input) the three capture buffers are
//             filled up to K characters below the capture limit
// The channel is a fake that records what is typed and hands out the data.
// Checked on every event, against what the engine's contract says:
//  * nothing is typed unless the session is established;
//  * the data is appended to the session output and to the receive buffer
//    of the step it arrived in, as far as the capture limit allows, and
//    what is dropped is flagged;
//  * the enable password slot never leaves the engine;
//  * at step 2 only the logout is typed, and not once it has been typed
//    for longer than the time-out;
//  * the step only moves forward, from 0 to 1 at the opening and from 1 to
//    2 once more than 30 characters are in the first buffer;
//  * a failing channel's error reaches the caller unchanged.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "component/check_state.h"
#include "fuzz_support.h"
#include "devices/device_table.h"
#include "session/conversation.h"

using comvorlix::Text;
using comvorlix::TextView;

namespace {

struct ChannelFailure {};

class FakeChannel : public comvorlix::ConversationChannel {
 public:
  void Send(const Text& text) override {
    if (fail_send) {
      fail_send = false;
      throw ChannelFailure{};
    }
    sent.push_back(text);
  }
  Text Receive(int16_t) override {
    if (fail_receive) {
      fail_receive = false;
      throw ChannelFailure{};
    }
    return pending;
  }

  std::vector<Text> sent;
  Text pending;
  bool fail_send = false;
  bool fail_receive = false;
};

const char16_t* const kDevices[] = {u"CSCSW", u"ARUSW", u"HP1920SW", u"HP2510SW", u"OTHERSW"};
const char16_t* const kConfigurations[] = {u"RUN", u"START", u"COMPARE", u"BOTH"};
const Text kEnablePassword = u"en4ble";
// Keeps the data of one input well below the memory limit.
constexpr size_t kMaxInputOutput = size_t{4} << 20;

// What of `data` fits into a capture buffer of `size` characters.
size_t Fitting(size_t size, const Text& data) {
  return std::min(comvorlix::kMaxCapturedChars - std::min(comvorlix::kMaxCapturedChars, size), data.size());
}

// Whether `buffer` is its first `size` characters followed by what fits of
// `data`.
bool AppendedAt(const Text& buffer, size_t size, const Text& data) {
  const size_t kept = Fitting(size, data);
  return buffer.size() == size + kept && buffer.compare(size, kept, data, 0, kept) == 0;
}

// Three texts just below the capture limit (3 x 128 MiB, within the memory
// limit), made once per process and able to grow up to the limit without
// reallocation: filling buffers of that size for each input would make the
// target slow, and allocating them per input would look like a leak to
// libFuzzer while they are held.
std::array<Text, 3>& NearlyFull() {
  static std::array<Text, 3> texts = [] {
    std::array<Text, 3> made;
    Text x = u"x";
    while (x.size() < comvorlix::kMaxCapturedChars) x += x;  // copies, not a loop per character
    for (Text& t : made) {
      t.reserve(comvorlix::kMaxCapturedChars);
      t.assign(x, 0, comvorlix::kMaxCapturedChars - 255);
    }
    return made;
  }();
  return texts;
}

Text& Buffer(comvorlix::CheckState& s, size_t i) {
  return i == 0 ? s.gSessionOutput : i == 1 ? s.gReceived : s.gReceivedRunning;
}

class Driver {
 public:
  Driver() {
    comvorlix::CheckState& s = comvorlix::ThreadCheckState();
    s = comvorlix::CheckState();
    s.gDevice = kDevices[0];
    s.gConfiguration = kConfigurations[0];
    s.gTimeout = 5;
    s.gEnablePassword = kEnablePassword;
    engine_.StartSession();
  }
  ~Driver() {
    if (!filled_) return;
    comvorlix::CheckState& s = comvorlix::ThreadCheckState();
    for (size_t i = 0; i < 3; ++i) Buffer(s, i).swap(NearlyFull()[i]);
  }
  Driver(const Driver&) = delete;
  Driver& operator=(const Driver&) = delete;

  void Received(const Text& data, int16_t announced) {
    comvorlix::CheckState& s = comvorlix::ThreadCheckState();
    const comvorlix::DeviceKind* known = comvorlix::FindDeviceKind(s.gDevice);
    const comvorlix::DeviceKind& device = known ? *known : comvorlix::OtherDeviceKind();
    const auto before = engine_.state();
    const bool established = before.SessionState == comvorlix::kSessionEstablished;
    const size_t sent_before = channel_.sent.size();
    const size_t received = s.gReceived.size(), running = s.gReceivedRunning.size();
    const size_t output = s.gSessionOutput.size();
    channel_.pending = data;

    bool failed = false;
    try {
      engine_.OnReceived(channel_, announced, now_);
    } catch (const ChannelFailure&) {
      failed = true;
    }
    const auto& after = engine_.state();
    FUZZ_CHECK(after.DialogStep >= before.DialogStep && after.DialogStep <= 2);
    if (!established) {
      FUZZ_CHECK(channel_.sent.size() == sent_before);
      FUZZ_CHECK(after.DialogStep == before.DialogStep);
    }
    for (size_t i = sent_before; i < channel_.sent.size(); ++i) {
      FUZZ_CHECK(channel_.sent[i].find(comvorlix::kEnablePasswordSlot) == Text::npos);
    }
    if (failed) return;

    // Capture, in the step reached after the opening.
    const int capture_step = established && before.DialogStep == 0 ? 1 : before.DialogStep;
    const size_t step_buffer = capture_step == 1 ? received : running;
    FUZZ_CHECK(AppendedAt(s.gSessionOutput, output, data));
    FUZZ_CHECK(capture_step == 1 ? AppendedAt(s.gReceived, received, data) : s.gReceived.size() == received);
    FUZZ_CHECK(capture_step == 1 ? s.gReceivedRunning.size() == running
                                 : AppendedAt(s.gReceivedRunning, running, data));
    const bool dropped = Fitting(output, data) < data.size() || Fitting(step_buffer, data) < data.size();
    FUZZ_CHECK(after.output_truncated == (before.output_truncated || dropped));

    if (established && capture_step == 1) {
      FUZZ_CHECK((after.DialogStep == 2) == (s.gReceived.size() > 30));
    }
    if (established && before.DialogStep == 2) {
      for (size_t i = sent_before; i < channel_.sent.size(); ++i) {
        FUZZ_CHECK(channel_.sent[i] == device.logout);
        FUZZ_CHECK(after.logout_since.has_value());
        const auto limit = std::chrono::seconds(s.gTimeout > 0 ? s.gTimeout : 30);
        FUZZ_CHECK(now_ - *after.logout_since <= limit);
      }
    }
  }

  void Run(comvorlix::fuzz::InputReader& in) {
    comvorlix::CheckState& s = comvorlix::ThreadCheckState();
    while (!in.empty()) {
      switch (in.Byte() % 8) {
        case 0:
          engine_.OnStateChange(static_cast<int8_t>(in.Byte()));
          break;
        case 1: {
          const uint8_t n = in.Byte();
          Received(comvorlix::FromUtf8(in.Bytes(n)), n);
          break;
        }
        case 2: {
          const uint8_t n = in.Byte();
          const auto announced = static_cast<int8_t>(in.Byte());
          Received(comvorlix::FromUtf8(in.Bytes(n)), announced);
          break;
        }
        case 3: {
          const uint8_t n = in.Byte();
          size_t repeat = size_t{16} * in.Byte();
          const Text piece = comvorlix::FromUtf8(in.Bytes(n));
          const size_t room = kMaxInputOutput - std::min(kMaxInputOutput, s.gSessionOutput.size());
          if (!piece.empty()) repeat = std::min(repeat, room / piece.size());
          Text data;
          data.reserve(piece.size() * repeat);
          for (size_t i = 0; i < repeat; ++i) data += piece;
          Received(data, static_cast<int16_t>(std::min<size_t>(data.size(), INT16_MAX)));
          break;
        }
        case 4:
          engine_.StartSession();
          FUZZ_CHECK(engine_.state().DialogStep == 0 && !engine_.state().CommandsSent);
          break;
        case 5:
          now_ += std::chrono::seconds(in.Byte());
          break;
        case 6:
          s.gDevice = kDevices[in.Byte() % 5];
          s.gConfiguration = kConfigurations[in.Byte() % 4];
          s.gTimeout = static_cast<int8_t>(in.Byte());
          break;
        default: {
          const uint8_t f = in.Byte();
          const uint8_t below_limit = in.Byte();
          channel_.fail_send = (f & 1) != 0;
          channel_.fail_receive = (f & 2) != 0;
          if ((f & 4) != 0 && !filled_) {
            // The texts of the process are lent to the buffers for the rest
            // of this input; their earlier content comes back after it.
            filled_ = true;
            for (size_t i = 0; i < 3; ++i) {
              Buffer(s, i).swap(NearlyFull()[i]);
              Buffer(s, i).resize(comvorlix::kMaxCapturedChars - below_limit, u'x');
            }
          }
          break;
        }
      }
    }
  }

 private:
  comvorlix::Conversation engine_;
  FakeChannel channel_;
  bool filled_ = false;
  comvorlix::Conversation::Clock::time_point now_ = comvorlix::Conversation::Clock::time_point{} + std::chrono::hours(1);
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  comvorlix::fuzz::InputReader in(data, size);
  {
    Driver driver;
    driver.Run(in);
  }
  // Nothing of this input stays allocated: libFuzzer then has no reason to
  // run it again looking for a leak.
  comvorlix::ThreadCheckState() = comvorlix::CheckState();
  return 0;
}
