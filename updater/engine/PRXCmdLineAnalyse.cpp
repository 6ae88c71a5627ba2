#include "PRXCmdLineAnalyse.h"

#include "Base64.h"

bool PRXCmdLineAnalyse::Parse(const std::wstring& argument) {
  const size_t colon = argument.find(L':');
  if (colon == std::wstring::npos) return false;
  m_prefix = argument.substr(0, colon + 1);
  std::wstring decoded;
  if (!Base64DecodeText(argument.substr(colon + 1), decoded) || decoded.empty() || decoded[0] != L'-') return false;
  ParseString(decoded, L'\n');
  return true;
}

std::wstring PRXCmdLineAnalyse::ToCmdLine() const {
  std::wstring encoded;
  Base64EncodeText(ToString(L'\n'), encoded);
  return m_prefix + encoded;
}
