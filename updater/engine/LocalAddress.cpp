#include "LocalAddress.h"

#include <platform/WinSock.h>

#include <cstring>

bool GetLocalIPv4(char* buffer, size_t size) {
  if (!buffer || size == 0) return false;
  buffer[0] = '\0';
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 0), &data) != 0) return false;
  bool found = false;
  char name[256];
  if (gethostname(name, static_cast<int>(sizeof(name))) == 0) {
    hostent* host = gethostbyname(name);
    if (host && host->h_addr_list && host->h_addr_list[0]) {
      in_addr address;
      memcpy(&address, host->h_addr_list[0], sizeof(address));
      const char* dotted = inet_ntoa(address);
      if (strlen(dotted) < size) {
        strcpy(buffer, dotted);
        found = true;
      }
    }
  }
  WSACleanup();
  return found;
}
