#include "params/parameter_string.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "automation/text.h"

namespace comvorlix {
namespace {

std::string Get(std::string_view p, std::string_view key) { return GetKeyValue(p, key); }

std::string Set(std::string_view p, std::string_view key, std::string_view value) {
  return SetKeyValue(p, key, value);
}

// The properties below draw their strings as UTF-16 texts.
Text GetKeyValue(const Text& p, const Text& key) { return FromUtf8(comvorlix::GetKeyValue(ToUtf8(p), ToUtf8(key))); }
Text SetKeyValue(const Text& p, const Text& key, const Text& value) {
  return FromUtf8(comvorlix::SetKeyValue(ToUtf8(p), ToUtf8(key), ToUtf8(value)));
}

// --- Reading -----------------------------------------------------------------

TEST(GetKeyValue, MatchesKeysWithoutRegardToCase) {
  EXPECT_EQ(Get("#usr=Admin#", "USR"), "Admin");
  EXPECT_EQ(Get("#USR=Admin#", "usr"), "Admin");
  EXPECT_EQ(Get("#uSr=Admin#", "UsR"), "Admin");
}

TEST(GetKeyValue, LastValueNeedsNoClosingHash) { EXPECT_EQ(Get("#USR=Admin", "USR"), "Admin"); }

TEST(GetKeyValue, KeyThatOnlyStartsTheSameIsNotTheKey) {
  EXPECT_EQ(Get("#USER=x#", "USR"), "");
  EXPECT_EQ(Get("#USR=x#", "US"), "");
  EXPECT_EQ(Get("#XUSR=x#", "USR"), "");
}

TEST(GetKeyValue, AbsentKeyAndEmptyStringGiveEmptyText) {
  EXPECT_EQ(Get("#USR=x#PWD=y#", "DEV"), "");
  EXPECT_EQ(Get("", "USR"), "");
  EXPECT_EQ(Get("", ""), "");
}

TEST(GetKeyValue, PresentButEmptyValue) {
  EXPECT_EQ(Get("#CFG=#DEV=CSCSW#", "CFG"), "");
  EXPECT_EQ(Get("#CFG=#DEV=CSCSW#", "DEV"), "CSCSW");
  EXPECT_EQ(Get("#CFG=", "CFG"), "");
}

TEST(GetKeyValue, ValueKeepsItsBlanksAndCase) {
  EXPECT_EQ(Get("#DBF=  /tmp/Debug Log.txt  #", "DBF"), "  /tmp/Debug Log.txt  ");
  EXPECT_EQ(Get("#USR=MiXeD#", "usr"), "MiXeD");
}

TEST(GetKeyValue, KeyIsTrimmedButNotItsInside) {
  EXPECT_EQ(Get("#USR=a#", "  usr  "), "a");
  EXPECT_EQ(Get("#U SR=a#", "u sr"), "a");
  EXPECT_EQ(Get("#USR=a#", "U SR"), "");
}

TEST(GetKeyValue, FirstEntryCounts) { EXPECT_EQ(Get("#USR=a#USR=b#", "USR"), "a"); }

TEST(GetKeyValue, HashEndsTheValue) {
  // A user name a#b stored as it is reads back as a.
  EXPECT_EQ(Get("#USR=a#b#", "USR"), "a");
  EXPECT_EQ(Get(Set("", "USR", "a#b"), "USR"), "a");
}

TEST(GetKeyValue, EqualsSignBelongsToTheValue) {
  EXPECT_EQ(Get("#CMD=a=b==#", "CMD"), "a=b==");
  EXPECT_EQ(Get("#CMD==#", "CMD"), "=");
}

TEST(GetKeyValue, TextBeforeTheFirstHashBelongsToNoEntry) {
  EXPECT_EQ(Get("USR=x#PWD=y#", "USR"), "");
  EXPECT_EQ(Get("USR=x#PWD=y#", "PWD"), "y");
}

TEST(GetKeyValue, KeyInsideAValueIsNotAnEntry) {
  // "USR=" inside the first value has no "#" before it.
  EXPECT_EQ(Get("#CMD=USR=x#USR=y#", "USR"), "y");
}

TEST(GetKeyValue, LatinOneLettersMatchAcrossCase) {
  EXPECT_EQ(Get("#\u00e9t\u00e9=\u00c9t\u00e9#", "\u00c9T\u00c9"), "\u00c9t\u00e9");
  EXPECT_EQ(Get("#\u00ff\u00f7=1#", "\u00ff\u00f7"), "1");
  EXPECT_EQ(Get("#\u00ff\u00f7=1#", "\u0178\u00d7"), "");
}

TEST(GetKeyValue, KeyHoldingHashHasNoValue) {
  // The entry's own "#" inside the key ends it before its value starts.
  EXPECT_EQ(Get("#A#B=1#", "A#B"), "");
}

TEST(GetKeyValue, EmptyKeyMatchesAnEntryWithNoKey) { EXPECT_EQ(Get("#USR=x#=v#", ""), "v"); }

// --- Changing ----------------------------------------------------------------

TEST(SetKeyValue, AppendsMissingKeyAfterClosingHash) { EXPECT_EQ(Set("#USR=x#", "@@CRC", "1A2B"), "#USR=x#@@CRC=1A2B#"); }

TEST(SetKeyValue, AppendsHashWhenStringDoesNotEndWithOne) {
  EXPECT_EQ(Set("#USR=x", "@@CRC", "1A2B"), "#USR=x#@@CRC=1A2B#");
}

TEST(SetKeyValue, EmptyStringGetsOneEntry) { EXPECT_EQ(Set("", "@@CRC", "1A2B"), "#@@CRC=1A2B#"); }

TEST(SetKeyValue, ReplacesValueAndKeepsCaseOfStoredKey) {
  EXPECT_EQ(Set("#@@crc=FF#USR=x#", "@@CRC", "1A2B"), "#@@crc=1A2B#USR=x#");
}

TEST(SetKeyValue, ReplacesLastValueWithoutClosingHash) {
  EXPECT_EQ(Set("#USR=x#@@CRC=FF", "@@CRC", "1A2B"), "#USR=x#@@CRC=1A2B");
}

TEST(SetKeyValue, AppendedKeyIsUpperCaseAndNotTrimmed) {
  EXPECT_EQ(Set("#USR=x#", "@@crc", "1"), "#USR=x#@@CRC=1#");
  EXPECT_EQ(Set("#USR=x#", " dev ", "CSCSW"), "#USR=x# DEV =CSCSW#");
}

TEST(SetKeyValue, KeyIsTrimmedForMatching) { EXPECT_EQ(Set("#DEV=ARUSW#", " dev ", "CSCSW"), "#DEV=CSCSW#"); }

TEST(SetKeyValue, OnlyFirstEntryIsReplaced) { EXPECT_EQ(Set("#USR=a#USR=b#", "usr", "c"), "#USR=c#USR=b#"); }

TEST(SetKeyValue, ReplacesEmptyValueAndCanEmptyAValue) {
  EXPECT_EQ(Set("#CFG=#DEV=CSCSW#", "CFG", "RUN"), "#CFG=RUN#DEV=CSCSW#");
  EXPECT_EQ(Set("#CFG=RUN#DEV=CSCSW#", "CFG", ""), "#CFG=#DEV=CSCSW#");
}

TEST(SetKeyValue, ValueIsWrittenAsGiven) {
  EXPECT_EQ(Set("#USR=x#", "USR", " a=b "), "#USR= a=b #");
  EXPECT_EQ(Set("#USR=x#", "USR", "a#b"), "#USR=a#b#");
}

TEST(SetKeyValue, TextBeforeTheFirstHashIsKept) {
  EXPECT_EQ(Set("lead#USR=x#", "USR", "y"), "lead#USR=y#");
  EXPECT_EQ(Set("lead", "USR", "y"), "lead#USR=y#");
}

TEST(SetKeyValue, StringOfOnlyAHash) { EXPECT_EQ(Set("#", "USR", "y"), "#USR=y#"); }

TEST(SetKeyValue, KeyHoldingHashNeverFails) {
  // The literal splice: everything up to the "=", the value, then the string
  // from the "#" inside the key onwards.
  EXPECT_EQ(Set("#A#B=1#C=2#", "A#B", "9"), "#A#B=9#B=1#C=2#");
}

// --- Properties --------------------------------------------------------------

// Random texts over an alphabet that makes matches and near-matches likely.
class ParameterStringProperty : public ::testing::Test {
 protected:
  Text RandomText(size_t max_length, bool allow_hash) {
    static const Text kAlphabet = u"ab AB=#u\u00e9\u00c9\u20ac@";
    size_t n = rng_() % (max_length + 1);
    Text t;
    for (size_t i = 0; i < n; ++i) {
      char16_t c = kAlphabet[rng_() % kAlphabet.size()];
      if (!allow_hash && c == u'#') c = u'x';
      t += c;
    }
    return t;
  }

  // A key that round-trips: no "#", not empty, no blanks at either end (an
  // appended key keeps such blanks, a key read is stripped of them).
  Text RandomKey() {
    Text k;
    do {
      k = TrimBlanks(RandomText(4, false));
    } while (k.empty());
    return k;
  }

  std::mt19937 rng_{20240611};
};

TEST_F(ParameterStringProperty, SetThenGetGivesTheValue) {
  for (int i = 0; i < 5000; ++i) {
    Text p = RandomText(30, true);
    Text key = RandomKey();
    Text value = RandomText(8, false);
    Text changed = SetKeyValue(p, key, value);
    EXPECT_EQ(GetKeyValue(changed, key), value)
        << "p=" << ToUtf8(p) << " key=" << ToUtf8(key) << " value=" << ToUtf8(value);
    // Any spelling of the key finds the same entry.
    EXPECT_EQ(GetKeyValue(changed, ToUpper(key)), value);
  }
}

TEST_F(ParameterStringProperty, SettingTheValueReadIsNoChangeWhenPresent) {
  for (int i = 0; i < 5000; ++i) {
    Text key = RandomKey();
    // The key is planted in some spelling of its case; an earlier random
    // entry for it may come first, which is the one both functions use.
    Text spelled = (i % 2 == 0) ? key : ToUpper(key);
    Text p = RandomText(15, true) + u"#" + spelled + u"=" + RandomText(6, false) + RandomText(15, true);
    EXPECT_EQ(SetKeyValue(p, key, GetKeyValue(p, key)), p) << ToUtf8(p) << " key=" << ToUtf8(key);
  }
}

TEST_F(ParameterStringProperty, SettingTwiceEqualsSettingOnce) {
  for (int i = 0; i < 5000; ++i) {
    Text p = RandomText(30, true);
    Text key = RandomKey();
    Text first = RandomText(8, false);
    Text second = RandomText(8, false);
    EXPECT_EQ(SetKeyValue(SetKeyValue(p, key, first), key, second), SetKeyValue(p, key, second))
        << ToUtf8(p) << " key=" << ToUtf8(key);
  }
}

TEST_F(ParameterStringProperty, OtherKeysAreUntouched) {
  // Entries written with distinct keys each read back after the others change.
  for (int i = 0; i < 1000; ++i) {
    Text p;
    p = SetKeyValue(p, u"USR", RandomText(6, false));
    p = SetKeyValue(p, u"PWD", RandomText(6, false));
    Text usr = GetKeyValue(p, u"USR");
    Text pwd = RandomText(6, false);
    p = SetKeyValue(p, u"pwd", pwd);
    Text crc = RandomText(6, false);
    p = SetKeyValue(p, u"@@CRC", crc);
    EXPECT_EQ(GetKeyValue(p, u"USR"), usr);
    EXPECT_EQ(GetKeyValue(p, u"PWD"), pwd);
    EXPECT_EQ(GetKeyValue(p, u"@@crc"), crc);
  }
}

TEST_F(ParameterStringProperty, NeitherFunctionFailsOnAnyInput) {
  for (int i = 0; i < 5000; ++i) {
    Text p = RandomText(40, true);
    Text key = RandomText(5, true);
    Text value = RandomText(5, true);
    Text read = GetKeyValue(p, key);
    Text changed = SetKeyValue(p, key, value);
    // A value read is always a piece of the string without "#".
    EXPECT_EQ(read.find(u'#'), Text::npos);
    EXPECT_NE(p.find(read), Text::npos);
    // Everything before the changed entry, or the whole string when the key
    // is appended, is kept as it was.
    size_t entry = ToUpper(p).find(u"#" + TrimBlanks(ToUpper(key)) + u"=");
    size_t kept = entry == Text::npos ? p.size() : entry;
    EXPECT_EQ(changed.substr(0, kept), p.substr(0, kept)) << ToUtf8(p) << " key=" << ToUtf8(key);
  }
}

}  // namespace
}  // namespace comvorlix
