#include "ssh/client.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>

#include <chrono>
#include <fstream>
#include <random>
#include <sstream>

#include "common/switchsim_process.h"
#include "base/automation_error.h"
#include "base/debug_output.h"
#include "base/message_queue.h"
#include "ssh/handles.h"
#include "ssh/key.h"
#include "ssh/session_worker.h"
#include "ssh/terminal_filter.h"
#include "ssh/support/ssh_event_recorder.h"
#include "ssh/support/test_keys.h"
#include "ssh/support/test_ssh_server.h"

namespace comvorlix {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using testing_support::AfterGreeting;
using testing_support::GeneratedKey;
using testing_support::GenerateKeyFile;
using testing_support::SshEventRecorder;
using testing::TempDir;
using testing_support::TestServerOptions;
using testing_support::TestSshServer;
using Clock = std::chrono::steady_clock;

constexpr auto kLimit = milliseconds(20000);  // no test session should come near this
const std::vector<SshState> kNormalStates = {SshState::kConnecting, SshState::kAuthenticating, SshState::kConnected,
                                             SshState::kClosing, SshState::kDisconnected};

double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Bytes of every value, in an order that is not trivially regular.
std::string RandomBytes(size_t n, unsigned seed) {
  std::mt19937 generator(seed);
  std::string bytes(n, '\0');
  for (auto& b : bytes) b = static_cast<char>(generator() & 0xFF);
  return bytes;
}

std::string Where(int port) { return "127.0.0.1:" + std::to_string(port); }

// A client with the settings a check gives it, for `port` on the loopback.
struct ClientUnderTest {
  SshEventRecorder recorder;
  SshClient client{recorder.Handler()};
  SshSettings settings;

  explicit ClientUnderTest(int port, int timeout = 5) {
    recorder.client = &client;
    settings.host = "127.0.0.1";
    settings.terminal_columns = 200;
    settings.port = port;
    settings.login = "admin";
    settings.password = "s3cret-Pa55";
    settings.timeout_seconds = timeout;
  }
  void Connect() { client.Connect(settings); }
};

// The events of a session that ended normally, in their order.
void ExpectNormalSession(const SshEventRecorder& r) {
  EXPECT_EQ(r.connected_count, 1);
  EXPECT_EQ(r.failed_count, 0) << r.failure.text;
  EXPECT_EQ(r.disconnected_count, 1);
  EXPECT_EQ(r.states, kNormalStates);
  EXPECT_TRUE(r.states_consistent);
  EXPECT_FALSE(r.reentered);
  EXPECT_LE(r.max_announced, SshClient::kMaxReceivedEvent);
  // The test server's host key is learned by the first session of the
  // test program only.
  std::vector<std::string> events = r.events;
  if (events.size() > 2 && events[2] == "HostKeyLearned") events.erase(events.begin() + 2);
  ASSERT_GE(events.size(), 7u);
  EXPECT_EQ(events[0], "State 1");
  EXPECT_EQ(events[1], "Negotiated");
  EXPECT_EQ(events[2], "State 2");
  EXPECT_EQ(events[3], "State 3");
  EXPECT_EQ(events[4], "Connected");
  EXPECT_EQ(events[events.size() - 3], "State 4");
  EXPECT_EQ(events[events.size() - 2], "State 0");
  EXPECT_EQ(events.back(), "Disconnected");
}

// A failed attempt: SshConnectFailed, then the state disconnected and
// SshDisconnected, each exactly once.
void ExpectFailedAttempt(const SshEventRecorder& r, SshError code, const std::string& text) {
  EXPECT_EQ(r.connected_count, 0);
  EXPECT_EQ(r.failed_count, 1);
  EXPECT_EQ(r.failure.error, code);
  EXPECT_EQ(r.failure.text, text);
  EXPECT_EQ(r.disconnected_count, 1);
  EXPECT_EQ(r.received_count, 0);
  ASSERT_GE(r.events.size(), 3u);
  EXPECT_EQ(r.events[r.events.size() - 3], "ConnectFailed");
  EXPECT_EQ(r.events[r.events.size() - 2], "State 0");
  EXPECT_EQ(r.events.back(), "Disconnected");
  EXPECT_FALSE(r.reentered);
  EXPECT_TRUE(r.states_consistent);
}

TEST(SshClientTest, PasswordLoginReceivesExactlyWhatTheServerSent) {
  TestServerOptions options;
  options.greeting = RandomBytes(300000, 1);
  TestSshServer server(options);
  ClientUnderTest c(server.port());
  c.Connect();
  ASSERT_TRUE(c.recorder.RunUntilDisconnected(kLimit));

  ExpectNormalSession(c.recorder);
  EXPECT_TRUE(c.recorder.data == options.greeting) << "received " << c.recorder.data.size() << " bytes";
  EXPECT_GE(c.recorder.received_count, static_cast<int>(options.greeting.size() / SshClient::kMaxReceivedEvent));
  EXPECT_EQ(c.client.LastError(), "");
  EXPECT_EQ(c.client.State(), SshState::kDisconnected);
  EXPECT_EQ(server.PtyTerminal(), "vt100");
  EXPECT_EQ(server.PtyColumns(), 200);
}

TEST(SshClientTest, ReportsTheRealNegotiationValues) {
  TestServerOptions options;
  options.greeting = "hello";
  TestSshServer server(options);
  ClientUnderTest c(server.port());
  c.Connect();
  ASSERT_TRUE(c.recorder.RunUntilDisconnected(kLimit));
  ExpectNormalSession(c.recorder);
  const SshNegotiated& n = c.recorder.negotiated;
  EXPECT_EQ(n.protocol, "SSH-2.0");
  EXPECT_EQ(n.remote_name.rfind("SSH-2.0-libssh", 0), 0u) << n.remote_name;
  // Current algorithms come first, so a current server gets them.
  EXPECT_EQ(n.server_to_client, "chacha20-poly1305@openssh.com/aead-poly1305");
  EXPECT_EQ(n.client_to_server, "chacha20-poly1305@openssh.com/aead-poly1305");
  EXPECT_EQ(n.key_exchange, "curve25519-sha256");
  EXPECT_EQ(n.host_key_type, "ssh-ed25519");
  EXPECT_EQ(n.fingerprint, TestSshServer::Fingerprint(TestSshServer::Ed25519HostKey().get()));
  EXPECT_EQ(n.fingerprint.rfind("SHA256:", 0), 0u);
}

TEST(SshClientTest, ReachesAServerThatOffersOnlyOldAlgorithms) {
  TestServerOptions options;
  options.legacy_only = true;
  options.greeting = "legacy switch\r\n";
  TestSshServer server(options);
  ClientUnderTest c(server.port());
  c.Connect();
  ASSERT_TRUE(c.recorder.RunUntilDisconnected(kLimit));
  ExpectNormalSession(c.recorder);
  EXPECT_EQ(c.recorder.data, options.greeting);
  const SshNegotiated& n = c.recorder.negotiated;
  EXPECT_EQ(n.server_to_client, "aes128-cbc/hmac-sha1");
  EXPECT_EQ(n.client_to_server, "aes128-cbc/hmac-sha1");
  EXPECT_EQ(n.key_exchange, "diffie-hellman-group14-sha1");
  EXPECT_EQ(n.host_key_type, "ssh-rsa");
  EXPECT_EQ(n.fingerprint, TestSshServer::Fingerprint(TestSshServer::RsaHostKey().get()));
}

TEST(SshClientTest, StripsControlSequencesSplitAcrossReads) {
  const std::string esc = "\x1b";
  TestServerOptions options;
  options.greeting = esc + "[2J" + esc + "[?7l" + esc + "[1;1HBanner \xe9\xff" + esc + "Enext line" + esc +
                     "]0;title\x07" + esc + "[24;1HPress any key to continue" + esc + "[?25h\r\n";
  options.chunk = 1;  // every byte in a packet of its own
  TestSshServer server(options);
  ClientUnderTest c(server.port());
  c.settings.strip_control_sequences = true;
  c.Connect();
  ASSERT_TRUE(c.recorder.RunUntilDisconnected(kLimit));
  ExpectNormalSession(c.recorder);
  EXPECT_EQ(c.recorder.data, "Banner \xe9\xff\r\nnext linePress any key to continue\r\n");
}

TEST(SshClientTest, LeavesControlSequencesWhenNotStripping) {
  TestServerOptions options;
  options.greeting = "\x1b[2Jtext\x1b" "E";
  TestSshServer server(options);
  ClientUnderTest c(server.port());
  c.Connect();
  ASSERT_TRUE(c.recorder.RunUntilDisconnected(kLimit));
  EXPECT_EQ(c.recorder.data, options.greeting);
}

TEST(SshClientTest, SentTextReachesTheShellInCallOrder) {
  TestServerOptions options;
  options.greeting = "Switch>";
  options.after_greeting = AfterGreeting::kStayOpen;
  options.quit_command = "quit\r";
  options.farewell = "bye\r\n";
  TestSshServer server(options);
  ClientUnderTest c(server.port());
  std::string expected;
  c.Connect();
  // Text sent before the shell is open waits for it.
  c.client.Send("early\r");
  expected += "early\r";
  c.recorder.after_event = [&](const std::string& event) {
    if (event != "Connected") return;
    for (int i = 0; i < 200; ++i) {
      std::string line = "line " + std::to_string(i) + " \xe9\r";
      c.client.Send(line);
      expected += line;
    }
    c.client.Send("quit\r");
    expected += "quit\r";
  };
  ASSERT_TRUE(c.recorder.RunUntilDisconnected(kLimit));
  ExpectNormalSession(c.recorder);
  EXPECT_EQ(server.Input(), expected);
  EXPECT_EQ(c.recorder.data, "Switch>bye\r\n");
  EXPECT_EQ(c.client.LastError(), "");
  try {
    c.client.Send("too late");
    ADD_FAILURE() << "sending after the end must raise";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.description(), "cannot send: the SSH session is over");
  }
}

TEST(SshClientTest, EchoedInputComesBackByteForByte) {
  TestServerOptions options;
  options.after_greeting = AfterGreeting::kStayOpen;
  options.echo = true;
  options.quit_command = "\x01quit";
  TestSshServer server(options);
  ClientUnderTest c(server.port());
  std::string sent = RandomBytes(50000, 7);
  for (auto& b : sent) {
    if (b == '\x01') b = '\x02';  // keep the quit marker out of the payload
  }
  c.Connect();
  c.client.Send(sent);
  c.client.Send("\x01quit");
  ASSERT_TRUE(c.recorder.RunUntilDisconnected(kLimit));
  ExpectNormalSession(c.recorder);
  EXPECT_TRUE(c.recorder.data == sent + "\x01quit");
}

TEST(SshClientTest, KeyboardInteractiveLoginUsesThePassword) {
  TestServerOptions options;
  options.allow_password = false;
  options.allow_keyboard_interactive = true;
  options.greeting = "kbdint ok";
  TestSshServer server(options);
  ClientUnderTest c(server.port());
  c.Connect();
  ASSERT_TRUE(c.recorder.RunUntilDisconnected(kLimit));
  ExpectNormalSession(c.recorder);
  EXPECT_EQ(c.recorder.data, "kbdint ok");
}

TEST(SshClientTest, AWrongPasswordFailsTheLogin) {
  TestServerOptions options;
  options.allow_keyboard_interactive = true;  // tried too, with the same password
  TestSshServer server(options);
  ClientUnderTest c(server.port());
  c.settings.password = "wrong";
  c.Connect();
  ASSERT_TRUE(c.recorder.RunUntilDisconnected(kLimit));
  std::string text = "SSH connection to " + Where(server.port()) + " failed: authentication failed for user admin";
  ExpectFailedAttempt(c.recorder, SshError::kAuthentication, text);
  EXPECT_EQ(c.recorder.states, (std::vector<SshState>{SshState::kConnecting, SshState::kAuthenticating, SshState::kDisconnected}));
  EXPECT_EQ(c.client.LastError(), text);
}

TEST(SshClientTest, AServerWithoutPasswordLoginIsReported) {
  TestServerOptions options;
  options.allow_password = false;
  options.allow_public_key = true;
  TestSshServer server(options);
  ClientUnderTest c(server.port());
  c.Connect();
  ASSERT_TRUE(c.recorder.RunUntilDisconnected(kLimit));
  ExpectFailedAttempt(c.recorder, SshError::kAuthentication,
                      "SSH connection to " + Where(server.port()) +
                          " failed: authentication failed for user admin (the server accepts neither password "
                          "nor keyboard-interactive login)");
}

class SshClientKeyTest : public ::testing::Test {
 protected:
  // Logs in with the key in `g` (loaded through the key object, as the
  // session start does) and expects a normal session.
  void LoginWith(const GeneratedKey& g, const std::optional<std::string>& pass_phrase, bool legacy = false) {
    ASSERT_TRUE(g.key);
    ssh_key raw_public = nullptr;
    ASSERT_EQ(ssh_pki_export_privkey_to_pubkey(g.key.get(), &raw_public), SSH_OK);
    TestServerOptions options;
    options.allow_password = false;
    options.allow_public_key = true;
    options.legacy_only = legacy;
    options.authorized_keys.push_back(ssh_internal::SharedKey(raw_public, ssh_internal::KeyDeleter()));
    options.greeting = "key login ok";
    TestSshServer server(options);

    SshKey key;
    key.Load(g.path, pass_phrase ? std::optional<std::string>(*pass_phrase) : std::nullopt);
    ClientUnderTest c(server.port());
    c.settings.password = pass_phrase.value_or("");
    c.settings.authentication = SshAuthentication::kPrivateKey;
    c.settings.private_key = key.PrivateKey(SshKeyType::kRsa);
    c.Connect();
    ASSERT_TRUE(c.recorder.RunUntilDisconnected(kLimit));
    ExpectNormalSession(c.recorder);
    EXPECT_EQ(c.recorder.data, "key login ok");
  }

  TempDir dir_;
};

TEST_F(SshClientKeyTest, Ed25519Key) {
  LoginWith(GenerateKeyFile(dir_, "ed", SSH_KEYTYPE_ED25519, 0, std::nullopt), std::nullopt);
}

TEST_F(SshClientKeyTest, RsaKey) { LoginWith(GenerateKeyFile(dir_, "rsa", SSH_KEYTYPE_RSA, 2048, std::nullopt), std::nullopt); }

TEST_F(SshClientKeyTest, RsaKeyWithPassPhrase) {
  LoginWith(GenerateKeyFile(dir_, "rsa", SSH_KEYTYPE_RSA, 2048, std::string("key pass")), std::string("key pass"));
}

TEST_F(SshClientKeyTest, RsaKeyWithSha1SignaturesOnALegacyServer) {
  LoginWith(GenerateKeyFile(dir_, "rsa", SSH_KEYTYPE_RSA, 2048, std::nullopt), std::nullopt, true);
}

TEST_F(SshClientKeyTest, AKeyTheServerDoesNotKnowIsRefused) {
  GeneratedKey known = GenerateKeyFile(dir_, "known", SSH_KEYTYPE_ED25519, 0, std::nullopt);
  GeneratedKey other = GenerateKeyFile(dir_, "other", SSH_KEYTYPE_ED25519, 0, std::nullopt);
  ssh_key raw_public = nullptr;
  ASSERT_EQ(ssh_pki_export_privkey_to_pubkey(known.key.get(), &raw_public), SSH_OK);
  TestServerOptions options;
  options.allow_public_key = true;
  options.authorized_keys.push_back(ssh_internal::SharedKey(raw_public, ssh_internal::KeyDeleter()));
  TestSshServer server(options);
  SshKey key;
  key.Load(other.path, std::nullopt);
  ClientUnderTest c(server.port());
  c.settings.authentication = SshAuthentication::kPrivateKey;
  c.settings.private_key = key.PrivateKey(SshKeyType::kRsa);
  c.Connect();
  ASSERT_TRUE(c.recorder.RunUntilDisconnected(kLimit));
  // The password is not tried: with key login it is the key's pass phrase.
  ExpectFailedAttempt(c.recorder, SshError::kAuthentication,
                      "SSH connection to " + Where(server.port()) + " failed: authentication failed for user admin");
}

TEST(SshClientTest, ARefusedPortIsReported) {
  // A port that was free a moment ago: bound, then closed.
  int port;
  {
    ssh_internal::UniqueFd s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(s.get(), reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    socklen_t len = sizeof a;
    ::getsockname(s.get(), reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
  }
  ClientUnderTest c(port);
  c.Connect();
  ASSERT_TRUE(c.recorder.RunUntilDisconnected(kLimit));
  ExpectFailedAttempt(c.recorder, SshError::kConnectionRefused,
                      "SSH connection to " + Where(port) + " failed: connection refused");
  EXPECT_EQ(c.recorder.states, (std::vector<SshState>{SshState::kConnecting, SshState::kDisconnected}));
}

TEST(SshClientTest, APeerThatNeverSpeaksTimesOut) {
  ssh_internal::UniqueFd s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(s.get(), reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(::listen(s.get(), 4), 0);  // the kernel accepts; nobody ever speaks
  socklen_t len = sizeof a;
  ::getsockname(s.get(), reinterpret_cast<sockaddr*>(&a), &len);
  int port = ntohs(a.sin_port);

  ClientUnderTest c(port, 1);
  auto start = Clock::now();
  c.Connect();
  ASSERT_TRUE(c.recorder.RunUntilDisconnected(kLimit));
  auto took = Clock::now() - start;
  ExpectFailedAttempt(c.recorder, SshError::kTimedOut,
                      "SSH connection to " + Where(port) + " failed: timed out after 1 s while negotiating");
  EXPECT_GE(took, milliseconds(950));
  EXPECT_LT(took, milliseconds(3000));
}

TEST(SshClientTest, AHostNameThatDoesNotExistIsReported) {
  const char* name = "no-such-host.invalid";  // RFC 2606: never resolves
  addrinfo* result = nullptr;
  int error = getaddrinfo(name, "22", nullptr, &result);
  if (result != nullptr) freeaddrinfo(result);
  if (error != EAI_NONAME) GTEST_SKIP() << "the name service here does not answer NXDOMAIN";

  ClientUnderTest c(22);
  c.settings.host = name;
  c.Connect();
  ASSERT_TRUE(c.recorder.RunUntilDisconnected(kLimit));
  ExpectFailedAttempt(c.recorder, SshError::kHostNotFound,
                      "SSH connection to no-such-host.invalid:22 failed: host name not found");
}

TEST(SshClientTest, Ssh1IsNotSupported) {
  TestSshServer server(TestServerOptions{});
  ClientUnderTest c(server.port());
  c.settings.protocol = SshProtocol::kSsh1;
  c.Connect();
  ASSERT_TRUE(c.recorder.RunUntilDisconnected(kLimit));
  ExpectFailedAttempt(c.recorder, SshError::kProtocolNotSupported,
                      "SSH connection to " + Where(server.port()) + " failed: SSH1 is not supported, only SSH2");
  EXPECT_EQ(server.Connections(), 0);
}

TEST(SshClientTest, Ssh2IsSsh2) {
  TestServerOptions options;
  options.greeting = "ssh2";
  TestSshServer server(options);
  ClientUnderTest c(server.port());
  c.settings.protocol = SshProtocol::kSsh2;
  c.Connect();
  ASSERT_TRUE(c.recorder.RunUntilDisconnected(kLimit));
  ExpectNormalSession(c.recorder);
}

TEST(SshClientTest, ASilentSessionEndsAtTheTimeOut) {
  TestServerOptions options;
  options.greeting = "prompt>";
  options.after_greeting = AfterGreeting::kStayOpen;
  TestSshServer server(options);
  ClientUnderTest c(server.port(), 1);
  c.Connect();
  ASSERT_TRUE(c.recorder.RunUntilDisconnected(kLimit));
  ExpectNormalSession(c.recorder);
  EXPECT_EQ(c.recorder.data, "prompt>");
  EXPECT_EQ(c.client.LastError(),
            "SSH session with " + Where(server.port()) + " ended: timed out after 1 s with no data");
}

TEST(SshClientTest, AConnectionDroppedMidSessionEndsItWithAReason) {
  TestServerOptions options;
  options.greeting = RandomBytes(20000, 3);
  options.after_greeting = AfterGreeting::kDropConnection;
  TestSshServer server(options);
  ClientUnderTest c(server.port());
  c.Connect();
  ASSERT_TRUE(c.recorder.RunUntilDisconnected(kLimit));
  ExpectNormalSession(c.recorder);
  EXPECT_TRUE(c.recorder.data == options.greeting);
  std::string error = c.client.LastError();
  std::string expected = "SSH session with " + Where(server.port()) + " ended: connection lost";
  EXPECT_EQ(error.substr(0, expected.size()), expected) << error;
}

TEST(SshClientTest, AWaitingSessionUsesNoCpu) {
  TestServerOptions options;
  options.greeting = "prompt>";
  options.after_greeting = AfterGreeting::kStayOpen;
  TestSshServer server(options);
  ClientUnderTest c(server.port(), 30);
  c.recorder.after_event = [](const std::string&) {};
  c.Connect();
  // Wait for the prompt, then measure three silent seconds.
  auto limit = Clock::now() + kLimit;
  while (c.recorder.data.empty() && Clock::now() < limit) c.recorder.RunFor(milliseconds(50));
  ASSERT_EQ(c.recorder.data, "prompt>");
  double before = ProcessCpuSeconds();
  c.recorder.RunFor(milliseconds(3000));
  double used = ProcessCpuSeconds() - before;
  EXPECT_LT(used, 0.1) << "client and server threads together";
  EXPECT_EQ(c.recorder.disconnected_count, 0);
  EXPECT_EQ(c.client.State(), SshState::kConnected);
}

TEST(SshClientTest, ReleasingTheClientMidSessionClosesItWithoutEvents) {
  TestServerOptions options;
  options.greeting = "prompt>";
  options.after_greeting = AfterGreeting::kStayOpen;
  TestSshServer server(options);
  auto recorder = std::make_unique<SshEventRecorder>();
  auto client = std::make_unique<SshClient>(recorder->Handler());
  recorder->client = client.get();
  SshSettings settings;
  settings.host = "127.0.0.1";
  settings.port = server.port();
  settings.login = "admin";
  settings.password = "s3cret-Pa55";
  settings.timeout_seconds = 30;
  client->Connect(settings);
  auto limit = Clock::now() + kLimit;
  while (recorder->data.empty() && Clock::now() < limit) recorder->RunFor(milliseconds(50));
  ASSERT_EQ(recorder->data, "prompt>");
  size_t events = recorder->events.size();
  auto start = Clock::now();
  client.reset();
  EXPECT_LT(Clock::now() - start, milliseconds(500));
  recorder->RunFor(milliseconds(200));
  EXPECT_EQ(recorder->events.size(), events);
  EXPECT_EQ(recorder->disconnected_count, 0);
}

TEST(SshClientTest, ReleasingTheClientDuringTheAttemptReturnsAtOnce) {
  ssh_internal::UniqueFd s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(s.get(), reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(::listen(s.get(), 4), 0);
  socklen_t len = sizeof a;
  ::getsockname(s.get(), reinterpret_cast<sockaddr*>(&a), &len);
  SshEventRecorder recorder;
  auto client = std::make_unique<SshClient>(recorder.Handler());
  recorder.client = client.get();
  SshSettings settings;
  settings.host = "127.0.0.1";
  settings.port = ntohs(a.sin_port);
  settings.login = "admin";
  settings.timeout_seconds = 30;
  client->Connect(settings);
  recorder.RunFor(milliseconds(200));
  auto start = Clock::now();
  client.reset();
  EXPECT_LT(Clock::now() - start, milliseconds(500));
  recorder.RunFor(milliseconds(100));
  EXPECT_EQ(recorder.disconnected_count, 0);
  EXPECT_EQ(recorder.connected_count, 0);
  EXPECT_EQ(recorder.failed_count, 0);
}

TEST(SshClientTest, HandlersAreNeverReenteredEvenByANestedMessageLoop) {
  TestServerOptions options;
  options.greeting = RandomBytes(200000, 5);
  options.chunk = 1000;
  TestSshServer server(options);
  ClientUnderTest c(server.port());
  // Each Received handler runs a nested message loop, as a handler that
  // shows a dialog would; the recorder notes any event arriving inside it.
  c.recorder.take = [&](size_t announced) {
    CurrentThreadQueue().WaitForMessage(milliseconds(2));
    CurrentThreadQueue().ProcessPendingMessages();
    return announced;
  };
  c.Connect();
  ASSERT_TRUE(c.recorder.RunUntilDisconnected(kLimit));
  ExpectNormalSession(c.recorder);
  EXPECT_FALSE(c.recorder.reentered);
  EXPECT_TRUE(c.recorder.data == options.greeting);
}

TEST(SshClientTest, AnErrorInAHandlerGoesToTheDebugOutputAndTheSessionGoesOn) {
  std::vector<std::string> lines;
  AttachDebugListener([&](std::string_view line) { lines.emplace_back(line); });
  TestServerOptions options;
  options.greeting = RandomBytes(100000, 13);
  options.chunk = 10000;
  TestSshServer server(options);
  ClientUnderTest c(server.port());
  int calls = 0;
  c.recorder.take = [&](size_t announced) -> size_t {
    c.recorder.data += c.client.Receive(announced);
    if (++calls == 1) throw AutomationError(Status::kFail, "handler trouble");
    return 0;
  };
  c.Connect();
  bool ended = c.recorder.RunUntilDisconnected(kLimit);
  AttachDebugListener(nullptr);
  ASSERT_TRUE(ended);
  EXPECT_EQ(c.recorder.disconnected_count, 1);
  EXPECT_TRUE(c.recorder.data == options.greeting);
  // Among the session's own records (ssh/debug_log.h), once.
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "SSH event handler failed: handler trouble"), 1) << lines.size();
  // The worker records the end as it happens, so it may come before the
  // handler's line, which the thread that runs the handlers writes.
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "disconnected"), 1);
}

TEST(SshClientTest, DataNotTakenWaitsForTheNextAnnouncement) {
  TestServerOptions options;
  options.greeting = RandomBytes(100000, 9);
  options.chunk = 4000;
  TestSshServer server(options);
  ClientUnderTest c(server.port());
  c.recorder.take = [](size_t announced) { return std::min<size_t>(announced, 100); };
  std::string rest;
  c.recorder.after_event = [&](const std::string& event) {
    if (event == "Disconnected") rest = c.client.Receive(32767);
  };
  c.Connect();
  ASSERT_TRUE(c.recorder.RunUntilDisconnected(kLimit));
  ExpectNormalSession(c.recorder);
  // Nothing is lost or reordered: what was declined is still there, oldest
  // first, and the end of the session leaves it to be taken.
  std::string all = c.recorder.data;
  while (!rest.empty()) {
    all += rest;
    rest = c.client.Receive(32767);
  }
  EXPECT_TRUE(all == options.greeting) << all.size() << " of " << options.greeting.size();
}

TEST(SshClientTest, ReceiveHandsOutNoMoreThanAsked) {
  TestServerOptions options;
  options.greeting = "0123456789";
  TestSshServer server(options);
  ClientUnderTest c(server.port());
  std::vector<std::string> pieces;
  c.recorder.take = [&](size_t) {
    pieces.push_back(c.client.Receive(3));
    return size_t{0};
  };
  c.Connect();
  ASSERT_TRUE(c.recorder.RunUntilDisconnected(kLimit));
  ASSERT_FALSE(pieces.empty());
  EXPECT_EQ(pieces[0], "012");
  std::string rest = c.client.Receive(100);
  std::string all;
  for (auto& p : pieces) all += p;
  EXPECT_EQ(all + rest, "0123456789");
  EXPECT_EQ(c.client.Receive(100), "") << "nothing is waiting";
}

TEST(SshClientTest, TheDebugFileHoldsTheProtocolLogButNoSecrets) {
  TempDir dir;
  std::string log = dir.Path("ssh-debug.log");
  TestServerOptions options;
  options.greeting = "Password: ";
  options.after_greeting = AfterGreeting::kStayOpen;
  options.quit_command = "\r";
  TestSshServer server(options);
  ClientUnderTest c(server.port());
  c.settings.debug_file = log;
  c.recorder.after_event = [&](const std::string& event) {
    if (event == "Received") c.client.Send("enable-secret\r");
  };
  c.Connect();
  ASSERT_TRUE(c.recorder.RunUntilDisconnected(kLimit));
  ExpectNormalSession(c.recorder);
  std::ifstream in(log);
  std::stringstream content;
  content << in.rdbuf();
  std::string text = content.str();
  EXPECT_NE(text.find("connecting to " + Where(server.port()) + " as admin"), std::string::npos) << text;
  EXPECT_NE(text.find("libssh "), std::string::npos) << "the SSH library's own log";
  EXPECT_NE(text.find("host key fingerprint SHA256:"), std::string::npos);
  EXPECT_NE(text.find("sent 14 bytes"), std::string::npos);
  EXPECT_EQ(text.find("s3cret-Pa55"), std::string::npos);
  EXPECT_EQ(text.find("enable-secret"), std::string::npos);
}

TEST(SshClientTest, TheOverallLimitIsTwentyTimeOutsButAtLeastTenMinutes) {
  EXPECT_EQ(ssh_internal::SessionTimeLimit(5), seconds(600));
  EXPECT_EQ(ssh_internal::SessionTimeLimit(30), seconds(600));
  EXPECT_EQ(ssh_internal::SessionTimeLimit(31), seconds(620));
  EXPECT_EQ(ssh_internal::SessionTimeLimit(32767), seconds(655340));
}

TEST(SshClientTest, ConnectRefusesToStartWithoutTheEssentials) {
  SshEventRecorder recorder;
  auto expect_error = [&recorder](SshSettings settings, const std::string& text, Status status = Status::kFail) {
    SshClient client(recorder.Handler());
    try {
      client.Connect(std::move(settings));
      ADD_FAILURE() << "no error; expected " << text;
    } catch (const AutomationError& e) {
      EXPECT_EQ(e.description(), text);
      EXPECT_EQ(e.status(), status) << text;
    }
    try {
      client.Send("x");
      ADD_FAILURE() << "sending without a session must raise";
    } catch (const AutomationError& e) {
      EXPECT_EQ(e.description(), "cannot send: the SSH client is not connected");
    }
  };
  SshSettings settings;
  settings.login = "admin";
  expect_error(settings, "cannot connect: no host name is set");
  settings.host = "   ";
  expect_error(settings, "cannot connect: no host name is set");
  settings.host = " sw1 ";
  settings.login.clear();
  expect_error(settings, "cannot connect to sw1: no login name is set");
  settings.login = "admin";
  for (int port : {0, -1, 65536}) {
    settings.port = port;
    expect_error(settings, "cannot connect to sw1: port " + std::to_string(port) + " is outside 1 to 65535");
  }
  settings.port = 22;
  settings.authentication = SshAuthentication::kPrivateKey;
  expect_error(settings, "cannot connect to sw1: key login is set but no private key");
  settings.private_key = "no key";
  expect_error(settings, "the private key text is not an unencrypted private key", Status::kInvalidArgument);
  settings.private_key.clear();
  settings.key = std::make_shared<SshKey>();  // nothing loaded into it
  expect_error(settings, "the key object holds no loaded key", Status::kInvalidArgument);
  settings.key.reset();
  for (int columns : {0, 10001}) {
    settings.terminal_columns = columns;
    expect_error(settings, "terminal width " + std::to_string(columns) + " is outside 1 to 10000",
                 Status::kInvalidArgument);
  }
  CurrentThreadQueue().ProcessPendingMessages();
  EXPECT_TRUE(recorder.events.empty());
}

TEST(SshClientTest, ASecondConnectOnTheSameClientIsRefused) {
  TestServerOptions options;
  options.greeting = "x";
  TestSshServer server(options);
  ClientUnderTest c(server.port());
  c.Connect();
  try {
    c.Connect();
    ADD_FAILURE() << "a second Connect must raise";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.description(), "this SSH client has already been connected; use a new one");
  }
  ASSERT_TRUE(c.recorder.RunUntilDisconnected(kLimit));
  ExpectNormalSession(c.recorder);
}

// The session stops reading while the owner is behind, and gives up when
// the owner takes nothing for the time-out.
TEST(SshClientTest, DataNobodyTakesIsBounded) {
  TestServerOptions options;
  options.greeting = RandomBytes(1 << 20, 11);
  options.greeting_repeat = 64;
  options.after_greeting = AfterGreeting::kStayOpen;
  TestSshServer server(options);
  ClientUnderTest c(server.port(), 2);
  c.recorder.take = [](size_t) { return size_t{0}; };
  c.Connect();
  ASSERT_TRUE(c.recorder.RunUntilDisconnected(milliseconds(60000)));
  EXPECT_EQ(c.recorder.disconnected_count, 1);
  EXPECT_EQ(c.client.LastError(),
            "SSH session with " + Where(server.port()) + " ended: received data were not taken for 2 s");
}

// Against the switch emulator: an Aruba switch that offers only old
// algorithms and keyboard-interactive login, with its VT100 banner.
TEST(SshClientEmulatorTest, ReachesAnOldArubaSwitchAndStripsItsScreenControl) {
  TempDir dir;
  testing::SwitchSimProcess sim({"--device", "aruba", "--user", "admin", "--password-file",
                                 dir.Write("pw", "s3cret-Pa55\n"), "--legacy-algorithms",
                                 "--keyboard-interactive-only"});
  ClientUnderTest c(sim.port());
  c.settings.strip_control_sequences = true;
  bool logged_out = false;
  c.recorder.after_event = [&](const std::string& event) {
    // Any key past the banner, then the logout the check types.
    if (event == "Received" && !logged_out) {
      logged_out = true;
      c.client.Send("\r");
      c.client.Send("exit\rexit\ry\r");
    }
  };
  c.Connect();
  ASSERT_TRUE(c.recorder.RunUntilDisconnected(kLimit));
  ExpectNormalSession(c.recorder);
  EXPECT_EQ(c.client.LastError(), "");
  EXPECT_EQ(c.recorder.negotiated.key_exchange, "diffie-hellman-group14-sha1");
  EXPECT_EQ(c.recorder.negotiated.host_key_type, "ssh-rsa");
  EXPECT_EQ(c.recorder.negotiated.server_to_client, "aes256-cbc/hmac-sha1");
  EXPECT_NE(c.recorder.data.find("Press any key to continue"), std::string::npos) << c.recorder.data;
  EXPECT_EQ(c.recorder.data.find('\x1b'), std::string::npos) << "no control sequence survives";
}

TEST(SshClientEmulatorTest, ASwitchThatFallsSilentAfterLoginEndsAtTheTimeOut) {
  TempDir dir;
  testing::SwitchSimProcess sim({"--device", "cisco", "--user", "admin", "--password-file",
                                 dir.Write("pw", "s3cret-Pa55\n"), "--fault", "silent-after-login"});
  ClientUnderTest c(sim.port(), 1);
  c.Connect();
  ASSERT_TRUE(c.recorder.RunUntilDisconnected(kLimit));
  ExpectNormalSession(c.recorder);
  EXPECT_EQ(c.client.LastError(),
            "SSH session with " + Where(sim.port()) + " ended: timed out after 1 s with no data");
}

}  // namespace
}  // namespace comvorlix
