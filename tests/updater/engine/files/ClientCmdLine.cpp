// The client build's command-line writer, for the updater's parser to read:
// prints the argument PRXCmdLineAnalyse::ToCmdLine makes of "key=value"
// arguments (argv[1] is the prefix).
#include <cstdio>
#include <cstring>

#include "PRXCmdLineAnalyse.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  PRXCmdLineAnalyse line;
  line.prefix = QString::fromUtf8(argv[1]);
  for (int i = 2; i < argc; ++i) {
    const char* equals = strchr(argv[i], '=');
    if (!equals) return 2;
    line.SetValue(QString::fromUtf8(argv[i], static_cast<int>(equals - argv[i])), QString::fromUtf8(equals + 1));
  }
  printf("%s", line.ToCmdLine().toUtf8().constData());
  return 0;
}
