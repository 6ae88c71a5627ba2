// An ordered key/value map read from "key=value" items, the updater's build.
#pragma once

#include <map>
#include <string>

class CmdParamDeal {
 public:
  CmdParamDeal() = default;
  virtual ~CmdParamDeal();

  // Adds every item of text cut at delimiter; the map is not cleared first.
  // A trailing delimiter ends the list; two in a row make an empty item; an
  // empty text is one empty item.
  void ParseString(const std::wstring& text, wchar_t delimiter);
  // Key before the first '=', value after it (further '=' kept); no '=' makes
  // the whole item a key with an empty value. A later item wins.
  void ParseItem(const std::wstring& item);

  // The value is left untouched when the key is absent.
  bool GetValue(const std::wstring& key, std::wstring& value) const;
  // key=value and the delimiter for every entry, in key order.
  std::wstring ToString(wchar_t delimiter) const;

 protected:
  // wstring's operator< compares code units, case-sensitively, as wcscmp.
  std::map<std::wstring, std::wstring> m_params;
};
