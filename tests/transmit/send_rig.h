// A scripted world for SendController: a fake worker that drains the handed
// block one byte per turn as the port worker does, window timers driven by a
// millisecond clock, a progress bar and a form that records what it is told.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/recording_message_boxes.h"
#include "transmit/send_controller.h"

namespace tarnwick::testing {

class FakeWorker : public TxHandOver {
 public:
  void HandOver(const std::uint8_t* block, std::int32_t length) override {
    // The protocol: a new block only once the worker has let go of the last.
    EXPECT_EQ(m_pTxBuffer, nullptr) << "hand-over while a block is pending";
    m_nTxLength = length;
    m_nTxPos = 0;
    m_pTxBuffer = block;
    m_snapshot.assign(block, block + length);
    handed.push_back(block);
  }
  void SetTxLength(std::int32_t length) override { m_nTxLength = length; }
  const std::uint8_t* TxBuffer() const override { return m_pTxBuffer; }
  std::int32_t TxPos() const override { return m_nTxPos; }

  // One loop turn of the worker: write, then the end test.
  void Turn() {
    if (m_pTxBuffer == nullptr || !portOpen) return;
    ASSERT_LT(static_cast<std::size_t>(m_nTxPos), m_snapshot.size()) << "read past the block";
    const std::uint8_t byte = m_pTxBuffer[m_nTxPos];
    // The block in flight must not change under the worker.
    EXPECT_EQ(byte, m_snapshot[static_cast<std::size_t>(m_nTxPos)]) << "block written in flight";
    sent.push_back(byte);
    ++m_nTxPos;
    if (m_nTxPos >= m_nTxLength) {
      m_pTxBuffer = nullptr;
      m_nTxPos = 0;
      ++blocksEnded;
    }
  }

  bool portOpen = true;
  std::vector<std::uint8_t> sent;
  std::vector<const std::uint8_t*> handed;
  int blocksEnded = 0;
  std::int32_t m_nTxLength = 0;

 private:
  const std::uint8_t* m_pTxBuffer = nullptr;
  std::int32_t m_nTxPos = 0;
  std::vector<std::uint8_t> m_snapshot;
};

class FakeTimers : public SendTimers {
 public:
  void StartTimer(int id, int periodMs) override { running[id] = periodMs; }
  void KillTimer(int id) override { running.erase(id); }
  std::map<int, int> running;  // id -> period
};

class FakeProgress : public SendProgress {
 public:
  void SetProgressRange(std::int32_t lower, std::int32_t upper) override { range = {lower, upper}; }
  void SetProgressPos(std::int32_t p) override { pos = p; }
  std::pair<std::int32_t, std::int32_t> range{0, 100};
  std::int32_t pos = 0;
};

class SendRig : public SendForm {
 public:
  SendRig() : controller(boxes, worker, *this, timers, progress) {
    fields.period = "0";
    fields.transmitCount = "-1";
  }

  // Sets the controls for a text send.
  void Type(std::string text, std::int32_t format = kTxFormatAscii, bool periodic = false,
            const std::string& period = "0", const std::string& count = "-1") {
    fields.text = std::move(text);
    fields.format = format;
    fields.periodic = periodic;
    fields.period = period;
    fields.transmitCount = count;
  }
  std::string Sent() const { return std::string(worker.sent.begin(), worker.sent.end()); }

  // The dialog's controls: what ReadControls hands to the controller.
  void ReadControls() override {
    ++reads;
    controller.ExchangeFromControls(fields);
  }
  void ShowMembers() override {
    ++shows;
    shownText = controller.Parser().m_strText;
    shownUnitIndex = controller.Parser().m_nUnitIndex;
    shownCount = controller.m_nTransmitCount;
  }
  void ApplyControls(const SendControls& c) override { controls = c; }

  // Advances the clock; each millisecond the worker makes `turnsPerMs` turns,
  // then every due timer ticks.
  void Run(int ms) {
    for (int i = 0; i < ms; ++i) {
      ++now;
      for (int t = 0; t < turnsPerMs; ++t) worker.Turn();
      for (const auto& [id, period] : std::map<int, int>(timers.running)) {
        if (timers.running.count(id) && now % period == 0) controller.OnTimer(id);
      }
    }
  }
  // Runs until the controller is idle or the limit passes.
  void RunUntilIdle(int limitMs) {
    for (int i = 0; i < limitMs && controller.m_bActive; ++i) Run(1);
  }

  RecordingMessageBoxes boxes;
  FakeWorker worker;
  FakeTimers timers;
  FakeProgress progress;
  SendFieldValues fields;
  SendController controller;
  SendControls controls;
  int reads = 0;
  int shows = 0;
  std::string shownText;
  std::int32_t shownUnitIndex = -1;
  std::int32_t shownCount = 0;
  int turnsPerMs = 1000;
  long now = 0;
};

}  // namespace tarnwick::testing
