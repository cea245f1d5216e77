/* Preloaded into the program by update_exit.sh: a name lookup of
   "stalled.invalid" that never ends, as with a name server that never
   answers; every other name goes to the C library. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdlib.h>
#include <netdb.h>
#include <string.h>
#include <unistd.h>

int getaddrinfo(const char* node, const char* service, const struct addrinfo* hints,
                struct addrinfo** result) {
  if (node != NULL && strcmp(node, "stalled.invalid") == 0) {
    const char* mark = getenv("STALLED_LOOKUP_MARK");
    if (mark != NULL) close(open(mark, O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
    for (;;) pause();
  }
  int (*real)(const char*, const char*, const struct addrinfo*, struct addrinfo**) =
      (int (*)(const char*, const char*, const struct addrinfo*, struct addrinfo**))dlsym(
          RTLD_NEXT, "getaddrinfo");
  return real(node, service, hints, result);
}
