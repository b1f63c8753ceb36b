// Fuzz target: the device conversation driven by random events.
//
// The input is a program of one-byte operations (value modulo 8), most with
// operands from the following bytes:
//  0 S        the SSH client's state becomes S (signed byte)
//  1 N data   N bytes arrive and are announced as N
//  2 N M data N bytes arrive but M (signed byte, at least 0) is announced
//  3 N R data N bytes arrive repeated 16 * R times (long output)
//  4          a new session starts
//  5 T        T seconds pass
//  6 D C T    a new conversation with the settings device D (one of the
//             four or another code), configuration C (RUN, START, COMPARE
//             or another kind), time-out T (signed byte); the client's
//             state and the capture buffers carry over
//  7 F K      the channel's next Send (bit 0) / Receive (bit 1) fails;
//             with bit 2 (once per input) the three capture buffers are
//             filled up to K bytes below the capture limit
// The channel is a fake that records what is typed and hands out the data.
// Checked on every event, against what the engine's contract says:
//  * nothing is typed unless the session is established;
//  * the data is appended to the session output and to the receive buffer
//    of the step it arrived in, as far as the capture limit allows, and
//    what is dropped is flagged; the enable password's echo is masked;
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
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "devices/device_table.h"
#include "session/conversation.h"

namespace {

// The phases in their order: 0 opening, 1 listing, 2 closing.
int PhaseIndex(const comvorlix::ConversationState& state) { return static_cast<int>(state.phase); }

struct ChannelFailure {};

class FakeChannel : public comvorlix::ConversationChannel {
 public:
  void Send(std::string_view bytes) override {
    if (fail_send) {
      fail_send = false;
      throw ChannelFailure{};
    }
    sent.emplace_back(bytes);
  }
  std::string Receive(size_t) override {
    if (fail_receive) {
      fail_receive = false;
      throw ChannelFailure{};
    }
    return pending;
  }

  std::vector<std::string> sent;
  std::string pending;
  bool fail_send = false;
  bool fail_receive = false;
};

const char* const kDevices[] = {"CSCSW", "ARUSW", "HP1920SW", "HP2510SW", "OTHERSW"};
const char* const kConfigurations[] = {"RUN", "START", "COMPARE", "BOTH"};
const std::string kEnablePassword = "en4ble";
// Keeps the data of one input well below the memory limit.
constexpr size_t kMaxInputOutput = size_t{4} << 20;
constexpr size_t kLimit = comvorlix::kMaxCapturedBytes;

// What of `data` fits into a capture buffer of `size` bytes.
size_t Fitting(size_t size, const std::string& data) { return std::min(kLimit - std::min(kLimit, size), data.size()); }

// Whether `buffer` is its first `size` bytes followed by what fits of `data`,
// but for the enable password's echo: from where the password was typed up
// to where the conversation has looked (or to the marker's echo after it),
// every occurrence is masked with '*' and none is left.
bool AppendedAt(const std::string& buffer, size_t size, const std::string& data,
                const std::optional<std::pair<size_t, size_t>>& masked) {
  const size_t kept = Fitting(size, data);
  if (buffer.size() != size + kept) return false;
  const size_t from = masked ? masked->first : SIZE_MAX;
  const size_t limit = masked ? masked->second : 0;
  for (size_t i = 0; i < kept; ++i) {
    const size_t at = size + i;
    if (buffer[at] != data[i] && !(buffer[at] == '*' && at >= from && at < limit)) return false;
  }
  if (!masked) return true;
  const size_t left = buffer.find(kEnablePassword, from);
  return left == std::string::npos || left + kEnablePassword.size() > limit;
}

// An output buffer just below the capture limit, made once per process and
// able to grow up to the limit without reallocation: filling a buffer of
// that size for each input would make the target slow, and allocating it
// per input would look like a leak to libFuzzer while it is held.
std::string& NearlyFull() {
  static std::string buffer = [] {
    std::string made;
    made.reserve(kLimit);
    made.assign(kLimit - 255, 'x');
    return made;
  }();
  return buffer;
}

class Driver {
 public:
  Driver() { Make(kDevices[0], kConfigurations[0], 5); }
  ~Driver() {
    if (!filled_) return;
    captures_.output.swap(NearlyFull());
  }
  Driver(const Driver&) = delete;
  Driver& operator=(const Driver&) = delete;

  void Received(const std::string& data, size_t announced) {
    if (broken_) return;
    const comvorlix::DeviceKind& device = known_ ? *known_ : comvorlix::OtherDeviceKind();
    const auto before = engine_->state();
    const bool awaited_before = engine_->AwaitingAnswer();
    const bool established = before.ssh_state == comvorlix::kSessionEstablished;
    const size_t sent_before = channel_.sent.size();
    const size_t received = captures_.first_size(), running = captures_.second_size();
    // Data at step 1 continues the first capture only when it ends where the
    // output ends; otherwise (a new conversation on the same captures) the
    // first capture starts anew and the old one counts to the second.
    const bool continues = received > 0 && captures_.first_end == captures_.output.size();
    const size_t output = captures_.output.size();
    channel_.pending = data;

    bool failed = false;
    try {
      engine_->OnReceived(channel_, announced, captures_, now_);
    } catch (const ChannelFailure&) {
      // A session whose channel failed ends; the engine sees no more data
      // until a new session starts.
      failed = true;
      broken_ = true;
    }
    const auto& after = engine_->state();
    FUZZ_CHECK(PhaseIndex(after) >= PhaseIndex(before) && PhaseIndex(after) <= 2);
    if (!established) {
      FUZZ_CHECK(channel_.sent.size() == sent_before);
      FUZZ_CHECK(PhaseIndex(after) == PhaseIndex(before));
    }
    for (size_t i = sent_before; i < channel_.sent.size(); ++i) {
      FUZZ_CHECK(channel_.sent[i].find(comvorlix::kEnablePasswordSlot) == std::string::npos);
      // The enable password answers a question: it is typed only after an
      // answer was awaited, never with the command that may ask for it.
      if (channel_.sent[i].rfind(kEnablePassword, 0) == 0) {
        FUZZ_CHECK(awaited_before && i == sent_before);
      }
    }
    if (failed) return;

    // Capture, in the step reached after the opening: an opening without a
    // step that waits reaches step 1 at once; while one waits, data goes to
    // the second buffer.
    const bool waits = std::any_of(device.opening.begin(), device.opening.end(),
                                   [](const comvorlix::OpeningStep& s) { return !s.questions.empty(); });
    const int capture_step =
        established && PhaseIndex(before) == 0 && !awaited_before && !waits ? 1 : PhaseIndex(before);
    // The first capture is a range of the output: what is kept of the data
    // lands in it at step 1 and in the second capture otherwise.
    const size_t kept = Fitting(output, data);
    FUZZ_CHECK(AppendedAt(captures_.output, output, data, engine_->MaskedSecretEcho()));
    if (capture_step == 1) {
      FUZZ_CHECK(captures_.first_size() == (continues ? received : 0) + kept);
      FUZZ_CHECK(captures_.second_size() == running + (continues ? 0 : received));
    } else {
      FUZZ_CHECK(captures_.first_size() == received);
      FUZZ_CHECK(captures_.second_size() == running + kept);
    }
    const bool dropped = kept < data.size();
    FUZZ_CHECK(after.output_truncated == (before.output_truncated || dropped));

    if (established && capture_step == 1) {
      FUZZ_CHECK((PhaseIndex(after) == 2) == (captures_.first_size() > 30));
    }
    if (established && PhaseIndex(before) == 2) {
      for (size_t i = sent_before; i < channel_.sent.size(); ++i) {
        FUZZ_CHECK(channel_.sent[i] == device.logout);
        FUZZ_CHECK(after.logout_since.has_value());
        const auto limit = std::chrono::seconds(timeout_ > 0 ? timeout_ : 30);
        FUZZ_CHECK(now_ - *after.logout_since <= limit);
      }
    }
  }

  void Run(comvorlix::fuzz::InputReader& in) {
    while (!in.empty()) {
      switch (in.Byte() % 8) {
        case 0:
          engine_->OnStateChange(static_cast<int8_t>(in.Byte()));
          break;
        case 1: {
          const uint8_t n = in.Byte();
          Received(std::string(in.Bytes(n)), n);
          break;
        }
        case 2: {
          const uint8_t n = in.Byte();
          const auto announced = static_cast<int8_t>(in.Byte());
          Received(std::string(in.Bytes(n)), static_cast<size_t>(std::max<int>(announced, 0)));
          break;
        }
        case 3: {
          const uint8_t n = in.Byte();
          size_t repeat = size_t{16} * in.Byte();
          const std::string piece(in.Bytes(n));
          const size_t room = kMaxInputOutput - std::min(kMaxInputOutput, captures_.output.size());
          if (!piece.empty()) repeat = std::min(repeat, room / piece.size());
          std::string data;
          data.reserve(piece.size() * repeat);
          for (size_t i = 0; i < repeat; ++i) data += piece;
          Received(data, std::min<size_t>(data.size(), INT16_MAX));
          break;
        }
        case 4:
          broken_ = false;
          engine_->StartSession();
          FUZZ_CHECK(PhaseIndex(engine_->state()) == 0 && !engine_->state().logout_since);
          break;
        case 5:
          now_ += std::chrono::seconds(in.Byte());
          break;
        case 6: {
          const char* device = kDevices[in.Byte() % 5];
          const char* configuration = kConfigurations[in.Byte() % 4];
          Make(device, configuration, static_cast<int8_t>(in.Byte()));
          break;
        }
        default: {
          const uint8_t f = in.Byte();
          const uint8_t below_limit = in.Byte();
          channel_.fail_send = (f & 1) != 0;
          channel_.fail_receive = (f & 2) != 0;
          if ((f & 4) != 0 && !filled_) {
            // The buffer of the process is lent to the output for the rest
            // of this input; its earlier content comes back after it. The
            // first capture keeps its range, which lies within the filler.
            filled_ = true;
            captures_.output.swap(NearlyFull());
            captures_.output.resize(kLimit - below_limit, 'x');
            captures_.first_end = std::min(captures_.first_end, captures_.output.size());
            captures_.first_begin = std::min(captures_.first_begin, captures_.first_end);
          }
          break;
        }
      }
    }
  }

 private:
  // A new conversation with these settings; the client's state carries over.
  void Make(const char* device, const char* configuration, int16_t timeout) {
    broken_ = false;
    const int32_t state = engine_ ? engine_->state().ssh_state : 0;
    known_ = comvorlix::FindDeviceKind(device);
    timeout_ = timeout;
    engine_ = std::make_unique<comvorlix::Conversation>(
        comvorlix::ConversationSettings{known_, configuration, kEnablePassword, timeout});
    engine_->StartSession();
    engine_->OnStateChange(state);
  }

  std::unique_ptr<comvorlix::Conversation> engine_;
  const comvorlix::DeviceKind* known_ = nullptr;
  int16_t timeout_ = 0;
  comvorlix::Captures captures_;
  FakeChannel channel_;
  bool filled_ = false;
  bool broken_ = false;  // the channel failed: no data until a new session
  comvorlix::Conversation::Clock::time_point now_ = comvorlix::Conversation::Clock::time_point{} + std::chrono::hours(1);
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Nothing of this input stays allocated afterwards: libFuzzer then has no
  // reason to run it again looking for a leak.
  comvorlix::fuzz::InputReader in(data, size);
  Driver driver;
  driver.Run(in);
  return 0;
}
