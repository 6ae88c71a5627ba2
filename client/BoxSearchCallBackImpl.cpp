#include "BoxSearchCallBackImpl.h"

CBoxSearchCallBackImpl& CBoxSearchCallBackImpl::instance() {
  static CBoxSearchCallBackImpl adapter;
  return adapter;
}

void CBoxSearchCallBackImpl::onBoxJoin(const CORVANESDK::BOX_INFO& box) {
  CORVANESDK::MEETING_BOX_INFO meetingBox;
  CORVANESDK::BoxInfoToMeetingBox(box, meetingBox);
  emit s_boxJoin(meetingBox);
}
