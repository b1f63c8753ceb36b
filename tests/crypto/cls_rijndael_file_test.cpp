// The file envelope of clsRijndael: what is written, when nothing is, and
// round trips of file contents.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "common/temp_dir.h"
#include "crypto/cls_rijndael.h"
#include "platform/text.h"

namespace comvorlix {
namespace {

namespace fs = std::filesystem;

class FileEnvelope : public ::testing::Test {
 protected:
  std::string PathOf(const std::string& name) const { return dir_.Path(name); }

  static void Write(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
  }
  static std::string Read(const std::string& path) { return testing::ReadWholeFile(path); }
  std::vector<std::string> Names() const { return dir_.Names(); }

  testing::TempDir dir_;
  clsRijndael cipher_;
};

TEST_F(FileEnvelope, RoundTripReproducesTheInputByteForByte) {
  std::string every_byte;
  for (int i = 0; i < 256; ++i) every_byte += static_cast<char>(i);
  for (const std::string& input : {std::string("x"), std::string("Hello\r\n"), std::string(1, '\0'),
                                   every_byte, std::string(100000, '\x81')}) {
    Write(PathOf("in"), input);
    ASSERT_TRUE(cipher_.EncryptFile(PathOf("in"), PathOf("enc"), true, T("file key")));
    const size_t n = input.size();
    EXPECT_EQ(fs::file_size(PathOf("enc")), 32 * ((2 * n + 4 + 31) / 32)) << n;
    ASSERT_TRUE(cipher_.DecryptFile(PathOf("enc"), PathOf("out"), true, T("file key")));
    EXPECT_EQ(Read(PathOf("out")), input) << n;
  }
}

TEST_F(FileEnvelope, EncryptedFileHoldsTheRawCipherTextOfItsBytes) {
  // The file's bytes become ANSI characters, encrypted like a text.
  Write(PathOf("in"), "P\xE4sswort \x80");
  ASSERT_TRUE(cipher_.EncryptFile(PathOf("in"), PathOf("enc"), false, T("k")));
  EXPECT_EQ(FromAnsi(Read(PathOf("enc"))), cipher_.EncryptString(T("Pässwort €"), T("k"), false));
}

TEST_F(FileEnvelope, MissingInputWritesNothing) {
  EXPECT_FALSE(cipher_.EncryptFile(PathOf("missing"), PathOf("out"), true, T("k")));
  EXPECT_FALSE(cipher_.DecryptFile(PathOf("missing"), PathOf("out"), true, T("k")));
  EXPECT_TRUE(Names().empty());
}

TEST_F(FileEnvelope, ExistingOutputIsKeptWithoutOverwrite) {
  Write(PathOf("in"), "data");
  Write(PathOf("out"), "old");
  EXPECT_FALSE(cipher_.EncryptFile(PathOf("in"), PathOf("out"), false, T("k")));
  EXPECT_FALSE(cipher_.DecryptFile(PathOf("in"), PathOf("out"), false, T("k")));
  EXPECT_EQ(Read(PathOf("out")), "old");
  EXPECT_TRUE(cipher_.EncryptFile(PathOf("in"), PathOf("out"), true, T("k")));
  EXPECT_EQ(Read(PathOf("out")).size(), 32u);
}

TEST_F(FileEnvelope, EmptyInputCannotBeEncryptedAndLeavesTheOutput) {
  Write(PathOf("in"), "");
  Write(PathOf("out"), "old");
  EXPECT_FALSE(cipher_.EncryptFile(PathOf("in"), PathOf("out"), true, T("k")));
  EXPECT_EQ(Read(PathOf("out")), "old");
  EXPECT_EQ(Names(), (std::vector<std::string>{"in", "out"})) << "no temporary file left";
}

TEST_F(FileEnvelope, DecryptingAnEmptyInputWritesTheFailureText) {
  Write(PathOf("in"), "");
  EXPECT_TRUE(cipher_.DecryptFile(PathOf("in"), PathOf("out"), false, T("k")));
  EXPECT_EQ(Read(PathOf("out")), "ERROR RIJNDAEL DECRYPTING STRING");
}

TEST_F(FileEnvelope, DecryptingPartialBlocksWritesTheFailureText) {
  Write(PathOf("in"), std::string(33, 'x'));
  EXPECT_TRUE(cipher_.DecryptFile(PathOf("in"), PathOf("out"), false, T("k")));
  EXPECT_EQ(Read(PathOf("out")), "ERROR RIJNDAEL DECRYPTING STRING");
}

TEST_F(FileEnvelope, OutputInAMissingFolderFails) {
  Write(PathOf("in"), "data");
  EXPECT_FALSE(cipher_.EncryptFile(PathOf("in"), PathOf("no/such/out"), true, T("k")));
  EXPECT_FALSE(cipher_.DecryptFile(PathOf("in"), PathOf("no/such/out"), true, T("k")));
}

TEST_F(FileEnvelope, InputThatIsAFolderCountsAsMissing) {
  fs::create_directory(PathOf("folder"));
  EXPECT_FALSE(cipher_.EncryptFile(PathOf("folder"), PathOf("out"), true, T("k")));
  EXPECT_FALSE(fs::exists(PathOf("out")));
}

TEST_F(FileEnvelope, NewOutputIsPrivateAndReplacedOutputKeepsItsMode) {
  Write(PathOf("in"), "data");
  ASSERT_TRUE(cipher_.EncryptFile(PathOf("in"), PathOf("new"), false, T("k")));
  EXPECT_EQ(fs::status(PathOf("new")).permissions(), fs::perms::owner_read | fs::perms::owner_write);

  Write(PathOf("old"), "old");
  ASSERT_EQ(chmod(PathOf("old").c_str(), 0640), 0);
  ASSERT_TRUE(cipher_.EncryptFile(PathOf("in"), PathOf("old"), true, T("k")));
  struct stat st{};
  ASSERT_EQ(stat(PathOf("old").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(FileEnvelope, WrongKeyWritesTheFailureText) {
  Write(PathOf("in"), "some file content");
  ASSERT_TRUE(cipher_.EncryptFile(PathOf("in"), PathOf("enc"), false, T("right key")));
  ASSERT_TRUE(cipher_.DecryptFile(PathOf("enc"), PathOf("out"), false, T("wrong key")));
  EXPECT_EQ(Read(PathOf("out")), "ERROR RIJNDAEL DECRYPTING STRING");
}

}  // namespace
}  // namespace comvorlix
