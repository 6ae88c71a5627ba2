// Readable failure messages for the Qt value types the tests compare:
// GoogleTest finds these by argument lookup.
#pragma once

#include <QByteArray>
#include <QPoint>
#include <QSize>
#include <QString>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QByteArray& bytes, std::ostream* os) { *os << '"' << bytes.toStdString() << '"'; }
inline void PrintTo(const QSize& size, std::ostream* os) { *os << size.width() << "x" << size.height(); }
inline void PrintTo(const QPoint& point, std::ostream* os) { *os << "(" << point.x() << ", " << point.y() << ")"; }
