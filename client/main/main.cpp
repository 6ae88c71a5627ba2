// The Corvane program: the application object runs it.
#include "App.h"

int main(int argc, char** argv) {
  int result = theApp.init(argc, argv);
  if (result == 0) result = theApp.exec();
  if (result == kInitStopDone) result = 0;
  // A stop that could not end the running client is a failure.
  if (result == kInitStopFailed) result = 1;
  theApp.exit(result);
}
