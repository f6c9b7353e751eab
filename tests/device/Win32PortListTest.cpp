#include <gtest/gtest.h>

#include "device/PortList.h"
#include "tests/support/TestRegistryKeyWin32.h"

namespace {

TEST(Win32PortListTest, ReadsPortNamesFromTheKeySorted) {
  EXPECT_EQ(DefaultPortSource(), "HARDWARE\\DEVICEMAP\\SERIALCOMM");
  TestRegistryKey key;
  if (!key.Created()) GTEST_SKIP() << "no right to write under HKEY_LOCAL_MACHINE";
  TStringList names{"stale"};
  ASSERT_TRUE(ReadSystemPortNames(names, key.Source()));
  EXPECT_TRUE(names.empty());

  // Value names are the drivers' device names, in no useful order; only the data counts.
  key.SetString(L"\\Device\\Serial0", L"COM2");
  key.SetString(L"\\Device\\Serial1", L"COM10");
  key.SetString(L"\\Device\\VCP0", L"com1");
  key.SetString(L"\\Device\\ProlificSerial0", L"COM2");
  key.SetNumber(L"NotAPort", 7);
  key.SetString(L"\\Device\\Empty", L"");
  ASSERT_TRUE(ReadSystemPortNames(names, key.Source()));
  EXPECT_EQ(names, (TStringList{"com1", "COM10", "COM2", "COM2"}));
}

TEST(Win32PortListTest, MissingKeyLeavesTheListAsItWas) {
  TStringList names{"COM3"};
  EXPECT_FALSE(ReadSystemPortNames(names, "SOFTWARE\\KVZ03-Test-No-Such-Key"));
  EXPECT_EQ(names, TStringList{"COM3"});
}

}  // namespace
