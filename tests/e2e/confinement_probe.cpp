// Preloaded into the program for the confinement tests: the first time a process inflates
// deflate data (ISA-L's inflate, which the unzip library and the text export call, in the
// process that parses the payload and writes the files), it tries what a fault in a decoder
// could try, and says on the error output whether each attempt was allowed or refused:
//   create  a file outside the chosen folder (PROBE_OUTSIDE)
//   read    a file in the user's home (PROBE_SECRET)
//   connect to 127.0.0.1 (PROBE_PORT, where the test listens)
//   run     /bin/true
#include <arpa/inet.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

void Say(const char* what, int allowed) {
  dprintf(2, "probe: %s: %s\n", what, allowed ? "allowed" : "refused");
}

int Create(const char* path) {
  const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return 0;
  close(fd);
  return 1;
}

int Read(const char* path) {
  char byte;
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  const ssize_t n = read(fd, &byte, 1);
  close(fd);
  return n == 1;
}

int Connect(const char* port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return 0;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<unsigned short>(atoi(port)));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const int connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return connected;
}

int Run() {
  const pid_t pid = fork();
  if (pid == 0) {
    // Without the environment, so that this library (built for a sanitizer, say) stays out.
    char* const argv[] = {const_cast<char*>("true"), nullptr};
    char* const envp[] = {nullptr};
    execve("/bin/true", argv, envp);
    _exit(127);
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) return 0;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void Attempt() {
  const char* outside = getenv("PROBE_OUTSIDE");
  const char* secret = getenv("PROBE_SECRET");
  const char* port = getenv("PROBE_PORT");
  if (outside != nullptr) Say("create", Create(outside));
  if (secret != nullptr) Say("read", Read(secret));
  if (port != nullptr) Say("connect", Connect(port));
  Say("run", Run());
}

}  // namespace

extern "C" int isal_inflate(void* state) {
  static int tried = 0;
  using Inflate = int (*)(void*);
  Inflate real = nullptr;
  void* symbol = dlsym(RTLD_NEXT, "isal_inflate");
  if (symbol == nullptr) {
    // The unzip library is loaded at run time with ISA-L beside it, out of the global search.
    if (void* library = dlopen("libisal.so.2", RTLD_LAZY | RTLD_NOLOAD)) {
      symbol = dlsym(library, "isal_inflate");
    }
  }
  memcpy(&real, &symbol, sizeof real);
  if (!tried) {
    tried = 1;
    Attempt();
  }
  return real(state);
}
