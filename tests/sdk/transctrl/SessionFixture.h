// A host of the SDK against one simulated box on 127.0.0.1: drives the
// session through the three exports and records every notification.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CorvaneSDK.h"
#include "RecordingLog.h"
#include "SimBox.h"

struct Note {
  int nty = 0;
  std::map<std::string, std::string> params;
  int stateThen = -1;
  int captureStops = 0;  // "capture stopped" lines logged before it
};

class NoteRecorder : public CORVANESDK::ITransCtrlCallBack {
 public:
  void onNetNfy(CORVANESDK::NET_NOTIFY nty, const std::map<std::string, std::string>& params) override;
  std::vector<Note> notes();
  std::vector<int> codes();
  void clear();

 private:
  std::mutex lock_;
  std::vector<Note> notes_;
};

class SessionFixture : public ::testing::Test {
 public:
  static RecordingLog& Log();
  static int CaptureStops();

 protected:
  static constexpr int kSessionId = 4711;

  void SetUp() override;
  void TearDown() override;

  CORVANESDK::ITransCtrl& ctrl() { return CORVANESDK::GetTransCtrlEngine(); }
  CORVANESDK::BOX_INFO BoxInfo() const;
  // Scripts the answer of act `act`.
  void Answer(int act, const QByteArray& body);
  void AnswerSilently(int act);
  // Runs the event loop until done() or the deadline.
  bool WaitFor(const std::function<bool()>& done, int timeoutMs = 12000);
  void Settle(int ms);
  bool WaitForState(int state, int timeoutMs = 12000);
  bool WaitForNotes(size_t count, int timeoutMs = 12000);
  bool WaitForCommand(int act, int count = 1, int timeoutMs = 12000);
  // Connects with NeedCode 0 and waits for CONNECTED and ENC_PARAM_CHANGED.
  ::testing::AssertionResult Connect();
  // Connect, then start a share the box accepts with this sharer.
  ::testing::AssertionResult ConnectAndShare(int sharer = 3);
  void SetTimers(int heartbeatMs, int handshakeMs, int responseMs);
  bool LogHas(const std::string& prefix);

  NoteRecorder recorder_;
  std::unique_ptr<SimBox> box_;

 private:
  // The box's parameters write the process-wide encoder options; every test
  // leaves them as it found them, failed or not.
  int savedProfile_ = 0;
  int savedKeyIntMs_ = 0;
};
