// Splits the byte stream of a command connection back into messages. Fed
// whatever the socket delivered; every call of next() takes one step.
#pragma once

#include <QByteArray>

#include "TransHeader.h"

class TransSplitter {
 public:
  enum class Step {
    NeedMore,   // nothing more can be taken until more bytes arrive
    Header,     // a valid header was taken; its body follows
    Frame,      // header() and body() hold one whole message
    BadHeader,  // 12 bytes that are no valid header were dropped (badBytes())
    Oversized,  // a header whose body is above the bound: the body is read
                // past as it comes, and no message comes of it
  };

  void append(const char* data, int size);
  void append(const QByteArray& data) { append(data.constData(), data.size()); }
  Step next();
  void reset();

  const TransHeader& header() const { return m_header; }
  const QByteArray& body() const { return m_body; }
  const QByteArray& badBytes() const { return m_badBytes; }
  int buffered() const { return m_buf.size() - m_pos; }
  // Bytes of an oversized body still to be read past.
  qint64 skipping() const { return m_skipLeft; }

 private:
  QByteArray m_buf;
  int m_pos = 0;  // bytes of m_buf already taken
  bool m_haveHeader = false;
  TransHeader m_header;
  QByteArray m_body;
  QByteArray m_badBytes;
  qint64 m_skipLeft = 0;
};
