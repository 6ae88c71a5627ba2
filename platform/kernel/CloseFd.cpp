#include <platform/Unique.h>

#include <unistd.h>

void CloseFd(int fd) { close(fd); }
