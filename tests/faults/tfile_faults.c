/* A faulty drive for one test file, made from outside the program: preloaded into the Wine
 * process (LD_PRELOAD), it alters what read() and write() do on one Unix path. Wine turns each
 * ReadFile and WriteFile on a file into one read() or write() in the program's own process, on a
 * descriptor its server opened, so the file is recognised by what /proc/self/fd/N points at.
 * Wine 8 starts a Windows program with its parent's Unix environment, not the one passed to
 * CreateProcessW, so each process reads, once, three lines from $FERRULON_DRIVE_BASE/faults.settings:
 *   FERRULON_FAULT_FILE=the test file's Unix path, or *NAME for every path that ends in NAME
 *   FERRULON_FAULT=flip:PASS:OFFSET  the PASS-th read-back (from 1) gets the byte at OFFSET with its lowest bit flipped
 *                  slow:MS           a slow drive: the first read or write after each open of the file waits MS ms
 *                  count             no fault (as is anything else)
 *   FERRULON_FAULT_LOG=a file that gets "reads N bytes1 N writes N passes N written N" (passes: read-backs,
 *                      written: bytes) as a process that touched the test file exits
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

enum { MaxFds = 4096, Untested = 0, Other, Target, Reading };   /* Reading: a read-back has begun */
enum { Count, Flip, Slow };

static unsigned char FdKind[MaxFds], FdWaited[MaxFds];
static char TargetPath[4096], LogPath[4096], Fault[64];
static int Mode;
static long FaultPass, FaultAt, Passes, Reads, OneByteReads, Writes, Written;
static ssize_t (*RealRead)(int, void *, size_t), (*RealWrite)(int, const void *, size_t);
static int (*RealClose)(int);

static void WriteLog(void) {
  FILE *out = Reads + Writes > 0 ? fopen(LogPath, "a") : NULL;
  if (out) fprintf(out, "reads %ld bytes1 %ld writes %ld passes %ld written %ld\n", Reads, OneByteReads, Writes, Passes, Written),
      fclose(out);
}

static void Setup(void) {
  static char settings[16384], path[4096];
  if (RealRead) return;   /* once per process */
  RealRead = dlsym(RTLD_NEXT, "read");
  RealWrite = dlsym(RTLD_NEXT, "write");
  RealClose = dlsym(RTLD_NEXT, "close");
  const char *base = getenv("FERRULON_DRIVE_BASE");
  snprintf(path, sizeof path, "%s/faults.settings", base ? base : "/nonexistent");
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd >= 0) RealRead(fd, settings, sizeof settings - 1), RealClose(fd);
  sscanf(settings, "FERRULON_FAULT_FILE=%4095[^\n]\nFERRULON_FAULT=%63[^\n]\nFERRULON_FAULT_LOG=%4095[^\n]", TargetPath,
         Fault, LogPath);
  if (sscanf(Fault, "flip:%ld:%ld", &FaultPass, &FaultAt) == 2) Mode = Flip;
  else if (sscanf(Fault, "slow:%ld", &FaultAt) == 1) Mode = Slow;
  if (TargetPath[0] && LogPath[0]) atexit(WriteLog);
}

static int IsTarget(int fd) {
  if (!TargetPath[0] || fd < 0 || fd >= MaxFds) return 0;
  if (FdKind[fd] == Untested) {
    char link[64], where[4096] = "";
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = readlink(link, where, sizeof where - 1);
    const size_t tail = strlen(TargetPath + 1);
    const int any = TargetPath[0] == '*' && length >= (ssize_t)tail && strcmp(where + length - tail, TargetPath + 1) == 0;
    FdKind[fd] = length > 0 && (any || strcmp(where, TargetPath) == 0) ? Target : Other;
  }
  return FdKind[fd] != Other;
}

static void FirstTransferWaits(int fd) {
  if (Mode == Slow && !FdWaited[fd]) FdWaited[fd] = 1, usleep((useconds_t)FaultAt * 1000);
}

/* The program reads each file back through a descriptor of its own, from the file's start. */
ssize_t read(int fd, void *data, size_t size) {
  Setup();
  if (!IsTarget(fd)) return RealRead(fd, data, size);
  FirstTransferWaits(fd);
  if (FdKind[fd] == Target) FdKind[fd] = Reading, ++Passes;
  ++Reads;
  OneByteReads += size == 1;
  if (Passes != FaultPass) return RealRead(fd, data, size);
  off_t at = lseek(fd, 0, SEEK_CUR);
  ssize_t got = RealRead(fd, data, size);
  if (got > 0 && Mode == Flip && at <= FaultAt && FaultAt < at + got) ((unsigned char *)data)[FaultAt - at] ^= 1;
  return got;
}

ssize_t write(int fd, const void *data, size_t size) {
  Setup();
  if (!IsTarget(fd)) return RealWrite(fd, data, size);
  FirstTransferWaits(fd);
  ++Writes;
  ssize_t done = RealWrite(fd, data, size);
  Written += done > 0 ? done : 0;
  return done;
}

int close(int fd) {
  Setup();
  if (fd >= 0 && fd < MaxFds) FdKind[fd] = Untested, FdWaited[fd] = 0;
  return RealClose(fd);
}
