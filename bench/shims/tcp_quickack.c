/* Investigation aid, not part of the product: an LD_PRELOAD shim that turns
 * on TCP_QUICKACK after every recv() of the process, so the kernel
 * acknowledges received data at once instead of delaying the ACK by up to
 * 40 ms. Preloaded into `comvorlix check`, it shows how much of a check's
 * time is spent waiting for a server whose Nagle algorithm holds its next
 * small write until the client's delayed ACK arrives.
 *
 *   gcc -shared -fPIC -O2 -o /tmp/tcp_quickack.so bench/shims/tcp_quickack.c -ldl
 *   bench/run-all.sh BUILD --only latency --check-preload /tmp/tcp_quickack.so
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stddef.h>
#include <sys/socket.h>
#include <sys/types.h>

ssize_t recv(int fd, void* buffer, size_t size, int flags) {
  static ssize_t (*real_recv)(int, void*, size_t, int);
  if (real_recv == NULL) real_recv = (ssize_t(*)(int, void*, size_t, int))dlsym(RTLD_NEXT, "recv");
  ssize_t result = real_recv(fd, buffer, size, flags);
  /* Linux clears the flag again by itself: set it after every read. Fails
   * harmlessly on descriptors that are not TCP sockets. */
  int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
  return result;
}
