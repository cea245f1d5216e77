// COM names to device paths: the fixed ranges, and TARNWICK_COMn overriding
// them for its own number only.
#include "platform/com_names.h"

#include <gtest/gtest.h>

#include <string>

#include "scoped_env.h"

namespace tarnwick {
namespace {

using testing::ScopedEnv;

TEST(ComNames, NumbersMapToTheirDeviceRanges) {
  const struct {
    const char* name;
    const char* path;
  } cases[] = {
      {"COM1", "/dev/ttyS0"},         {"\\\\.\\COM1", "/dev/ttyS0"},
      {"\\\\.\\COM10", "/dev/ttyS9"}, {"COM32", "/dev/ttyS31"},
      {"COM33", "/dev/ttyUSB0"},      {"\\\\.\\COM64", "/dev/ttyUSB31"},
      {"COM65", "/dev/ttyACM0"},      {"COM96", "/dev/ttyACM31"},
      {"COM97", "/dev/ttyAMA0"},      {"\\\\.\\COM99", "/dev/ttyAMA2"},
      {"com5", "/dev/ttyS4"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.path, ResolvePortPath(c.name)) << c.name;
  }
}

TEST(ComNames, NamesWithoutADeviceResolveToNothing) {
  const char* names[] = {"COM100", "COM0",       "COM",   "COM01",   "COM1x",
                         "COMx",   "LPT1",       "",      "\\\\.\\", "\\\\.\\LPT1",
                         "COM-1",  "/dev/ttyS0", "COM 1", "COM1 ",   "\\\\?\\COM1"};
  for (const char* name : names) {
    EXPECT_EQ("", ResolvePortPath(name)) << '"' << name << '"';
  }
}

TEST(ComNames, EnvironmentOverridesItsOwnNumber) {
  ScopedEnv com3("TARNWICK_COM3", "/tmp/pseudo-device");
  EXPECT_EQ("/tmp/pseudo-device", ResolvePortPath("\\\\.\\COM3"));
  EXPECT_EQ("/tmp/pseudo-device", ResolvePortPath("COM3"));
  EXPECT_EQ("/dev/ttyS29", ResolvePortPath("COM30"));
  EXPECT_EQ("/dev/ttyS3", ResolvePortPath("COM4"));
}

TEST(ComNames, EnvironmentGivesDevicesBeyondTheRanges) {
  ScopedEnv com150("TARNWICK_COM150", "/dev/pts/7");
  EXPECT_EQ("/dev/pts/7", ResolvePortPath("\\\\.\\COM150"));
  EXPECT_EQ("", ResolvePortPath("COM151"));
}

TEST(ComNames, EmptyVariableCountsAsUnset) {
  ScopedEnv com2("TARNWICK_COM2", "");
  EXPECT_EQ("/dev/ttyS1", ResolvePortPath("COM2"));
}

}  // namespace
}  // namespace tarnwick
