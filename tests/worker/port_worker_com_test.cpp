// The worker on the Win32 backend, on a COM port whose far side is a
// pseudo-terminal under Wine: bytes both ways, and a pulled adapter.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "display/screen_model.h"
#include "port/port_worker.h"
#include "support/far_side.h"
#include "support/temp_dir.h"
#include "worker/worker_rig.h"

namespace tarnwick::testing {
namespace {

std::vector<std::uint8_t> HexLinesToBytes(const std::vector<DisplayLine>& lines) {
  std::vector<std::uint8_t> bytes;
  for (const auto& line : lines) {
    for (std::size_t i = 0; i + 3 <= line.size(); i += 3) {
      bytes.push_back(static_cast<std::uint8_t>(std::stoul(line.substr(i + 1, 2), nullptr, 16)));
    }
  }
  return bytes;
}

class PortWorkerOnCom : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!m_far.ok()) GTEST_SKIP() << "no far side: run under tests/windows/far_side.py";
    m_port = m_far.NewPty();
    ASSERT_NE(0, m_port) << m_far.LastError();
    m_settings.nPortIndex = m_port - 1;
    m_settings.nUnitFormatIndex = 1;  // HEX, one byte per unit
    m_settings.nUnitLengthIndex = 0;
    m_settings.nColumns = 16;
    m_settings.nRows = 100000;
    m_settings.bSaveRaw = 1;
    std::strcpy(m_settings.szRawFile, m_dir.File("raw.bin").c_str());
    m_live.Publish();
    m_worker = std::make_unique<PortWorker>(m_live, *m_backend, &m_model, &m_sink);
    m_worker->Start();
    ASSERT_TRUE(Eventually([&] { return m_worker->m_bPortOpen.load(); }))
        << m_worker->Line().Status();
  }
  void TearDown() override {
    if (m_worker) m_worker->Stop();
  }

  FarSide m_far;
  int m_port = 0;
  TempDir m_dir;
  SETTINGS m_settings = DefaultSettings();
  std::unique_ptr<SerialBackend> m_backend = CreatePlatformSerialBackend();
  CountingSink m_sink;
  LiveSettings m_live{m_settings};
  ScreenModel m_model{m_live, nullptr};
  std::unique_ptr<PortWorker> m_worker;
};

TEST_F(PortWorkerOnCom, BytesInEqualRawLogAndScreen) {
  std::vector<std::uint8_t> sent(70000);
  for (std::size_t i = 0; i < sent.size(); ++i)
    sent[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
  ASSERT_TRUE(m_far.Write(m_port, sent)) << m_far.LastError();
  const auto total = static_cast<std::int32_t>(sent.size());
  ASSERT_TRUE(Eventually([&] { return m_worker->m_nBytesRead.load() == total; }))
      << m_worker->m_nBytesRead.load();
  m_worker->Stop();

  EXPECT_EQ(ReadBytes(m_dir.File("raw.bin")), std::vector<unsigned char>(sent.begin(), sent.end()));
  EXPECT_EQ(HexLinesToBytes(m_model.Lines()), sent);
}

TEST_F(PortWorkerOnCom, HandedOverBlockArrivesOnFarSide) {
  std::vector<std::uint8_t> block(300);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(255 - i);
  m_worker->HandOver(block.data(), static_cast<std::int32_t>(block.size()));

  EXPECT_EQ(m_far.Read(m_port, block.size(), 5000), block);
  ASSERT_TRUE(Eventually([&] { return m_worker->TxBuffer() == nullptr; }));
  EXPECT_EQ(m_worker->m_nBytesWritten.load(), 300);
  EXPECT_EQ(m_sink.CountersCount(), 300);
}

TEST_F(PortWorkerOnCom, PulledAdapterIsReportedAndThePortComesBack) {
  ASSERT_TRUE(m_far.Write(m_port, std::string("\x01\x02")));
  ASSERT_TRUE(Eventually([&] { return m_worker->m_nBytesRead.load() == 2; }));

  ASSERT_TRUE(m_far.HangUp(m_port));
  ASSERT_TRUE(Eventually([&] { return !m_worker->m_bPortOpen.load(); }));
  const std::string status = m_worker->Line().Status();
  EXPECT_EQ(status.rfind("Port LOST !", 0), 0u) << status;
  EXPECT_GT(status.size(), std::strlen("Port LOST !")) << "the error's text follows";

  ASSERT_TRUE(m_far.Renew(m_port));  // plugged in again under the same name
  ASSERT_TRUE(Eventually([&] { return m_worker->m_bPortOpen.load(); }))
      << m_worker->Line().Status();
  ASSERT_TRUE(m_far.Write(m_port, std::string("\x03\x04\x05")));
  ASSERT_TRUE(Eventually([&] { return m_worker->m_nBytesRead.load() == 5; }));
  m_worker->Stop();

  const std::vector<unsigned char> expected = {1, 2, 3, 4, 5};
  EXPECT_EQ(ReadBytes(m_dir.File("raw.bin")), expected);
  EXPECT_EQ(HexLinesToBytes(m_model.Lines()),
            std::vector<std::uint8_t>(expected.begin(), expected.end()));
}

}  // namespace
}  // namespace tarnwick::testing
