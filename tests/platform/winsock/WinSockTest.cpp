// The own-address calls: counted start-up, and no name but our own resolved.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include <platform/WinSock.h>

namespace {

TEST(WinSock, CallsNeedStartup) {
  char name[256];
  EXPECT_EQ(gethostname(name, static_cast<int>(sizeof(name))), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
  EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
  WSADATA data;
  EXPECT_EQ(WSAStartup(MAKEWORD(1, 0), &data), WSAVERNOTSUPPORTED);
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 0), &data), 0);
  EXPECT_EQ(data.wVersion, MAKEWORD(2, 0));
  ASSERT_EQ(WSAStartup(MAKEWORD(3, 3), &data), 0);
  EXPECT_EQ(data.wVersion, MAKEWORD(2, 2));
  EXPECT_EQ(WSACleanup(), 0);
  EXPECT_EQ(gethostname(name, static_cast<int>(sizeof(name))), 0) << "one start-up is still counted";
  EXPECT_EQ(WSACleanup(), 0);
}

TEST(WinSock, OwnNameOnly) {
  WSADATA data;
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 0), &data), 0);
  char name[256];
  ASSERT_EQ(gethostname(name, static_cast<int>(sizeof(name))), 0);
  EXPECT_EQ(gethostname(name, 1), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEFAULT);
  ASSERT_EQ(gethostname(name, static_cast<int>(sizeof(name))), 0);
  hostent* host = gethostbyname(name);
  ASSERT_NE(host, nullptr) << "the test machine has loopback at least";
  EXPECT_EQ(host->h_addrtype, AF_INET);
  EXPECT_EQ(host->h_length, 4);
  ASSERT_NE(host->h_addr_list[0], nullptr);
  size_t count = 0;
  while (host->h_addr_list[count]) ++count;
  in_addr last;
  memcpy(&last, host->h_addr_list[count - 1], 4);
  in_addr first;
  memcpy(&first, host->h_addr_list[0], 4);
  if (count > 1) {
    EXPECT_NE(first.S_un.S_un_b.s_b1, 127) << "loopback comes last";
  }
  EXPECT_EQ(gethostbyname("example.invalid"), nullptr) << "never a DNS query";
  EXPECT_EQ(WSAGetLastError(), WSAHOST_NOT_FOUND);
  EXPECT_EQ(WSACleanup(), 0);
}

TEST(WinSock, DottedText) {
  in_addr address;
  address.S_un.S_un_b = {192, 0, 2, 254};
  EXPECT_STREQ(inet_ntoa(address), "192.0.2.254");
}

}  // namespace
