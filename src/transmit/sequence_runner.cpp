#include "transmit/sequence_runner.h"

#include "transmit/send_line.h"

namespace tarnwick {

SequenceRunner::SequenceRunner(std::vector<SequenceStep> steps, Sender send, TextEncoder encode)
    : m_steps(std::move(steps)), m_send(std::move(send)), m_encode(std::move(encode)) {}

void SequenceRunner::Start(Clock::time_point now) {
  if (m_bStarted) return;
  m_bStarted = true;
  Run(now, {});
}

void SequenceRunner::Finish(End end, std::string reason) {
  m_end = end;
  m_strReason = std::move(reason);
  m_deadline.reset();
  m_wait.reset();
  m_nAwaitedBlock = 0;
}

void SequenceRunner::Run(Clock::time_point now, std::string carried) {
  using Kind = SequenceStep::Kind;
  m_deadline.reset();
  m_wait.reset();
  m_nAwaitedBlock = 0;
  while (m_end == End::kRunning) {
    if (m_nStep >= m_steps.size()) return Finish(End::kDone);
    const SequenceStep& step = m_steps[m_nStep];
    if (step.kind == Kind::kSend) {
      SendParse parse = ParseSendText(step.send, step.lineEnd, m_encode);
      if (!parse.ok) return Finish(End::kFailed, parse.Describe());
      const PushResult pushed = m_send(std::move(parse.bytes));
      if (!pushed) return Finish(End::kFailed, pushed.Refusal());
      m_nAwaitedBlock = pushed.id;
      return;
    }
    m_deadline = now + std::chrono::milliseconds(step.ms);
    if (step.kind == Kind::kWait) {
      if (step.ms > 0) return;
      ++m_nStep;
      continue;
    }
    m_wait.emplace(step.pattern, step.kind == Kind::kWaitForRegex);
    std::string rest;
    if (carried.empty() || !m_wait->Feed(carried, &rest)) return;
    carried = std::move(rest);
    ++m_nStep;
  }
}

void SequenceRunner::OnTime(Clock::time_point now) {
  while (m_end == End::kRunning && m_deadline && now >= *m_deadline) {
    const SequenceStep& step = m_steps[m_nStep];
    if (step.kind != SequenceStep::Kind::kWait) {
      if (!step.goOnAfterTimeout) return Finish(End::kTimedOut);
      ++m_nTimeoutsPassed;
    }
    // The next step begins when this one ended, however late the call.
    const Clock::time_point ended = *m_deadline;
    ++m_nStep;
    Run(ended, {});
  }
}

void SequenceRunner::OnText(std::string_view utf8, Clock::time_point now) {
  // A wait whose time ran out before this text came has ended without it.
  OnTime(now);
  if (m_end != End::kRunning || !m_wait) return;
  std::string rest;
  if (!m_wait->Feed(utf8, &rest)) return;
  ++m_nStep;
  Run(now, std::move(rest));
}

void SequenceRunner::OnBlockDone(const BlockDone& done, Clock::time_point now) {
  if (m_end != End::kRunning || m_nAwaitedBlock == 0 || done.id != m_nAwaitedBlock) return;
  if (done.cut) return Finish(End::kFailed, "its block was cut short");
  ++m_nStep;
  Run(now, {});
}

void SequenceRunner::Stop() {
  if (m_end == End::kRunning) Finish(End::kStopped);
}

std::string SequenceRunner::Describe(std::string_view name) const {
  const std::string who = "Sequence \"" + std::string(name) + "\"";
  const std::string at = m_nStep < m_steps.size() ? " at step " + std::to_string(m_nStep + 1) +
                                                        ", " + StepText(m_steps[m_nStep])
                                                  : std::string();
  switch (m_end) {
    case End::kRunning:
      if (m_nStep >= m_steps.size()) return who;
      return who + ": step " + std::to_string(m_nStep + 1) + " of " +
             std::to_string(m_steps.size()) + ", " + StepText(m_steps[m_nStep]);
    case End::kDone:
      if (m_nTimeoutsPassed == 0) return who + " done";
      return who + " done; " + std::to_string(m_nTimeoutsPassed) +
             (m_nTimeoutsPassed == 1 ? " wait timed out" : " waits timed out");
    case End::kTimedOut:
      return who + " timed out" + at;
    case End::kStopped:
      return who + " stopped" + at;
    case End::kFailed:
      return who + " failed" + at + ": " + m_strReason;
  }
  return who;
}

}  // namespace tarnwick
