#include "CmdParamDeal.h"

CmdParamDeal::~CmdParamDeal() = default;

// One pass with the item rules of ExtractSubStr: item i runs from the i-th
// delimiter to the next; it is missing once the i-th delimiter is the last
// character.
void CmdParamDeal::ParseString(const std::wstring& text, wchar_t delimiter) {
  // ExtractSubStr sees a C string: it ends at the first zero character.
  const std::wstring whole = text.substr(0, text.find(L'\0'));
  size_t start = 0;
  for (;;) {
    const size_t end = whole.find(delimiter, start);
    ParseItem(whole.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
    if (end == std::wstring::npos || end + 1 == whole.size()) return;
    start = end + 1;
  }
}

void CmdParamDeal::ParseItem(const std::wstring& item) {
  const size_t equals = item.find(L'=');
  if (equals == std::wstring::npos) {
    m_params[item].clear();
    return;
  }
  m_params[item.substr(0, equals)] = item.substr(equals + 1);
}

bool CmdParamDeal::GetValue(const std::wstring& key, std::wstring& value) const {
  const auto it = m_params.find(key);
  if (it == m_params.end()) return false;
  value = it->second;
  return true;
}

std::wstring CmdParamDeal::ToString(wchar_t delimiter) const {
  std::wstring text;
  for (const auto& entry : m_params) {
    text += entry.first;
    text += L'=';
    text += entry.second;
    text += delimiter;
  }
  return text;
}
