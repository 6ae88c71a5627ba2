// Readable failure messages for the Qt value types the tests compare.
#pragma once

#include <ostream>

#include <QPoint>
#include <QSize>

inline void PrintTo(const QSize& size, std::ostream* os) { *os << size.width() << "x" << size.height(); }
inline void PrintTo(const QPoint& point, std::ostream* os) { *os << "(" << point.x() << ", " << point.y() << ")"; }
