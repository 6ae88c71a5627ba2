// The update's progress: a window of the whole (0..100) that the current
// step fills, and the window of each file of a transfer by its size. The
// arithmetic is 64-bit: done x 100 leaves 32 bits past 21 MB.
#pragma once

#include <cstdint>

class CUpdateHandle;

class CUpdateProgress {
 public:
  // A file of unknown size counts as this much when windows are shared out.
  static constexpr int64_t kUnknownSize = 0x500000;

  explicit CUpdateProgress(CUpdateHandle* handle = nullptr) : m_pHandle(handle) {}
  void SetHandle(CUpdateHandle* handle) { m_pHandle = handle; }

  // Stores the window and reports its start.
  void SetProgressRange(int lo, int hi);
  // percent (0..100) of the current window, reported as a whole percent.
  void SetProgress(int percent);
  // A transfer's bytes: done of total, 0 while total is not positive.
  void OnTransProgress(int64_t total, int64_t done);

  int Lo() const { return m_nLo; }
  int Hi() const { return m_nHi; }
  // The window of one file inside [lo, hi] of a batch: the file covers
  // size bytes after done of total. A total of 0 (every file empty) gives
  // each file the whole window.
  static void FileWindow(int lo, int hi, int64_t done, int64_t size, int64_t total, int* fileLo, int* fileHi);
  // A record's transfer size as the share-out counts it.
  static int64_t CountedSize(int transSize) { return transSize < 0 ? kUnknownSize : transSize; }

 private:
  CUpdateHandle* m_pHandle;
  int m_nLo = 0;
  int m_nHi = 0;
};
