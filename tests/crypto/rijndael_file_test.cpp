// The file envelope of Rijndael: what is written, when nothing is, and
// round trips of file contents.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "common/temp_dir.h"
#include "crypto/rijndael.h"
#include "automation/text.h"

namespace comvorlix {
namespace {

namespace fs = std::filesystem;
using testing::ReadWholeFile;
using testing::WriteWholeFile;

class FileEnvelope : public ::testing::Test {
 protected:
  testing::TempDir dir_;
  Rijndael cipher_;
};

TEST_F(FileEnvelope, RoundTripReproducesTheInputByteForByte) {
  std::string every_byte;
  for (int i = 0; i < 256; ++i) every_byte += static_cast<char>(i);
  for (const std::string& input : {std::string("x"), std::string("Hello\r\n"), std::string(1, '\0'),
                                   every_byte, std::string(100000, '\x81')}) {
    WriteWholeFile(dir_.Path("in"), input);
    ASSERT_TRUE(cipher_.EncryptFile(dir_.Path("in"), dir_.Path("enc"), true, T("file key")));
    const size_t n = input.size();
    EXPECT_EQ(fs::file_size(dir_.Path("enc")), 32 * ((2 * n + 4 + 31) / 32)) << n;
    ASSERT_TRUE(cipher_.DecryptFile(dir_.Path("enc"), dir_.Path("out"), true, T("file key")));
    EXPECT_EQ(ReadWholeFile(dir_.Path("out")), input) << n;
  }
}

TEST_F(FileEnvelope, EncryptedFileHoldsTheRawCipherTextOfItsBytes) {
  // The file's bytes become ANSI characters, encrypted like a text.
  WriteWholeFile(dir_.Path("in"), "P\xE4sswort \x80");
  ASSERT_TRUE(cipher_.EncryptFile(dir_.Path("in"), dir_.Path("enc"), false, T("k")));
  EXPECT_EQ(FromAnsi(ReadWholeFile(dir_.Path("enc"))), cipher_.EncryptString(T("Pässwort €"), T("k"), false));
}

TEST_F(FileEnvelope, MissingInputWritesNothing) {
  EXPECT_FALSE(cipher_.EncryptFile(dir_.Path("missing"), dir_.Path("out"), true, T("k")));
  EXPECT_FALSE(cipher_.DecryptFile(dir_.Path("missing"), dir_.Path("out"), true, T("k")));
  EXPECT_TRUE(dir_.Names().empty());
}

TEST_F(FileEnvelope, ExistingOutputIsKeptWithoutOverwrite) {
  WriteWholeFile(dir_.Path("in"), "data");
  WriteWholeFile(dir_.Path("out"), "old");
  EXPECT_FALSE(cipher_.EncryptFile(dir_.Path("in"), dir_.Path("out"), false, T("k")));
  EXPECT_FALSE(cipher_.DecryptFile(dir_.Path("in"), dir_.Path("out"), false, T("k")));
  EXPECT_EQ(ReadWholeFile(dir_.Path("out")), "old");
  EXPECT_TRUE(cipher_.EncryptFile(dir_.Path("in"), dir_.Path("out"), true, T("k")));
  EXPECT_EQ(ReadWholeFile(dir_.Path("out")).size(), 32u);
}

TEST_F(FileEnvelope, EmptyInputCannotBeEncryptedAndLeavesTheOutput) {
  WriteWholeFile(dir_.Path("in"), "");
  WriteWholeFile(dir_.Path("out"), "old");
  EXPECT_FALSE(cipher_.EncryptFile(dir_.Path("in"), dir_.Path("out"), true, T("k")));
  EXPECT_EQ(ReadWholeFile(dir_.Path("out")), "old");
  EXPECT_EQ(dir_.Names(), (std::vector<std::string>{"in", "out"})) << "no temporary file left";
}

TEST_F(FileEnvelope, OutputInAMissingFolderFails) {
  WriteWholeFile(dir_.Path("in"), "data");
  EXPECT_FALSE(cipher_.EncryptFile(dir_.Path("in"), dir_.Path("no/such/out"), true, T("k")));
  EXPECT_FALSE(cipher_.DecryptFile(dir_.Path("in"), dir_.Path("no/such/out"), true, T("k")));
}

TEST_F(FileEnvelope, InputThatIsAFolderCountsAsMissing) {
  fs::create_directory(dir_.Path("folder"));
  EXPECT_FALSE(cipher_.EncryptFile(dir_.Path("folder"), dir_.Path("out"), true, T("k")));
  EXPECT_FALSE(fs::exists(dir_.Path("out")));
}

TEST_F(FileEnvelope, NewOutputIsPrivateAndReplacedOutputKeepsItsMode) {
  WriteWholeFile(dir_.Path("in"), "data");
  ASSERT_TRUE(cipher_.EncryptFile(dir_.Path("in"), dir_.Path("new"), false, T("k")));
  EXPECT_EQ(fs::status(dir_.Path("new")).permissions(), fs::perms::owner_read | fs::perms::owner_write);

  WriteWholeFile(dir_.Path("old"), "old");
  ASSERT_EQ(chmod(dir_.Path("old").c_str(), 0640), 0);
  ASSERT_TRUE(cipher_.EncryptFile(dir_.Path("in"), dir_.Path("old"), true, T("k")));
  struct stat st{};
  ASSERT_EQ(stat(dir_.Path("old").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(FileEnvelope, UndecryptableInputFailsAndLeavesTheOutputAsItWas) {
  WriteWholeFile(dir_.Path("secret"), "some file content");
  ASSERT_TRUE(cipher_.EncryptFile(dir_.Path("secret"), dir_.Path("enc"), false, T("right key")));
  WriteWholeFile(dir_.Path("empty"), "");
  WriteWholeFile(dir_.Path("partial"), std::string(33, 'x'));
  for (const char* in : {"empty", "partial", "enc"}) {
    SCOPED_TRACE(in);
    const char* key = "wrong key";
    EXPECT_FALSE(cipher_.DecryptFile(dir_.Path(in), dir_.Path("new"), false, T(key)));
    EXPECT_FALSE(fs::exists(dir_.Path("new")));
    WriteWholeFile(dir_.Path("old"), "old");
    EXPECT_FALSE(cipher_.DecryptFile(dir_.Path(in), dir_.Path("old"), true, T(key)));
    EXPECT_EQ(ReadWholeFile(dir_.Path("old")), "old");
  }
  EXPECT_EQ(dir_.Names(), (std::vector<std::string>{"empty", "enc", "old", "partial", "secret"}));
  // The right key still decrypts the same file.
  ASSERT_TRUE(cipher_.DecryptFile(dir_.Path("enc"), dir_.Path("old"), true, T("right key")));
  EXPECT_EQ(ReadWholeFile(dir_.Path("old")), "some file content");
}

}  // namespace
}  // namespace comvorlix
