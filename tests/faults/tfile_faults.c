/* A faulty drive for one test file, made from outside the program: preloaded into the Wine
 * process (LD_PRELOAD), it alters what read() and write() do for one Unix path. Wine turns each
 * ReadFile and WriteFile on a regular file into one read() or write() in the program's own
 * process, on descriptors opened in its server, so the file is recognised by what
 * /proc/self/fd/N points at, never by open().
 *
 *   FERRULON_FAULT_FILE  the Unix path of the test file (the drive's directory + /tfile.frl)
 *   FERRULON_FAULT       flip:PASS:OFFSET  the PASS-th read-back (from 1) sees the byte at OFFSET
 *                                          with its lowest bit flipped
 *                        cut:PASS:OFFSET   the PASS-th read-back ends at OFFSET (end of data)
 *                        full:OFFSET       room for OFFSET bytes of the file: a write that
 *                                          crosses OFFSET is cut short there, and writes at or
 *                                          past it fail with ENOSPC, as on a full file system
 *                        count             no fault; only counts requests
 *   FERRULON_FAULT_LOG   optional file that receives "reads N bytes1 N writes N passes N written N"
 *                        (written: bytes) at exit, from a process that touched the file
 *
 * Wine 8 starts a Windows program with its parent's Unix environment, not with the block the
 * parent passes to CreateProcessW. So a test program that starts ferrulon.exe runs with this
 * library preloaded and no fault, and for each start writes the settings as NAME=value lines to a
 * file that each process reads once, at its first read, write or close: FERRULON_FAULT_SETTINGS,
 * by default this library's path with .so replaced by .settings. The environment's values win.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <unistd.h>

enum { Untested = 0, Other = 1, Target = 2 };
enum { MaxFds = 4096 };
enum { Count, Flip, Cut, Full };

static unsigned char FdKind[MaxFds];
static unsigned char FdReading[MaxFds]; /* a read-back has begun on this descriptor */
static char TargetPath[4096], LogPath[4096];
static int Mode, Ready;
static long FaultPass, FaultOffset;
static long Passes, Reads, OneByteReads, Writes, BytesWritten;

static ssize_t (*RealRead)(int, void *, size_t);
static ssize_t (*RealWrite)(int, const void *, size_t);
static int (*RealClose)(int);

static void WriteLog(void) {
  if (Reads == 0 && Writes == 0) return;
  FILE *out = fopen(LogPath, "a");
  if (!out) return;
  fprintf(out, "reads %ld bytes1 %ld writes %ld passes %ld written %ld\n", Reads, OneByteReads, Writes, Passes,
          BytesWritten);
  fclose(out);
}

/* The value of NAME: from the environment, else from a NAME=value line of the settings. */
static void Setting(const char *settings, const char *name, char *value, size_t size) {
  const char *set = getenv(name), *line = settings;
  size_t length = strlen(name);
  value[0] = 0;
  if (set) {
    snprintf(value, size, "%s", set);
    return;
  }
  for (; line && *line; line = strchr(line, '\n') ? strchr(line, '\n') + 1 : NULL) {
    if (strncmp(line, name, length) != 0 || line[length] != '=') continue;
    line += length + 1;
    size_t copied = strcspn(line, "\r\n");
    snprintf(value, size, "%.*s", (int)copied, line);
    return;
  }
}

static void Setup(void) {
  if (Ready) return;
  Ready = 1;
  RealRead = dlsym(RTLD_NEXT, "read");
  RealWrite = dlsym(RTLD_NEXT, "write");
  RealClose = dlsym(RTLD_NEXT, "close");
  static char settings[16384], path[4096], fault[64];
  Dl_info self;
  if (getenv("FERRULON_FAULT_SETTINGS")) snprintf(path, sizeof path, "%s", getenv("FERRULON_FAULT_SETTINGS"));
  else if (dladdr((void *)Setup, &self) && self.dli_fname && strstr(self.dli_fname, ".so"))
    snprintf(path, sizeof path, "%.*s.settings", (int)(strstr(self.dli_fname, ".so") - self.dli_fname), self.dli_fname);
  int fd = path[0] ? open(path, O_RDONLY | O_CLOEXEC) : -1;
  if (fd >= 0) {
    ssize_t got = RealRead(fd, settings, sizeof settings - 1);
    settings[got > 0 ? got : 0] = 0;
    RealClose(fd);
  }
  Setting(settings, "FERRULON_FAULT_FILE", TargetPath, sizeof TargetPath);
  Setting(settings, "FERRULON_FAULT", fault, sizeof fault);
  Setting(settings, "FERRULON_FAULT_LOG", LogPath, sizeof LogPath);
  if (!fault[0]) TargetPath[0] = 0;
  if (sscanf(fault, "flip:%ld:%ld", &FaultPass, &FaultOffset) == 2) Mode = Flip;
  else if (sscanf(fault, "cut:%ld:%ld", &FaultPass, &FaultOffset) == 2) Mode = Cut;
  else if (sscanf(fault, "full:%ld", &FaultOffset) == 1) Mode = Full;
  if (TargetPath[0] && LogPath[0]) atexit(WriteLog);
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

ssize_t read(int fd, void *data, size_t size) {
  Setup();
  if (!IsTarget(fd)) return RealRead(fd, data, size);
  ++Reads;
  if (size == 1) ++OneByteReads;
  off_t at = lseek(fd, 0, SEEK_CUR);
  if (at == 0 && !FdReading[fd]) {
    FdReading[fd] = 1;
    ++Passes;
  }
  ssize_t got = RealRead(fd, data, size), kept = got;
  if (got > 0 && Passes == FaultPass) {
    if (Mode == Flip && at <= FaultOffset && FaultOffset < at + got) ((unsigned char *)data)[FaultOffset - at] ^= 1;
    if (Mode == Cut) kept = at >= FaultOffset ? 0 : at + got > FaultOffset ? FaultOffset - at : got;
  }
  if (kept < got) lseek(fd, at + kept, SEEK_SET);
  return kept;
}

/* On a full drive a write that crosses the room left is cut short; one past it fails. */
ssize_t write(int fd, const void *data, size_t size) {
  Setup();
  if (!IsTarget(fd)) return RealWrite(fd, data, size);
  ++Writes;
  off_t at = lseek(fd, 0, SEEK_CUR);
  if (Mode == Full && size > 0 && at + (off_t)size > FaultOffset) {
    if (at >= FaultOffset) {
      errno = ENOSPC;
      return -1;
    }
    size = (size_t)(FaultOffset - at);
  }
  ssize_t done = RealWrite(fd, data, size);
  if (done > 0) BytesWritten += done;
  return done;
}

int close(int fd) {
  Setup();
  if (fd >= 0 && fd < MaxFds) FdKind[fd] = Untested, FdReading[fd] = 0;
  return RealClose(fd);
}
