/* A faulty drive for the test file, made from outside the program: preloaded into Wine (LD_PRELOAD),
 * it counts or alters read() and write() on the file. Wine makes one of them for each ReadFile and
 * WriteFile, in the program's own process, on a descriptor its server opened: the file is known by
 * what /proc/self/fd/N points at. Wine 8 gives a program its parent's Unix environment, not the one
 * given to CreateProcessW, so each process reads its settings once from
 * $FERRULON_DRIVE_BASE/faults.settings: "ENDING FAULT", the file being any path ending in ENDING,
 *   flip:PASS:OFFSET  the PASS-th read-back (from 1) gets the byte at OFFSET with its lowest bit flipped
 *   slow:MS           the first read or write after each open of the file waits MS ms
 *   count             no fault (as is anything else).
 * A process that touched the file appends "reads N bytes1 N writes N passes N written N" (one-byte
 * reads, read-backs, bytes written) to $FERRULON_DRIVE_BASE/requests.log as it exits.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

enum { MaxFds = 4096, Untested = 0, Other, Target, Reading }; /* Reading: a read-back has begun */

static unsigned char FdKind[MaxFds], FdWaited[MaxFds];
static const char* Base;
static char Ending[4096], Fault[64];
static long FlipPass, FlipAt, SlowMs, Passes, Reads, OneByteReads, Writes, Written;
static ssize_t (*RealRead)(int, void*, size_t), (*RealWrite)(int, const void*, size_t);
static int (*RealClose)(int);

static void WriteLog(void) {
  char path[4200];
  snprintf(path, sizeof path, "%s/requests.log", Base);
  FILE* out = Reads + Writes > 0 ? fopen(path, "a") : NULL;
  if (out)
    fprintf(out, "reads %ld bytes1 %ld writes %ld passes %ld written %ld\n", Reads, OneByteReads, Writes, Passes,
            Written),
        fclose(out);
}

static void Setup(void) {
  static char settings[8192], path[4200];
  if (RealRead) return; /* once per process */
  RealRead = dlsym(RTLD_NEXT, "read");
  RealWrite = dlsym(RTLD_NEXT, "write");
  RealClose = dlsym(RTLD_NEXT, "close");
  if (!(Base = getenv("FERRULON_DRIVE_BASE"))) return;
  snprintf(path, sizeof path, "%s/faults.settings", Base);
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd >= 0) RealRead(fd, settings, sizeof settings - 1), RealClose(fd);
  if (sscanf(settings, "%4095s %63s", Ending, Fault) == 2) atexit(WriteLog);
  if (sscanf(Fault, "flip:%ld:%ld", &FlipPass, &FlipAt) != 2) sscanf(Fault, "slow:%ld", &SlowMs);
}

/* Whether fd is on the test file; on a slow drive, the first transfer after each open waits first. */
static int OnTestFile(int fd) {
  if (!Ending[0] || fd < 0 || fd >= MaxFds) return 0;
  if (FdKind[fd] == Untested) {
    char link[64], where[4096] = "";
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = readlink(link, where, sizeof where - 1), tail = (ssize_t)strlen(Ending);
    FdKind[fd] = length >= tail && strcmp(where + length - tail, Ending) == 0 ? Target : Other;
  }
  if (FdKind[fd] == Other) return 0;
  if (SlowMs && !FdWaited[fd]) FdWaited[fd] = 1, usleep((useconds_t)SlowMs * 1000);
  return 1;
}

/* The program reads each file back through a descriptor of its own, from the file's start. */
ssize_t read(int fd, void* data, size_t size) {
  Setup();
  if (!OnTestFile(fd)) return RealRead(fd, data, size);
  if (FdKind[fd] == Target) FdKind[fd] = Reading, ++Passes;
  ++Reads;
  OneByteReads += size == 1;
  const off_t at = Passes == FlipPass ? lseek(fd, 0, SEEK_CUR) : -1;
  const ssize_t got = RealRead(fd, data, size);
  if (at >= 0 && at <= FlipAt && FlipAt < at + got) ((unsigned char*)data)[FlipAt - at] ^= 1;
  return got;
}

ssize_t write(int fd, const void* data, size_t size) {
  Setup();
  if (!OnTestFile(fd)) return RealWrite(fd, data, size);
  ++Writes;
  const ssize_t done = RealWrite(fd, data, size);
  Written += done > 0 ? done : 0;
  return done;
}

int close(int fd) {
  Setup();
  if (fd >= 0 && fd < MaxFds) FdKind[fd] = Untested, FdWaited[fd] = 0;
  return RealClose(fd);
}
