// The client's icons by kind: 0 the product, 1 About, 2 Exit.
#pragma once

#include <QString>

QString AppIconPath(int kind);
