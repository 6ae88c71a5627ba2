// One file in transfer: its item, where it goes, the bytes received so far
// (in memory, at their offsets) and the block map of what is still missing.
// Every block-map call runs on the transfer manager's thread.
#pragma once

#include <platform/KernelOwners.h>

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "NetBlock.h"
#include "TransTask.h"

struct SFileTransItem;

class CNetFile {
 public:
  enum { kBlockSize = 10240, kMaxConnPerBlock = 3 };
  // A size no one listed (the description gave none) grows the buffer at
  // most this far, so an endless body cannot take the process's memory.
  static const int kMaxUnlistedSize = 512 * 1024 * 1024;

  CNetFile(int fileId, SFileTransItem* item, const std::wstring& targetFolder);
  CNetFile(const CNetFile&) = delete;
  CNetFile& operator=(const CNetFile&) = delete;

  int GetTransSize() const;
  // False (and an empty map) when the buffer for `size` cannot be had.
  bool ResetBlocks(int size);
  bool GetTask(CHttpUpDownConnection* connection, STransTask& task);
  void ReleaseTask(CHttpUpDownConnection* connection, int key);
  // Connections told to cancel because their block was completed by this
  // write are appended to `cancelled` when given.
  bool WriteBlkData(CHttpUpDownConnection* connection, int position, const std::string& data,
                    std::vector<CHttpUpDownConnection*>* cancelled = nullptr);
  int GetDoneSize() const;
  // What the file holds: the done size when its size is known, else one past
  // the highest byte received. It grows only with bytes the file did not have.
  long long GetHeldSize() const;
  bool IsComplete() const;
  // A file of unknown size whose body ended cleanly: what arrived is the file.
  void FinishUnknownSize();

  int FileId() const { return m_nFileId; }
  SFileTransItem* Item() const { return m_pItem; }
  const std::wstring& RemoteName() const { return m_remoteName; }
  const std::wstring& LocalPath() const { return m_localPath; }
  // The file's bytes at their offsets: the one buffer the decode thread
  // writes from.
  std::string_view Data() const { return std::string_view(m_data.get(), m_size); }
  // Once the bytes are on disk: a batch of files would otherwise keep every
  // file of the batch in memory until its end.
  void ReleaseData();
  const std::map<int, SNetBlock>& Blocks() const { return m_blocks; }

 private:
  bool SizeBuffer(size_t size);

  int m_nFileId;
  std::wstring m_remoteName;
  SFileTransItem* m_pItem;
  // Sized once when the size is known and never filled in advance: a page
  // costs memory only once bytes arrive in it, so the records of a batch hold
  // nothing until their transfer, and a file costs its own size, once.
  // Whole pages of its own: a large file is held in huge pages, so filling it
  // and writing it out costs a fault and a page walk per 2 MiB, not per 4 KiB.
  UniqueVirtualMemory m_data;
  size_t m_size = 0;      // bytes the buffer holds for the file
  size_t m_capacity = 0;  // bytes allocated; above m_size only while a size nobody listed grows
  size_t m_received = 0;  // one past the highest byte written
  std::wstring m_localPath;
  std::map<int, SNetBlock> m_blocks;
};
