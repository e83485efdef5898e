/*
 * Loaded beside umockdev's preload library into a program that uses an
 * emulated camera. umockdev forwards ioctls but not mmap, so a mapping of a
 * video node's buffers becomes a mapping of the buffer file the emulator
 * keeps for that node in the testbed directory.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <string.h>
#include <unistd.h>

typedef void* (*mmap_fn)(void*, size_t, int, int, int, off_t);

static mmap_fn real_mmap(void)
{
    static mmap_fn fn;
    if (!fn) fn = (mmap_fn)dlsym(RTLD_NEXT, "mmap");
    return fn;
}

/* The buffer file of the emulated node behind fd, or -1 when fd is not
 * one. umockdev opens the testbed's file for /dev/videoN, so the descriptor
 * leads to $UMOCKDEV_DIR/dev/videoN. */
static int buffer_file(int fd, int writable)
{
    const char* root = getenv("UMOCKDEV_DIR");
    if (!root || !*root) return -1;
    char link[64], target[4096], prefix[4096], path[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, target, sizeof target - 1);
    if (n <= 0) return -1;
    target[n] = '\0';
    const int p = snprintf(prefix, sizeof prefix, "%s/dev/video", root);
    if (p <= 0 || p >= (int)sizeof prefix || strncmp(target, prefix, (size_t)p) != 0) return -1;
    const char* number = target + p;
    if (!*number || strspn(number, "0123456789") != strlen(number)) return -1;
    if (snprintf(path, sizeof path, "%s/emucam-video%s.buffers", root, number) >= (int)sizeof path) return -1;
    return open(path, (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
}

__attribute__((visibility("default"))) void* mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset)
{
    if (fd >= 0 && !(flags & MAP_ANONYMOUS)) {
        const int file = buffer_file(fd, (prot & PROT_WRITE) != 0);
        if (file >= 0) {
            void* map = real_mmap()(addr, length, prot, flags, file, offset);
            const int saved = errno;
            close(file);
            errno = saved;
            return map;
        }
    }
    return real_mmap()(addr, length, prot, flags, fd, offset);
}

__attribute__((visibility("default"))) void* mmap64(void* addr, size_t length, int prot, int flags, int fd, off_t offset)
{
    return mmap(addr, length, prot, flags, fd, offset);
}
