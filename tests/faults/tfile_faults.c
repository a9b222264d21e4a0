/* A faulty drive for one test file, made from outside the program: preloaded into the Wine
 * process (LD_PRELOAD), it alters what read() and write() do for one Unix path. Wine turns each
 * ReadFile and WriteFile on a regular file into one read() or write() in the program's own
 * process, and passes it descriptors it opened in the server, so files are recognised by what
 * /proc/self/fd/N points at, never by open().
 *
 *   FERRULON_FAULT_FILE  the Unix path of the test file (the drive's directory + /tfile.frl)
 *   FERRULON_FAULT       flip:PASS:OFFSET  the PASS-th read-back (from 1) sees the byte at OFFSET
 *                                          with its lowest bit flipped
 *                        cut:PASS:OFFSET   the PASS-th read-back ends at OFFSET (end of data)
 *                        full:OFFSET       writes at or past OFFSET fail with ENOSPC
 *                        count             no fault; only counts requests
 *   FERRULON_FAULT_LOG   optional file that receives "reads N bytes1 N writes N passes N" at exit
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <unistd.h>

enum { Untested = 0, Other = 1, Target = 2 };
enum { MaxFds = 4096 };

static unsigned char FdKind[MaxFds];
static unsigned char FdReading[MaxFds];   /* a read-back has begun on this descriptor */
static char TargetPath[4096];
static char Mode[8];
static long FaultPass, FaultOffset;
static long Passes, Reads, OneByteReads, Writes;
static int Ready;

static ssize_t (*RealRead)(int, void *, size_t);
static ssize_t (*RealPread)(int, void *, size_t, off_t);
static ssize_t (*RealWrite)(int, const void *, size_t);
static ssize_t (*RealPwrite)(int, const void *, size_t, off_t);
static int (*RealClose)(int);

static void WriteLog(void) {
  const char *log = getenv("FERRULON_FAULT_LOG");
  if (!log) return;
  FILE *out = fopen(log, "a");
  if (!out) return;
  fprintf(out, "reads %ld bytes1 %ld writes %ld passes %ld\n", Reads, OneByteReads, Writes, Passes);
  fclose(out);
}

static void Setup(void) {
  if (Ready) return;
  Ready = 1;
  RealRead = dlsym(RTLD_NEXT, "read");
  RealPread = dlsym(RTLD_NEXT, "pread64");
  RealWrite = dlsym(RTLD_NEXT, "write");
  RealPwrite = dlsym(RTLD_NEXT, "pwrite64");
  RealClose = dlsym(RTLD_NEXT, "close");
  const char *path = getenv("FERRULON_FAULT_FILE");
  const char *fault = getenv("FERRULON_FAULT");
  if (!path || !fault) return;
  snprintf(TargetPath, sizeof TargetPath, "%s", path);
  if (sscanf(fault, "flip:%ld:%ld", &FaultPass, &FaultOffset) == 2) strcpy(Mode, "flip");
  else if (sscanf(fault, "cut:%ld:%ld", &FaultPass, &FaultOffset) == 2) strcpy(Mode, "cut");
  else if (sscanf(fault, "full:%ld", &FaultOffset) == 1) strcpy(Mode, "full");
  else strcpy(Mode, "count");
  if (getenv("FERRULON_FAULT_LOG")) atexit(WriteLog);
}

static int IsTarget(int fd) {
  if (TargetPath[0] == 0 || fd < 0 || fd >= MaxFds) return 0;
  if (FdKind[fd] == Untested) {
    char link[64], where[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    ssize_t n = readlink(link, where, sizeof where - 1);
    where[n > 0 ? n : 0] = 0;
    FdKind[fd] = strcmp(where, TargetPath) == 0 ? Target : Other;
  }
  return FdKind[fd] == Target;
}

/* Applies the read faults to `got` bytes that were read at `at`. */
static ssize_t AfterRead(int fd, void *data, ssize_t got, off_t at) {
  if (at == 0 && !FdReading[fd]) {
    FdReading[fd] = 1;
    ++Passes;
  }
  if (got <= 0 || Passes != FaultPass) return got;
  if (strcmp(Mode, "flip") == 0 && at <= FaultOffset && FaultOffset < at + got)
    ((unsigned char *)data)[FaultOffset - at] ^= 1;
  if (strcmp(Mode, "cut") == 0) {
    if (at >= FaultOffset) return 0;
    if (at + got > FaultOffset) return FaultOffset - at;
  }
  return got;
}

ssize_t read(int fd, void *data, size_t size) {
  Setup();
  if (!IsTarget(fd)) return RealRead(fd, data, size);
  ++Reads;
  if (size == 1) ++OneByteReads;
  off_t at = lseek(fd, 0, SEEK_CUR);
  ssize_t got = RealRead(fd, data, size);
  ssize_t kept = AfterRead(fd, data, got, at);
  if (kept >= 0 && kept < got) lseek(fd, at + kept, SEEK_SET);
  return kept;
}

ssize_t pread64(int fd, void *data, size_t size, off_t at) {
  Setup();
  if (!IsTarget(fd)) return RealPread(fd, data, size, at);
  ++Reads;
  if (size == 1) ++OneByteReads;
  return AfterRead(fd, data, RealPread(fd, data, size, at), at);
}

static int WriteFails(int fd, off_t at, size_t size) {
  return strcmp(Mode, "full") == 0 && at + (off_t)size > FaultOffset && fd >= 0;
}

ssize_t write(int fd, const void *data, size_t size) {
  Setup();
  if (!IsTarget(fd)) return RealWrite(fd, data, size);
  ++Writes;
  if (WriteFails(fd, lseek(fd, 0, SEEK_CUR), size)) {
    errno = ENOSPC;
    return -1;
  }
  return RealWrite(fd, data, size);
}

ssize_t pwrite64(int fd, const void *data, size_t size, off_t at) {
  Setup();
  if (!IsTarget(fd)) return RealPwrite(fd, data, size, at);
  ++Writes;
  if (WriteFails(fd, at, size)) {
    errno = ENOSPC;
    return -1;
  }
  return RealPwrite(fd, data, size, at);
}

int close(int fd) {
  Setup();
  if (fd >= 0 && fd < MaxFds) {
    FdKind[fd] = Untested;
    FdReading[fd] = 0;
  }
  return RealClose(fd);
}
