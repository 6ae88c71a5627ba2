// settings_probe <ini path>: sets the settings file up as a client start does
// and prints the user id.
#include <cstdio>

#include <QString>

#include "FWIniDatFile.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  FWIniDatFile::instance().setFile(QString::fromLocal8Bit(argv[1]));
  printf("%s\n", qPrintable(GetUsrID()));
  return 0;
}
