// The WinSock calls the updater makes for its own address (ws2_32). No name
// is ever resolved through DNS: gethostbyname knows only the machine's own
// name, answered from the interface list.
#pragma once

#include <platform/Win32Types.h>

#define AF_INET 2
#define SOCKET_ERROR (-1)
#define WSANOTINITIALISED 10093
#define WSAEFAULT 10014
#define WSAVERNOTSUPPORTED 10092
#define WSAHOST_NOT_FOUND 11001
#define WSANO_DATA 11004

#define WSADESCRIPTION_LEN 256
#define WSASYS_STATUS_LEN 128

struct WSADATA {
  WORD wVersion;
  WORD wHighVersion;
  char szDescription[WSADESCRIPTION_LEN + 1];
  char szSystemStatus[WSASYS_STATUS_LEN + 1];
  unsigned short iMaxSockets;
  unsigned short iMaxUdpDg;
  char* lpVendorInfo;
};
typedef WSADATA* LPWSADATA;

// An IPv4 address in network byte order, as Windows lays it out.
struct in_addr {
  union {
    struct {
      BYTE s_b1, s_b2, s_b3, s_b4;
    } S_un_b;
    ULONG S_addr;
  } S_un;
};

struct hostent {
  char* h_name;
  char** h_aliases;
  short h_addrtype;
  short h_length;
  char** h_addr_list;  // null-terminated list of 4-byte addresses
};

// Counted: every successful WSAStartup needs its WSACleanup. Versions below
// 1.1 fail with WSAVERNOTSUPPORTED; anything above 2.2 gets 2.2.
int WSAStartup(WORD versionRequested, LPWSADATA data);
int WSACleanup();
int WSAGetLastError();

// Both need WSAStartup first (WSANOTINITIALISED), as on Windows. Pass the
// length as an int: where the C library's gethostname(char*, size_t) is
// visible too, a size_t argument would pick that one.
int gethostname(char* name, int nameLength);
// For the own host name (or "localhost"): the IPv4 addresses of the
// interfaces that are up, loopback last. Any other name: null with
// WSAHOST_NOT_FOUND; no address at all: null with WSANO_DATA. The record is
// the calling thread's, valid until its next call.
hostent* gethostbyname(const char* name);
// Dotted text in a buffer of the calling thread, valid until its next call.
char* inet_ntoa(in_addr address);
