#include "FrameRequestQueue.h"

bool FrameRequestQueue::push(const SCDoEnc& job, quint16 headerSn) {
  if (static_cast<int>(m_requests.size()) >= kMaxWaiting) return false;
  m_requests.push_back(Request{job, headerSn});
  return true;
}

const SCDoEnc* FrameRequestQueue::startNext() {
  if (m_inFlight || m_requests.empty()) return nullptr;
  m_inFlight = true;
  return &m_requests.front().job;
}

bool FrameRequestQueue::finish(int sn, Request* answered) {
  if (!m_inFlight || m_requests.front().job.sn != sn) return false;
  *answered = m_requests.front();
  m_requests.pop_front();
  m_inFlight = false;
  return true;
}

int FrameRequestQueue::clear() {
  const int dropped = static_cast<int>(m_requests.size());
  // A cleared deque may keep its blocks; a swap gives them back.
  std::deque<Request>().swap(m_requests);
  m_inFlight = false;
  return dropped;
}
