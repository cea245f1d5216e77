// What a capture or a viewer accepts as its broker URL and password: one
// table, from the URL's topic prefix to the password file's permissions.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "mqtt/mqtt_credentials.h"
#include "mqtt/mqtt_url.h"
#include "port/scoped_env.h"
#include "support/temp_dir.h"

namespace tarnwick::testing {
namespace {

enum class Secret { kNone, kVariable, kPrivateFile, kGroupFile, kForeignFile, kBoth };

struct RuleCase {
  const char* url;
  Secret secret;
  const char* refusal;  // part of the message; null: accepted
  // When accepted:
  const char* prefix = "";
  int port = 0;
  const char* user = "";
  const char* caFile = "";
};

const RuleCase kCases[] = {
    {"mqtt://broker.lab/rack1/board7", Secret::kNone, nullptr, "rack1/board7", 1883},
    {"MQTTS://broker.lab/x?cafile=/etc/lab%20ca.pem", Secret::kNone, nullptr, "x", 8883, "",
     "/etc/lab ca.pem"},
    {"mqtt://b:1884/lab%2Fa%20b%C3%A9", Secret::kNone, nullptr, "lab/a bé", 1884},
    {"mqtt://[::1]:2000/p", Secret::kNone, nullptr, "p", 2000},
    {"mqtt://ann@b/p", Secret::kVariable, nullptr, "p", 1883, "ann"},
    {"mqtt://ann@b/p", Secret::kPrivateFile, nullptr, "p", 1883, "ann"},
    {"mqtt://b/a/+/c", Secret::kNone, "wildcard"},
    {"mqtt://b/a%23", Secret::kNone, "wildcard"},
    {"mqtt://b/a%00b", Secret::kNone, "NUL"},
    {"mqtt://b/a//b", Secret::kNone, "empty level"},
    {"mqtt://b/a/", Secret::kNone, "empty level"},
    {"mqtt://b/%24SYS/x", Secret::kNone, "'$'"},
    {"mqtt://b/%FF", Secret::kNone, "UTF-8"},
    {"mqtt://b/%4", Secret::kNone, "%-escape"},
    {"mqtt://b", Secret::kNone, "no topic prefix"},
    {"mqtt://b:0/p", Secret::kNone, "port"},
    {"mqtt://b:65536/p", Secret::kNone, "port"},
    {"mqtt://::1/p", Secret::kNone, "brackets"},
    {"mqtt://b/p?cafile=/ca.pem", Secret::kNone, "needs TLS"},
    {"mqtts://b/p?insecure=1", Secret::kNone, "only cafile"},
    {"mqtt://ann:pw@b/p", Secret::kNone, "never taken from the URL"},
    {"mqtt://b/p", Secret::kVariable, "needs a user name"},
    {"mqtt://ann@b/p", Secret::kGroupFile, "chmod 600"},
    {"mqtt://ann@b/p", Secret::kForeignFile, "does not belong to you"},
    {"mqtt://ann@b/p", Secret::kBoth, "not both"},
};

TEST(MqttRules, UrlPrefixAndPassword) {
  TempDir dir;
  for (const RuleCase& c : kCases) {
    SCOPED_TRACE(c.url);
    const std::string file = dir.File("password");
    std::ofstream(file) << "file-secret\nsecond line\n";
    const bool viaFile = c.secret != Secret::kNone && c.secret != Secret::kVariable;
    ::chmod(file.c_str(), c.secret == Secret::kGroupFile ? 0640 : 0600);
    if (c.secret == Secret::kForeignFile && ::chown(file.c_str(), 65534, 65534) != 0) {
      ADD_FAILURE() << "cannot give the file away (not root?)";
      continue;
    }
    const bool viaVariable = c.secret == Secret::kVariable || c.secret == Secret::kBoth;
    ScopedEnv variable(kMqttPasswordVariable, viaVariable ? "env-secret" : "");
    ScopedEnv named(kMqttPasswordFileVariable, viaFile ? file : "");

    std::string error;
    std::string password;
    const std::optional<MqttUrl> url = ParseMqttUrl(c.url, &error);
    const bool accepted = url && ReadMqttPassword(*url, &password, &error);
    if (c.refusal != nullptr) {
      EXPECT_FALSE(accepted);
      EXPECT_NE(error.find(c.refusal), std::string::npos) << error;
      continue;
    }
    ASSERT_TRUE(accepted) << error;
    EXPECT_EQ(url->strPrefix, c.prefix);
    EXPECT_EQ(url->nPort, c.port);
    EXPECT_EQ(url->strUser, c.user);
    EXPECT_EQ(url->strCaFile, c.caFile);
    EXPECT_EQ(password, c.secret == Secret::kVariable      ? "env-secret"
                        : c.secret == Secret::kPrivateFile ? "file-secret"
                                                           : "");
    std::filesystem::remove(file);
  }
}

}  // namespace
}  // namespace tarnwick::testing
