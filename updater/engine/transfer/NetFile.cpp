#include "NetFile.h"

#include <platform/Strings.h>

#include <algorithm>
#include <cstring>

#include "FileHelpers.h"
#include "FileItem.h"
#include "HttpUpDownConnection.h"
#include "PathHelpers.h"
#include "Trace.h"

CNetFile::CNetFile(int fileId, SFileTransItem* item, const std::wstring& targetFolder)
    : m_nFileId(fileId), m_remoteName(item->remoteName), m_pItem(item), m_localPath(targetFolder + item->name) {
  std::wstring folder;
  SplitFilePath(m_localPath, &folder, nullptr);
  if (!folder.empty()) CreateDirTree(folder);
  ResetBlocks(item->transSize);
}

int CNetFile::GetTransSize() const { return m_pItem->transSize; }

bool CNetFile::SizeBuffer(size_t size) {
  if (size <= m_capacity) {
    m_size = std::max(m_size, size);
    return true;
  }
  // A known size is had once and exactly; one nobody listed grows by halves
  // again, up to its cap, so a long body is not copied at every piece.
  size_t capacity = size;
  if (GetTransSize() < 0 && m_capacity > 0)
    capacity = std::max(size, std::min<size_t>(m_capacity + m_capacity / 2, kMaxUnlistedSize));
  // The buffer is the one place a size from the network turns into memory:
  // a size that cannot be had fails this file, never the process.
  UniqueVirtualMemory buffer(static_cast<char*>(VirtualAlloc(nullptr, capacity, MEM_COMMIT, PAGE_READWRITE)));
  if (!buffer) {
    TraceErr("File[%d] no memory for %zu bytes!", m_nFileId, size);
    return false;
  }
  if (m_size) std::memcpy(buffer.get(), m_data.get(), m_size);
  m_data = std::move(buffer);
  m_capacity = capacity;
  m_size = size;
  return true;
}

bool CNetFile::ResetBlocks(int size) {
  if (m_pItem->type == FIT_DOWNFILE) DeleteFileEx(m_localPath, false);
  m_pItem->transSize = size;
  m_blocks.clear();
  ReleaseData();
  m_received = 0;
  bool ok = true;
  // An upload's body is the item's own; an empty or unknown size gets bytes
  // only as they arrive, so an empty file is written empty.
  if (m_pItem->type == FIT_DOWNFILE && size > 0) ok = SizeBuffer(static_cast<size_t>(size));
  SNetBlock block;
  block.start = 0;
  block.end = size;
  block.key = 0;
  m_blocks.emplace(0, block);
  return ok;
}

bool CNetFile::GetTask(CHttpUpDownConnection* connection, STransTask& task) {
  if (m_pItem->type == FIT_UPFILE) return false;
  for (auto& entry : m_blocks) {
    SNetBlock& block = entry.second;
    if (!block.connections.empty()) continue;
    const int length = block.Length();
    if (length <= kBlockSize) {
      block.connections.push_back(connection);
      task.file = this;
      task.start = block.start;
      task.end = block.end;
      task.key = block.key;
      return true;
    }
    // Cut from the end: the main connection streams from the start, so the
    // two meet without fetching the same bytes.
    block.end -= kBlockSize;
    SNetBlock tail;
    tail.start = block.end;
    tail.end = block.end + kBlockSize;
    tail.key = block.end;
    tail.connections.push_back(connection);
    m_blocks.emplace(tail.key, tail);
    task.file = this;
    task.start = tail.start;
    task.end = tail.end;
    task.key = tail.key;
    return true;
  }
  for (auto& entry : m_blocks) {
    SNetBlock& block = entry.second;
    if (static_cast<int>(block.connections.size()) >= kMaxConnPerBlock) continue;
    block.connections.push_back(connection);
    task.file = this;
    task.start = block.start;
    task.end = block.end;
    task.key = block.key;
    return true;
  }
  return false;
}

void CNetFile::ReleaseTask(CHttpUpDownConnection* connection, int key) {
  auto found = m_blocks.find(key);
  if (found == m_blocks.end()) return;
  auto& list = found->second.connections;
  list.erase(std::remove(list.begin(), list.end(), connection), list.end());
}

bool CNetFile::WriteBlkData(CHttpUpDownConnection* connection, int position, const std::string& data,
                            std::vector<CHttpUpDownConnection*>* cancelled) {
  const long long rangeStart = position;
  long long rangeEnd = rangeStart + static_cast<long long>(data.size());
  if (position < 0) {
    TraceErr("File[%d] WriteBlkData range err! (%d-%lld)", m_nFileId, position, rangeEnd);
    return false;
  }
  const int size = GetTransSize();
  if (size >= 0) {
    // Bytes past a known size are not the file's: dropped, never stored.
    rangeEnd = std::min<long long>(rangeEnd, size);
    if (rangeEnd <= rangeStart) return true;
  } else if (rangeEnd > kMaxUnlistedSize) {
    TraceErr("File[%d] WriteBlkData beyond the unlisted-size cap! (%d-%lld)", m_nFileId, position, rangeEnd);
    return false;
  }
  if (m_size < static_cast<size_t>(rangeEnd)) {
    const size_t before = m_size;
    if (!SizeBuffer(static_cast<size_t>(rangeEnd))) return false;
    // Only a size nobody listed grows here; a gap it leaves reads as zeros.
    if (static_cast<size_t>(rangeStart) > before) std::memset(m_data.get() + before, 0, rangeStart - before);
  }
  std::memcpy(m_data.get() + rangeStart, data.data(), static_cast<size_t>(rangeEnd - rangeStart));
  m_received = std::max(m_received, static_cast<size_t>(rangeEnd));

  for (auto it = m_blocks.begin(); it != m_blocks.end();) {
    SNetBlock& block = it->second;
    const long long start = std::max<long long>(block.start, rangeStart);
    long long end = std::min<long long>(block.end, rangeEnd);
    if (end < start) end = start;
    if (end == start) {
      ++it;
      continue;
    }
    if (start == block.start && end == block.end) {
      for (CHttpUpDownConnection* other : block.connections) {
        if (other == connection) continue;
        other->CancelTask();
        if (cancelled) cancelled->push_back(other);
      }
      it = m_blocks.erase(it);
      continue;
    }
    if (start == block.start) {
      block.start = static_cast<int>(end);
    } else if (end == block.end) {
      block.end = static_cast<int>(start);
    } else {
      TraceWar("File[%d] WriteBlkData waitDownBlk:%d-%d, dataRange:%d-%lld)", m_nFileId, block.start, block.end,
               position, rangeEnd);
    }
    ++it;
  }
  return true;
}

int CNetFile::GetDoneSize() const {
  const int size = GetTransSize();
  if (size < 0) return -1;
  long long pending = 0;
  for (const auto& entry : m_blocks) pending += entry.second.Length();
  return static_cast<int>(size - pending);
}

long long CNetFile::GetHeldSize() const {
  return GetTransSize() < 0 ? static_cast<long long>(m_received) : GetDoneSize();
}

bool CNetFile::IsComplete() const {
  const int size = GetTransSize();
  if (size < 0) return false;
  return GetDoneSize() >= size;
}

void CNetFile::ReleaseData() {
  m_data.reset();
  m_size = 0;
  m_capacity = 0;
}

void CNetFile::FinishUnknownSize() {
  m_pItem->transSize = static_cast<int>(m_received);
  m_blocks.clear();
  m_size = m_received;
}
