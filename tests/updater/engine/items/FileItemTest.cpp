// A file item's own checks: the check value of a file on disk by the item's
// kind of check, and the comparison of a file's size and value with the item.
#include <gtest/gtest.h>

#include <string>

#include "FileItem.h"
#include "ScopedTempDir.h"

namespace {

const char kHello[] = "hello";  // MD5 5D41402ABC4B2A76B9719D911017C592
const wchar_t kHelloMd5[] = L"5D41402ABC4B2A76B9719D911017C592";

TEST(FileItemCalculateCheckValue, CheckValueKinds) {
  ScopedTempDir folder(ScopedTempDir::kAwkwardPrefix);
  ASSERT_TRUE(folder.ok());
  folder.put("a.dll", kHello);
  folder.put("skin.ini", "[VER]\r\nVer=2.0.0.7\r\n");
  const std::wstring dir = folder.wideFolder();
  SFileTransItem item(L"x", true);
  std::wstring value = L"stale";
  item.checkType = CHK_MD5;
  EXPECT_TRUE(item.CalculateCheckValue(dir + L"a.dll", value));
  EXPECT_EQ(value, kHelloMd5);
  item.checkType = CHK_IVER;
  EXPECT_TRUE(item.CalculateCheckValue(dir + L"skin.ini", value));
  EXPECT_EQ(value, L"2.0.0.7");
  EXPECT_TRUE(item.CalculateCheckValue(dir + L"a.dll", value));
  EXPECT_EQ(value, L"") << "IVER of a file without the key";
  item.checkType = CHK_NONE;
  value = L"stale";
  EXPECT_TRUE(item.CalculateCheckValue(dir + L"a.dll", value));
  EXPECT_EQ(value, L"");
  item.checkType = CHK_MD5;
  EXPECT_FALSE(item.CalculateCheckValue(dir + L"missing", value));
  item.checkType = CHK_VER;
  EXPECT_FALSE(item.CalculateCheckValue(dir + L"a.dll", value));
}

TEST(FileItemCheckFile, SizeThenValue) {
  SFileTransItem item(L"x", true);
  item.size = 5;
  item.checkType = CHK_MD5;
  item.checkValue = L"AB";
  const std::wstring same = L"AB", other = L"ab";
  EXPECT_EQ(item.CheckFile(5, &same), 0);
  EXPECT_EQ(item.CheckFile(6, &same), -1);
  EXPECT_EQ(item.CheckFile(6, &other), -1) << "size first";
  EXPECT_EQ(item.CheckFile(5, &other), -2) << "exact comparison";
  EXPECT_EQ(item.CheckFile(-1, &other), -2) << "a negative size is not compared";
  EXPECT_EQ(item.CheckFile(5, nullptr), 0);
  item.checkType = CHK_NONE;
  EXPECT_EQ(item.CheckFile(5, &other), 0);
}

}  // namespace
