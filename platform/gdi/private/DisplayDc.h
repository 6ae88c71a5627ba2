// The display DC: the X root, read on a connection of its own.
#pragma once

#include <QRegion>
#include <memory>
#include <unordered_map>

#include "BitmapObject.h"
#include "GdiObject.h"
#include "ShmAttachment.h"
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
    ShmAttachment shm;
  };

  DisplayDc() = default;
  const Attachment* AttachedFor(const std::shared_ptr<BitmapObject>& bitmap);
  void DetachGone();
  bool ReadRowsInto(BitmapObject& bitmap, const Attachment& attachment, const QRect& rows, const QPoint& offset);
  bool ReadThroughScratch(BitmapObject& bitmap, const QRegion& target, const QPoint& offset);

  DisplayPtr display_;  // declared first: it dies last, after the attachments
  unsigned long root_ = 0;
  void* visual_ = nullptr;
  int depth_ = 0;
  bool hasShm_ = false;
  std::unordered_map<uint64_t, Attachment> attachments_;
};
