// The transmit hand-over of the Send data dialog, carried out by the port
// worker's shared words.
#pragma once

#include "port/port_worker.h"
#include "transmit/send_interfaces.h"

namespace tarnwick {

class PortTxHandOver final : public TxHandOver {
 public:
  explicit PortTxHandOver(PortWorker& worker) : m_worker(worker) {}

  void HandOver(const std::uint8_t* block, std::int32_t length) override {
    m_worker.HandOver(block, length);
  }
  void SetTxLength(std::int32_t length) override { m_worker.SetTxLength(length); }
  const std::uint8_t* TxBuffer() const override { return m_worker.TxBuffer(); }
  std::int32_t TxPos() const override { return m_worker.TxPos(); }

 private:
  PortWorker& m_worker;
};

}  // namespace tarnwick
