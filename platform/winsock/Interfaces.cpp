#include "Interfaces.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <unistd.h>

#include <climits>

bool UpIPv4Addresses(std::vector<uint32_t>* addresses) {
  addresses->clear();
  struct ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return false;
  std::vector<uint32_t> loopback;
  for (const struct ifaddrs* entry = list; entry; entry = entry->ifa_next) {
    if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET || !(entry->ifa_flags & IFF_UP)) continue;
    const uint32_t address = reinterpret_cast<const struct sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr;
    (entry->ifa_flags & IFF_LOOPBACK ? loopback : *addresses).push_back(address);
  }
  freeifaddrs(list);
  addresses->insert(addresses->end(), loopback.begin(), loopback.end());
  return true;
}

bool SystemHostName(std::string* name) {
  char buffer[HOST_NAME_MAX + 1];
  if (gethostname(buffer, sizeof(buffer)) != 0) return false;
  buffer[HOST_NAME_MAX] = '\0';
  *name = buffer;
  return true;
}
