// The SDK's protocol thread reports through queued signals and the simulated
// box runs on this thread's event loop: both need an application object.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "CorvaneSDK.h"
#include "SessionFixture.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  CORVANESDK::GetCorvaneSDK().init(&SessionFixture::Log(), nullptr);
  const int rc = RUN_ALL_TESTS();
  // The SDK's objects outlive main; they must not log into a sink that is
  // gone by then.
  CORVANESDK::GetCorvaneSDK().init(nullptr, nullptr);
  return rc;
}
