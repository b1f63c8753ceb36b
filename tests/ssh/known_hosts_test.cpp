// Known hosts lines as OpenSSH writes them by hand or by tool: what the
// check reads for one host, and the host key types it asks for first.
#include "ssh/known_hosts.h"

#include <gtest/gtest.h>

#include <string>

#include "common/switchsim_process.h"
#include "common/temp_dir.h"
#include "ssh/session_worker.h"

namespace comvorlix::ssh_internal {
namespace {

using testing::ReadWholeFile;
using testing::SwitchSimProcess;
using testing::TempDir;

// "TYPE BASE64" of a fixed test key.
std::string PublicKey(const std::string& type) {
  const std::string line = ReadWholeFile(SwitchSimProcess::FixedHostKey(type) + ".pub");
  return line.substr(0, line.find(' ', line.find(' ') + 1));
}

TEST(KnownHostsFile, LinesAreReadForTheirHostAndPortWithTheirMarkers) {
  TempDir dir;
  std::string rsa_tab = PublicKey("rsa");
  rsa_tab[rsa_tab.find(' ')] = '\t';
  KnownHostsSettings settings;
  settings.user_file = dir.Write("known_hosts", "# sw1 " + PublicKey("ed25519") + "\n\n" +
                                                    "  sw1\t" + rsa_tab + " a comment\r\n" +
                                                    "[sw1]:2222 " + PublicKey("ed25519") + "\n" +
                                                    "@revoked sw1,sw3 " + PublicKey("ed25519") + "\n" +
                                                    "@cert-authority sw1 " + PublicKey("ed25519") + "\n" +
                                                    "@marked sw1 " + PublicKey("ed25519") + "\n" +
                                                    "sw1 ssh-ed25519 not-base64\n" +
                                                    "sw2 " + PublicKey("ed25519"));
  settings.system_file = dir.Path("missing");

  const KnownHostKeys on22 = ReadKnownHosts(settings, "SW1", 22, "SW1:22");
  ASSERT_FALSE(on22.failed()) << on22.failure.text;
  EXPECT_EQ(on22.host_port, "sw1");
  ASSERT_EQ(on22.entries.size(), 2u);
  EXPECT_EQ(ssh_key_type(on22.entries[0].key.get()), SSH_KEYTYPE_RSA);
  EXPECT_FALSE(on22.entries[0].revoked);
  EXPECT_EQ(ssh_key_type(on22.entries[1].key.get()), SSH_KEYTYPE_ED25519);
  EXPECT_TRUE(on22.entries[1].revoked);
  // Only the RSA key is trusted: its algorithms come first, in their order.
  EXPECT_EQ(PreferKnownHostKeyTypes(on22, kHostKeyAlgorithms),
            "rsa-sha2-512,rsa-sha2-256,ssh-rsa,ssh-ed25519,ecdsa-sha2-nistp521,ecdsa-sha2-nistp384,"
            "ecdsa-sha2-nistp256,ssh-dss");

  const KnownHostKeys on2222 = ReadKnownHosts(settings, "sw1", 2222, "sw1:2222");
  ASSERT_EQ(on2222.entries.size(), 1u);
  EXPECT_EQ(ssh_key_type(on2222.entries[0].key.get()), SSH_KEYTYPE_ED25519);
  EXPECT_FALSE(on2222.entries[0].revoked);

  EXPECT_TRUE(ReadKnownHosts(settings, "sw4", 22, "sw4:22").entries.empty());
  EXPECT_EQ(PreferKnownHostKeyTypes(ReadKnownHosts(settings, "sw4", 22, "sw4:22"), kHostKeyAlgorithms),
            kHostKeyAlgorithms);
}

}  // namespace
}  // namespace comvorlix::ssh_internal
