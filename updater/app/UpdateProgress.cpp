#include "UpdateProgress.h"

#include "UpdateHandle.h"

void CUpdateProgress::SetProgressRange(int lo, int hi) {
  m_nLo = lo;
  m_nHi = hi;
  SetProgress(0);
}

void CUpdateProgress::SetProgress(int percent) {
  const int64_t value = m_nLo + static_cast<int64_t>(percent) * (m_nHi - m_nLo) / 100;
  if (m_pHandle) m_pHandle->OnUpdatePercent(static_cast<int>(value));
}

void CUpdateProgress::OnTransProgress(int64_t total, int64_t done) {
  SetProgress(total <= 0 ? 0 : static_cast<int>(done * 100 / total));
}

void CUpdateProgress::FileWindow(int lo, int hi, int64_t done, int64_t size, int64_t total, int* fileLo,
                                 int* fileHi) {
  if (total <= 0) {
    *fileLo = lo;
    *fileHi = hi;
    return;
  }
  const int64_t p1 = done * 100 / total;
  const int64_t p2 = (done + size) * 100 / total;
  const double step = (hi - lo) / 100.0;
  *fileLo = lo + static_cast<int>(p1 * step);
  *fileHi = lo + static_cast<int>(p2 * step);
}
