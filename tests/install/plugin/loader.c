/* Loads the shared object that holds kvr and runs its checks. */
#include <dlfcn.h>
#include <stdio.h>

int main(void)
{
  void* so = dlopen(PLUGIN, RTLD_NOW | RTLD_LOCAL);
  int (*run)(void);
  int rc;

  if (so == NULL) {
    fprintf(stderr, "dlopen: %s\n", dlerror());
    return 1;
  }
  *(void**)&run = dlsym(so, "kvr_plugin_main");
  if (run == NULL) {
    fprintf(stderr, "dlsym: %s\n", dlerror());
    return 1;
  }
  rc = run();
  dlclose(so);
  return rc;
}
