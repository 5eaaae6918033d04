// Linked into the sanitizer build only. Mesa unloads its driver (dri/*_dri.so) when the last EGL
// display is terminated. Allocations the driver keeps for the life of the process then belong to
// no loaded module any more, and LeakSanitizer reports them as leaks "in an unknown module". Whether
// that happens depends on the driver build and the processor it meets, so a sanitizer run could
// pass on one machine and fail on the next.
//
// This definition of eglTerminate takes the place of libEGL's for every program of the build: it
// marks each loaded driver as never to be unloaded and then calls libEGL's own. The driver's
// allocations stay reachable through its globals; leaks of our own code are reported as before,
// because nothing is suppressed.
#include <EGL/egl.h>
#include <dlfcn.h>
#include <link.h>

#include <cstring>

namespace {

bool IsGraphicsDriver(const char* path) {
  return path != nullptr && std::strstr(path, "/dri/") != nullptr &&
         std::strstr(path, "_dri.so") != nullptr;
}

int KeepDriverLoaded(dl_phdr_info* module, size_t, void*) {
  if (IsGraphicsDriver(module->dlpi_name)) {
    // The handle is never closed: the driver stays until the process ends.
    dlopen(module->dlpi_name, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
  }
  return 0;
}

}  // namespace

extern "C" EGLBoolean EGLAPIENTRY eglTerminate(EGLDisplay display) {
  dl_iterate_phdr(KeepDriverLoaded, nullptr);
  using Terminate = EGLBoolean(EGLAPIENTRY*)(EGLDisplay);
  static const auto libraryTerminate =
      reinterpret_cast<Terminate>(dlsym(RTLD_NEXT, "eglTerminate"));
  return libraryTerminate != nullptr ? libraryTerminate(display) : EGL_FALSE;
}
