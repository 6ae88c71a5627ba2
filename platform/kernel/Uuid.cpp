#include <platform/Threads.h>
#include <platform/Log.h>

#include <sys/random.h>

#include <QtGlobal>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "PosixIo.h"

RPC_STATUS UuidCreate(UUID* uuid) {
  BYTE bytes[16];
  size_t got = 0;
  while (got < sizeof bytes) {
    const ssize_t n = RetryOnEintr([&] { return getrandom(bytes + got, sizeof bytes - got, 0); });
    if (n < 0) {
      PlatformLog("UuidCreate: getrandom failed, errno %d", errno);
      return RPC_S_UUID_NO_ADDRESS;
    }
    got += static_cast<size_t>(n);
  }
  bytes[6] = static_cast<BYTE>((bytes[6] & 0x0F) | 0x40);  // version 4: random
  bytes[8] = static_cast<BYTE>((bytes[8] & 0x3F) | 0x80);  // the RFC 4122 variant
  uuid->Data1 = (DWORD{bytes[0]} << 24) | (DWORD{bytes[1]} << 16) | (DWORD{bytes[2]} << 8) | bytes[3];
  uuid->Data2 = static_cast<WORD>((bytes[4] << 8) | bytes[5]);
  uuid->Data3 = static_cast<WORD>((bytes[6] << 8) | bytes[7]);
  std::memcpy(uuid->Data4, bytes + 8, 8);
  return RPC_S_OK;
}

RPC_STATUS UuidToStringW(const UUID* uuid, RPC_WSTR* text) {
  if (!uuid || !text) return RPC_S_OUT_OF_MEMORY;
  char narrow[37];
  std::snprintf(narrow, sizeof narrow, "%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x",
                static_cast<unsigned>(uuid->Data1), uuid->Data2, uuid->Data3, uuid->Data4[0], uuid->Data4[1],
                uuid->Data4[2], uuid->Data4[3], uuid->Data4[4], uuid->Data4[5], uuid->Data4[6], uuid->Data4[7]);
  auto* wide = new (std::nothrow) WCHAR[sizeof narrow];
  if (!wide) return RPC_S_OUT_OF_MEMORY;
  for (size_t i = 0; i < sizeof narrow; ++i) wide[i] = static_cast<WCHAR>(narrow[i]);
  *text = wide;
  return RPC_S_OK;
}

RPC_STATUS RpcStringFreeW(RPC_WSTR* text) {
  if (text) {
    delete[] * text;
    *text = nullptr;
  }
  return RPC_S_OK;
}
