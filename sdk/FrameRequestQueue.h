// The box's frame requests that wait for their answer, in the order asked.
// A box may keep several requests out to hide the network's round trip;
// each is answered in turn, with a picture encoded when its turn comes, so a
// waiting request holds its numbers only, never a picture.
#pragma once

#include <deque>

#include <QtGlobal>

#include "CatchThread.h"

class FrameRequestQueue {
 public:
  // One request per SN a box can tell apart: no real box keeps more out.
  static constexpr int kMaxWaiting = 65536;

  struct Request {
    SCDoEnc job;
    quint16 headerSn = 0;  // the header SN of the request, which its answer carries
  };

  // False, and nothing kept, when kMaxWaiting requests wait already.
  bool push(const SCDoEnc& job, quint16 headerSn);
  // The oldest waiting request, now in flight; null while one is in flight
  // or none waits.
  const SCDoEnc* startNext();
  // Takes the request in flight off when a packet for `sn` answers it;
  // false when none is in flight or it asked for another SN.
  bool finish(int sn, Request* answered);
  // Drops every request, the one in flight too; returns how many.
  int clear();

  bool inFlight() const { return m_inFlight; }
  int waiting() const { return static_cast<int>(m_requests.size()) - (m_inFlight ? 1 : 0); }

 private:
  std::deque<Request> m_requests;  // the front one is in flight when m_inFlight
  bool m_inFlight = false;
};
