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
 *                        full:OFFSET       a drive with room for OFFSET bytes of the file: a write
 *                                          that crosses OFFSET is cut short there, and writes at or
 *                                          past it fail with ENOSPC, as on a full file system
 *                        count             no fault; only counts requests
 *   FERRULON_FAULT_LOG   optional file that receives "reads N bytes1 N writes N passes N written N"
 *                        (written: bytes) at exit, from a process that touched the file
 *
 * Wine 8 starts a Windows program's process with its parent's Unix environment, not with the
 * environment block the parent passes to CreateProcessW. So a test program that starts ferrulon.exe
 * runs with this library preloaded and no fault, and for each start writes the same three settings
 * as NAME=value lines to a settings file, which each process reads once, when it first reads,
 * writes or closes anything: FERRULON_FAULT_SETTINGS names that file; by default it lies beside
 * this library (tfile_faults.so gives tfile_faults.settings). The environment's values come first.
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

static unsigned char FdKind[MaxFds];
static unsigned char FdReading[MaxFds];   /* a read-back has begun on this descriptor */
static char TargetPath[4096], LogPath[4096];
static char Mode[8];
static long FaultPass, FaultOffset;
static long Passes, Reads, OneByteReads, Writes, BytesWritten;
static int Ready;

static ssize_t (*RealRead)(int, void *, size_t);
static ssize_t (*RealPread)(int, void *, size_t, off_t);
static ssize_t (*RealWrite)(int, const void *, size_t);
static ssize_t (*RealPwrite)(int, const void *, size_t, off_t);
static int (*RealClose)(int);

static void WriteLog(void) {
  if (Reads == 0 && Writes == 0) return;
  FILE *out = fopen(LogPath, "a");
  if (!out) return;
  fprintf(out, "reads %ld bytes1 %ld writes %ld passes %ld written %ld\n", Reads, OneByteReads, Writes, Passes,
          BytesWritten);
  fclose(out);
}

/* The settings file: FERRULON_FAULT_SETTINGS, or this library's path with .so replaced by .settings. */
static void SettingsPath(char *path, size_t size) {
  const char *named = getenv("FERRULON_FAULT_SETTINGS");
  Dl_info self;
  path[0] = 0;
  if (named) snprintf(path, size, "%s", named);
  else if (dladdr((void *)SettingsPath, &self) && self.dli_fname) {
    snprintf(path, size, "%s", self.dli_fname);
    char *suffix = strstr(path, ".so");
    if (suffix && (size_t)(suffix - path) + sizeof ".settings" <= size) strcpy(suffix, ".settings");
    else path[0] = 0;
  }
}

/* The value of NAME: from the environment, else from a NAME=value line of the settings. */
static void Setting(const char *settings, const char *name, char *value, size_t size) {
  const char *set = getenv(name);
  size_t length = strlen(name);
  value[0] = 0;
  if (set) {
    snprintf(value, size, "%s", set);
    return;
  }
  for (const char *line = settings; line && *line; line = strchr(line, '\n') ? strchr(line, '\n') + 1 : NULL) {
    if (strncmp(line, name, length) != 0 || line[length] != '=') continue;
    const char *start = line + length + 1, *end = strchr(start, '\n');
    size_t copied = end ? (size_t)(end - start) : strlen(start);
    if (copied >= size) copied = size - 1;
    memcpy(value, start, copied);
    value[copied] = 0;
    if (copied > 0 && value[copied - 1] == '\r') value[copied - 1] = 0;
    return;
  }
}

static void Setup(void) {
  if (Ready) return;
  Ready = 1;
  RealRead = dlsym(RTLD_NEXT, "read");
  RealPread = dlsym(RTLD_NEXT, "pread64");
  RealWrite = dlsym(RTLD_NEXT, "write");
  RealPwrite = dlsym(RTLD_NEXT, "pwrite64");
  RealClose = dlsym(RTLD_NEXT, "close");
  static char settings[16384], path[4096], fault[64];
  SettingsPath(path, sizeof path);
  int fd = path[0] ? open(path, O_RDONLY | O_CLOEXEC) : -1;
  if (fd >= 0) {
    ssize_t got = RealRead(fd, settings, sizeof settings - 1);
    settings[got > 0 ? got : 0] = 0;
    RealClose(fd);
  }
  Setting(settings, "FERRULON_FAULT_FILE", TargetPath, sizeof TargetPath);
  Setting(settings, "FERRULON_FAULT", fault, sizeof fault);
  Setting(settings, "FERRULON_FAULT_LOG", LogPath, sizeof LogPath);
  if (!TargetPath[0] || !fault[0]) {
    TargetPath[0] = 0;
    return;
  }
  if (sscanf(fault, "flip:%ld:%ld", &FaultPass, &FaultOffset) == 2) strcpy(Mode, "flip");
  else if (sscanf(fault, "cut:%ld:%ld", &FaultPass, &FaultOffset) == 2) strcpy(Mode, "cut");
  else if (sscanf(fault, "full:%ld", &FaultOffset) == 1) strcpy(Mode, "full");
  else strcpy(Mode, "count");
  if (LogPath[0]) atexit(WriteLog);
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

/* The bytes of a write at `at` that fit on a full drive: all of them, fewer (a short write), or
 * none (-1, ENOSPC). */
static ssize_t RoomFor(off_t at, size_t size) {
  if (strcmp(Mode, "full") != 0 || size == 0 || at + (off_t)size <= FaultOffset) return (ssize_t)size;
  if (at >= FaultOffset) {
    errno = ENOSPC;
    return -1;
  }
  return (ssize_t)(FaultOffset - at);
}

static ssize_t Written(ssize_t done) {
  if (done > 0) BytesWritten += done;
  return done;
}

ssize_t write(int fd, const void *data, size_t size) {
  Setup();
  if (!IsTarget(fd)) return RealWrite(fd, data, size);
  ++Writes;
  ssize_t room = RoomFor(lseek(fd, 0, SEEK_CUR), size);
  return Written(room < 0 ? -1 : RealWrite(fd, data, (size_t)room));
}

ssize_t pwrite64(int fd, const void *data, size_t size, off_t at) {
  Setup();
  if (!IsTarget(fd)) return RealPwrite(fd, data, size, at);
  ++Writes;
  ssize_t room = RoomFor(at, size);
  return Written(room < 0 ? -1 : RealPwrite(fd, data, (size_t)room, at));
}

int close(int fd) {
  Setup();
  if (fd >= 0 && fd < MaxFds) {
    FdKind[fd] = Untested;
    FdReading[fd] = 0;
  }
  return RealClose(fd);
}
