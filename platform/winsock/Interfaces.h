// The machine's own IPv4 addresses, kept apart from WinSock.cpp: the system's
// socket headers and ours name the same records.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Addresses (network byte order) of the interfaces that are up, loopback
// ones last; false when the list cannot be read.
bool UpIPv4Addresses(std::vector<uint32_t>* addresses);

// The host name, or false with errno set.
bool SystemHostName(std::string* name);
