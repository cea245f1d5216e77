#include "settings/settings.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tarnwick {
namespace {

TEST(DefaultSettings, SetEveryDefaultAndZeroElsewhere) {
  const SETTINGS s = DefaultSettings();
  EXPECT_EQ(s.nPortIndex, 0);
  EXPECT_EQ(s.nBaudIndex, 6);
  EXPECT_EQ(s.nDataBitsIndex, 3);
  EXPECT_EQ(s.nStopBitsIndex, 0);
  EXPECT_EQ(s.nParityIndex, 0);
  EXPECT_EQ(s.lfFont.lfHeight, 20);
  EXPECT_EQ(s.crText, 0u);
  EXPECT_EQ(s.crBackground, 0xFFFFFFu);
  EXPECT_EQ(s.nColumns, 8);
  EXPECT_EQ(s.nRows, 8);
  EXPECT_EQ(s.chDelimiter, ' ');
  EXPECT_EQ(s.bSaveText, 0);
  EXPECT_EQ(s.bSaveRaw, 0);

  // Every byte other than the defaulted fields is zero, padding included.
  SETTINGS expected;
  std::memset(&expected, 0, sizeof expected);
  expected.nBaudIndex = 6;
  expected.nDataBitsIndex = 3;
  expected.lfFont.lfHeight = 20;
  expected.crBackground = 0xFFFFFF;
  expected.nColumns = 8;
  expected.nRows = 8;
  expected.chDelimiter = 0x20;
  EXPECT_EQ(std::memcmp(&s, &expected, sizeof s), 0);
}

TEST(DefaultSettings, ResetOverwritesGarbage) {
  SETTINGS s;
  std::memset(&s, 0xAB, sizeof s);
  SetDefaultSettings(s);
  EXPECT_EQ(s.dwReserved[0], 0);
  EXPECT_EQ(s.chPadding[2], 0);
  EXPECT_EQ(s.szRawFile[1023], 0);
  EXPECT_EQ(s.lfFont.lfFaceName[0], 0);
}

}  // namespace
}  // namespace tarnwick
