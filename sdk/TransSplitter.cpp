#include "TransSplitter.h"

#include <algorithm>

void TransSplitter::append(const char* data, int size) {
  if (size <= 0) return;
  // The bytes of a body being read past need never be copied.
  if (m_skipLeft > 0 && buffered() == 0) {
    const int skipped = static_cast<int>(std::min<qint64>(m_skipLeft, size));
    m_skipLeft -= skipped;
    data += skipped;
    size -= skipped;
    if (size == 0) return;
  }
  m_buf.append(data, size);
}

TransSplitter::Step TransSplitter::next() {
  if (m_skipLeft > 0) {
    const int skipped = static_cast<int>(std::min<qint64>(m_skipLeft, buffered()));
    m_skipLeft -= skipped;
    m_pos += skipped;
    if (m_skipLeft > 0) {
      m_buf.clear();
      m_pos = 0;
      return Step::NeedMore;
    }
  }
  if (!m_haveHeader) {
    if (buffered() < TransHeader::kSize) {
      // Taken bytes are dropped only while waiting, so a burst of messages
      // costs one move of the remainder, not one per message.
      m_buf.remove(0, m_pos);
      m_pos = 0;
      return Step::NeedMore;
    }
    const char* p = m_buf.constData() + m_pos;
    m_header = TransHeader::parse(p);
    m_pos += TransHeader::kSize;
    if (m_header.oversized()) {
      m_skipLeft = m_header.length;
      return Step::Oversized;
    }
    if (!m_header.valid()) {
      m_badBytes = QByteArray(p, TransHeader::kSize);
      return Step::BadHeader;
    }
    m_haveHeader = true;
    return Step::Header;
  }
  if (buffered() < m_header.length) {
    m_buf.remove(0, m_pos);
    m_pos = 0;
    return Step::NeedMore;
  }
  m_body = m_buf.mid(m_pos, m_header.length);
  m_pos += m_header.length;
  m_haveHeader = false;
  return Step::Frame;
}

void TransSplitter::reset() {
  m_buf.clear();
  m_pos = 0;
  m_haveHeader = false;
  m_header = TransHeader();
  m_body.clear();
  m_badBytes.clear();
  m_skipLeft = 0;
}
