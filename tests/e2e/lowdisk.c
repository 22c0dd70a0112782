/* Preloaded into the setup program by the end-to-end tests: every drive
   reports 1 GiB free, so that the low-disk-space question comes up. */
#define _GNU_SOURCE
#include <string.h>
#include <sys/statvfs.h>

static int low(struct statvfs* info) {
    memset(info, 0, sizeof *info);
    info->f_bsize = info->f_frsize = 4096;
    info->f_blocks = 1u << 20;
    info->f_bfree = info->f_bavail = (1u << 30) / 4096;
    return 0;
}

int statvfs(const char* path, struct statvfs* info) {
    (void)path;
    return low(info);
}

int statvfs64(const char* path, struct statvfs64* info) {
    (void)path;
    return low((struct statvfs*)info);
}
