#include "Version.h"

#include <cwchar>

SVersion::SVersion(const std::wstring& versionText) : text(versionText) {
  int parts[4] = {0, 0, 0, 0};
  swscanf(versionText.c_str(), L"%d.%d.%d.%d", &parts[0], &parts[1], &parts[2], &parts[3]);
  value = 0;
  for (int part : parts) value = (value << 8) | (static_cast<uint32_t>(part) & 0xFF);
}
