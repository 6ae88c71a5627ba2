// Device contexts: the display (the X root on a connection of its own) and
// memory DCs that draw into a selected bitmap.
#pragma once

#include <QRegion>
#include <memory>
#include <unordered_map>

#include "BitmapObject.h"
#include "GdiObject.h"
#include "XConnection.h"

class DisplayDc : public GdiObject {
 public:
  // Null (logged) without an X server or with a screen format we cannot read.
  static std::shared_ptr<DisplayDc> Open();
  ~DisplayDc() override;

  // Asked each time: monitors come and go while a DC lives for a whole share.
  QRect rootRect() const;
  // Copies the screen pixels of target (bitmap coordinates) moved by offset
  // into the bitmap; pixels outside target are left as they were.
  bool CopyTo(const std::shared_ptr<BitmapObject>& bitmap, const QRegion& target, const QPoint& offset);

 private:
  struct Attachment {
    std::weak_ptr<BitmapObject> bitmap;
    unsigned long segment = 0;
    int shmId = -1;
    void* address = nullptr;
  };

  DisplayDc() = default;
  const Attachment* AttachedFor(const std::shared_ptr<BitmapObject>& bitmap);
  void DetachGone();
  bool ReadRowsInto(BitmapObject& bitmap, const Attachment& attachment, const QRect& rows, const QPoint& offset);
  bool ReadThroughScratch(BitmapObject& bitmap, const QRegion& target, const QPoint& offset);

  DisplayPtr display_;  // declared first: it dies last
  unsigned long root_ = 0;
  void* visual_ = nullptr;
  int depth_ = 0;
  bool hasShm_ = false;
  std::unordered_map<uint64_t, Attachment> attachments_;
};

class MemoryDc : public GdiObject {
 public:
  std::shared_ptr<BitmapObject> bitmap;  // the stock bitmap when nothing else is selected
  HGDIOBJ selectedHandle = nullptr;
  bool hasClip = false;
  QRegion clip;  // bitmap coordinates
};

// The 1x1 bitmap a new memory DC holds; deleting it does nothing.
HBITMAP StockBitmapHandle();
