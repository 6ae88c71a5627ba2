// Answers the message boxes another program shows on the test's X server, as
// a user would: a shown top-level window whose title is one of the watched
// captions gets the focus and the Return key, which presses its default
// button. The answered captions are kept, in order.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct _XDisplay;

class BoxAnswerer {
 public:
  explicit BoxAnswerer(std::vector<std::string> captions);
  ~BoxAnswerer();
  BoxAnswerer(const BoxAnswerer&) = delete;
  BoxAnswerer& operator=(const BoxAnswerer&) = delete;

  bool ok() const { return display_ != nullptr; }
  // Ends the watch; what was answered stays readable.
  void Stop();
  std::vector<std::string> Answered() const;

 private:
  void Watch();
  // A shown top-level window with a watched title, 0 for none.
  unsigned long FindBox(std::string* title);
  void Answer(unsigned long window);

  std::vector<std::string> captions_;
  _XDisplay* display_ = nullptr;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  mutable std::mutex lock_;
  std::vector<std::string> answered_;
};
