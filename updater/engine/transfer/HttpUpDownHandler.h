// What a transfer connection reports to its manager. Called on the
// connection's thread: an implementation only posts to its own thread.
#pragma once

#include <string>

class CHttpUpDownConnection;

// The parts of a response head the manager needs, all ints as the wire
// record has them.
struct SHttpHeadInfo {
  int rspStart = 0;
  int hasLength = 0;
  int length = 0;
  int hasTotal = 0;
  int total = 0;
};

class CHttpUpDownHandler {
 public:
  virtual void OnConnRecvHead(CHttpUpDownConnection* connection, int status, const SHttpHeadInfo* head) = 0;
  virtual void OnConnRecvData(CHttpUpDownConnection* connection, int position, const std::string& data) = 0;
  virtual void OnConnEvent(CHttpUpDownConnection* connection, int value) = 0;
  virtual void OnConnSpeed(CHttpUpDownConnection* connection, int speed) = 0;
  virtual void OnConnTaskEnd(CHttpUpDownConnection* connection, int result) = 0;

 protected:
  ~CHttpUpDownHandler() = default;
};
