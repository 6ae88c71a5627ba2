// One file of an update description, and the unit the transfer engine moves.
#pragma once

#include <string>

#include "FingerItem.h"

enum { ZIP_NONE = 0, ZIP_ZLIB = 1, ZIP_ZF7Z = 2 };             // 3: an unknown keyword
enum { CHK_NONE = 0, CHK_VER = 1, CHK_MD5 = 2, CHK_IVER = 3 };  // 4: an unknown keyword

struct SFileItem : SFingerItem {
  SFileItem(int itemType, std::wstring fileName) : SFingerItem(itemType, std::move(fileName)) {}

  // The item's kind of check value for the file at that path: its version
  // record, its MD5, or `Ver` of its VER section; empty for any other kind.
  // Fails only when a version record or the file's bytes cannot be read.
  bool CalculateCheckValue(const std::wstring& path, std::wstring& out) const;
  // 0 match, -1 the size differs (a negative size is not compared), -2 the
  // check value differs (compared only when there is a check and a value).
  int CheckFile(int fileSize, const std::wstring* value) const;

  int size = -1;  // bytes, -1 unknown
  int fileTime = 0;  // last write, Unix seconds; 0 none
  std::wstring remoteName;  // relative to a server base path
  int zipType = ZIP_NONE;
  int transSize = -1;  // bytes on the wire, -1 unknown
  int checkType = CHK_NONE;
  std::wstring checkValue;  // upper case
};

struct SFileTransItem : SFileItem {
  SFileTransItem(std::wstring fileName, bool download)
      : SFileItem(download ? FIT_DOWNFILE : FIT_UPFILE, std::move(fileName)) {}

  std::string data;  // an upload's body
};
