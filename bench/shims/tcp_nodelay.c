/* Investigation aid, not part of the product: an LD_PRELOAD shim that turns
 * on TCP_NODELAY on every connection a server accepts with accept4(), so
 * its small writes go out at once instead of waiting (Nagle's algorithm)
 * for the ACK of the previous one. Preloaded into switchsim, it shows what
 * the check and the OpenSSH client cost against a switch without Nagle.
 *
 *   gcc -shared -fPIC -O2 -o /tmp/tcp_nodelay.so bench/shims/tcp_nodelay.c -ldl
 *   bench/run-all.sh BUILD --only latency --switch-preload /tmp/tcp_nodelay.so
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stddef.h>
#include <sys/socket.h>

int accept4(int fd, struct sockaddr* address, socklen_t* length, int flags) {
  static int (*real_accept4)(int, struct sockaddr*, socklen_t*, int);
  if (real_accept4 == NULL) real_accept4 = (int (*)(int, struct sockaddr*, socklen_t*, int))dlsym(RTLD_NEXT, "accept4");
  int connection = real_accept4(fd, address, length, flags);
  if (connection >= 0) {
    int on = 1;
    setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  }
  return connection;
}
