#include <platform/WinSock.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Interfaces.h"

namespace {

std::atomic<int> s_startups{0};
thread_local int t_lastError = 0;

int Fail(int error) {
  t_lastError = error;
  return SOCKET_ERROR;
}

struct HostRecord {
  std::string name;
  std::vector<in_addr> addresses;
  std::vector<char*> addressList;
  char* aliases[1] = {nullptr};
  hostent entry{};
};
thread_local HostRecord t_host;
thread_local char t_dotted[16];

}  // namespace

int WSAStartup(WORD versionRequested, LPWSADATA data) {
  if (!data) return WSAEFAULT;
  const int major = LOBYTE(versionRequested);
  const int minor = static_cast<BYTE>(versionRequested >> 8);
  if (major < 1 || (major == 1 && minor < 1)) return WSAVERNOTSUPPORTED;
  *data = WSADATA{};
  data->wVersion = major > 2 || (major == 2 && minor > 2) ? MAKEWORD(2, 2) : versionRequested;
  data->wHighVersion = MAKEWORD(2, 2);
  snprintf(data->szDescription, sizeof(data->szDescription), "WinSock 2.0");
  snprintf(data->szSystemStatus, sizeof(data->szSystemStatus), "Running");
  ++s_startups;
  return 0;
}

int WSACleanup() {
  int current = s_startups.load();
  while (current > 0 && !s_startups.compare_exchange_weak(current, current - 1)) {
  }
  if (current <= 0) return Fail(WSANOTINITIALISED);
  return 0;
}

int WSAGetLastError() { return t_lastError; }

int gethostname(char* name, int nameLength) {
  if (s_startups.load() <= 0) return Fail(WSANOTINITIALISED);
  std::string own;
  if (!name || nameLength <= 0 || !SystemHostName(&own)) return Fail(WSAEFAULT);
  if (own.size() >= static_cast<size_t>(nameLength)) return Fail(WSAEFAULT);
  memcpy(name, own.c_str(), own.size() + 1);
  return 0;
}

hostent* gethostbyname(const char* name) {
  if (s_startups.load() <= 0) {
    Fail(WSANOTINITIALISED);
    return nullptr;
  }
  std::string own;
  if (!name || !SystemHostName(&own) || (own != name && strcmp(name, "localhost") != 0)) {
    Fail(WSAHOST_NOT_FOUND);
    return nullptr;
  }
  std::vector<uint32_t> addresses;
  if (!UpIPv4Addresses(&addresses) || addresses.empty()) {
    Fail(WSANO_DATA);
    return nullptr;
  }
  HostRecord& host = t_host;
  host.name = name;
  host.addresses.resize(addresses.size());
  host.addressList.clear();
  for (size_t i = 0; i < addresses.size(); ++i) {
    host.addresses[i].S_un.S_addr = addresses[i];
    host.addressList.push_back(reinterpret_cast<char*>(&host.addresses[i]));
  }
  host.addressList.push_back(nullptr);
  host.entry.h_name = &host.name[0];
  host.entry.h_aliases = host.aliases;
  host.entry.h_addrtype = AF_INET;
  host.entry.h_length = 4;
  host.entry.h_addr_list = host.addressList.data();
  return &host.entry;
}

char* inet_ntoa(in_addr address) {
  const auto& b = address.S_un.S_un_b;
  snprintf(t_dotted, sizeof(t_dotted), "%u.%u.%u.%u", b.s_b1, b.s_b2, b.s_b3, b.s_b4);
  return t_dotted;
}
