// What a capture or a viewer accepts as its broker URL and password: one
// table, from the URL's topic prefix to the password file's permissions. And
// how a viewer follows the capture's numbering, with the broker's side
// played by a scripted client.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "mqtt/mqtt_credentials.h"
#include "mqtt/mqtt_session.h"
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

// Hands the session's event sink to the test, which plays the broker.
class ScriptedClient : public MqttClient {
 public:
  bool Start(std::string*) override { return true; }
  MqttPublishResult Publish(const std::string&, const std::uint8_t*, std::size_t, int, bool,
                            const std::vector<MqttUserProperty>&) override {
    return MqttPublishResult::kQueued;
  }
  void Disconnect(int) override {}
};

struct NumberingCase {
  const char* name;
  std::vector<int> rx;  // the "seq" of each message in arrival order; -1: none
  std::string shown;    // the bytes the device reads
  std::uint64_t missing;
};

TEST(MqttViewer, FollowsTheCapturesNumbering) {
  const NumberingCase cases[] = {
      {"in order", {0, 1, 2}, "abc", 0},
      {"joined late", {7, 8}, "ab", 0},
      {"gap", {0, 1, 4, 5}, "abcd", 2},
      {"sent again after a broken connection", {0, 1, 2, 1, 2, 3}, "abcf", 0},
      {"capture started again", {0, 1, 2, 0, 1}, "abcde", 0},
      {"MQTT 3.1.1, no numbers", {-1, -1}, "ab", 0},
  };
  const MqttUrl url = *ParseMqttUrl("mqtt://b/lab", nullptr);
  for (const NumberingCase& c : cases) {
    SCOPED_TRACE(c.name);
    MqttClientEvents* broker = nullptr;
    MqttSession session(url, "", [&](const MqttConnectOptions&, MqttClientEvents& events) {
      broker = &events;
      return std::make_unique<ScriptedClient>();
    });
    std::string error;
    ASSERT_TRUE(session.Start(&error));
    session.Attach(true);
    broker->OnConnected(true);
    broker->OnSubscribed();
    const std::string online = R"({"state":"online"})";
    broker->OnMessage({"lab/status", {online.begin(), online.end()}, true, {}});
    session.Pump();  // online before the data, as the broker delivers it
    char byte = 'a';
    for (const int seq : c.rx) {
      MqttMessage message{"lab/rx", {static_cast<std::uint8_t>(byte++)}, false, {}};
      if (seq >= 0) message.properties.push_back({"seq", std::to_string(seq)});
      broker->OnMessage(std::move(message));
    }
    session.Pump();
    std::string shown;
    for (const MqttSession::Chunk& chunk : session.Chunks())
      shown.append(chunk.bytes.begin(), chunk.bytes.end());
    EXPECT_EQ(shown, c.shown);
    EXPECT_EQ(session.MissingMessages(), c.missing);
  }
}

}  // namespace
}  // namespace tarnwick::testing
