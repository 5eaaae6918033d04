#include "gpu/gl_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/glew.h>

#include <array>
#include <cstdio>
#include <string>

#include "platform/notice.h"

namespace {

constexpr char kActivateFailed[] = "Can't Activate The GL Rendering Context.";

bool ClientExtension(const std::string& name) {
  const char* list = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
  return list != nullptr &&
         (" " + std::string(list) + " ").find(" " + name + " ") != std::string::npos;
}

EGLDisplay Initialised(EGLDisplay display) {
  if (display == EGL_NO_DISPLAY || eglInitialize(display, nullptr, nullptr) == EGL_FALSE) {
    return EGL_NO_DISPLAY;
  }
  return display;
}

EGLDisplay DeviceDisplay() {
  const auto queryDevices =
      reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
  if (queryDevices == nullptr) return EGL_NO_DISPLAY;
  std::array<EGLDeviceEXT, 8> devices{};
  EGLint count = 0;
  if (queryDevices(devices.size(), devices.data(), &count) == EGL_FALSE) return EGL_NO_DISPLAY;
  for (EGLint i = 0; i < count; ++i) {
    const EGLDisplay display =
        Initialised(eglGetPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, devices[i], nullptr));
    if (display != EGL_NO_DISPLAY) return display;
  }
  return EGL_NO_DISPLAY;
}

// Mesa's surfaceless platform, else the first card of the device platform, else the default.
EGLDisplay OpenDisplay() {
  if (ClientExtension("EGL_MESA_platform_surfaceless")) {
    const EGLDisplay display = Initialised(
        eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr));
    if (display != EGL_NO_DISPLAY) return display;
  }
  if (ClientExtension("EGL_EXT_platform_device")) {
    const EGLDisplay display = DeviceDisplay();
    if (display != EGL_NO_DISPLAY) return display;
  }
  return Initialised(eglGetDisplay(EGL_DEFAULT_DISPLAY));
}

bool ChooseConfig(EGLDisplay display, EGLConfig& config) {
  const EGLint attributes[] = {EGL_SURFACE_TYPE,
                               EGL_PBUFFER_BIT,
                               EGL_RENDERABLE_TYPE,
                               EGL_OPENGL_BIT,
                               EGL_RED_SIZE,
                               8,
                               EGL_GREEN_SIZE,
                               8,
                               EGL_BLUE_SIZE,
                               8,
                               EGL_DEPTH_SIZE,
                               8,
                               EGL_NONE};
  EGLint count = 0;
  return eglChooseConfig(display, attributes, &config, 1, &count) == EGL_TRUE && count > 0;
}

// The steps of `CreateHiddenGlWindow`; the message of the first that fails, or null.
const char* CreateSteps(CGPGPU& gpu) {
  gpu.display = OpenDisplay();
  if (gpu.display == EGL_NO_DISPLAY) return "Can't Create A GL Device Context.";
  EGLConfig config = nullptr;
  if (!ChooseConfig(gpu.display, config)) return "Can't Find A Suitable PixelFormat.";
  const EGLint size[] = {EGL_WIDTH, 50, EGL_HEIGHT, 50, EGL_NONE};
  gpu.surface = eglCreatePbufferSurface(gpu.display, config, size);
  if (gpu.surface == EGL_NO_SURFACE) return "Can't Set The PixelFormat.";
  if (eglBindAPI(EGL_OPENGL_API) == EGL_TRUE) {
    gpu.context = eglCreateContext(gpu.display, config, EGL_NO_CONTEXT, nullptr);
  }
  if (gpu.context == EGL_NO_CONTEXT) return "Can't Create A GL Rendering Context.";
  if (eglMakeCurrent(gpu.display, gpu.surface, gpu.surface, gpu.context) == EGL_FALSE) {
    return kActivateFailed;
  }
  return nullptr;
}

// True on failure, after the notice.
bool MakeCurrent(CGPGPU& gpu, EGLSurface surface, EGLContext context) {
  if (!gpu.usable || eglMakeCurrent(gpu.display, surface, surface, context) == EGL_TRUE) {
    return false;
  }
  ShowNotice("ERROR", kActivateFailed);
  return true;
}

}  // namespace

bool RefusedRenderer(std::string_view renderer) {
  const bool radeon = renderer.find("Radeon") != std::string_view::npos;
  return radeon && (renderer.find("1050") != std::string_view::npos ||
                    renderer.find("1300") != std::string_view::npos);
}

bool CardIsUsable(std::string_view renderer, const std::function<bool(const char*)>& supported) {
  if (RefusedRenderer(renderer)) return false;
  for (const char* extension : {"GL_EXT_framebuffer_object", "GL_ARB_shading_language_100",
                                "GL_ARB_texture_non_power_of_two"}) {
    if (!supported(extension)) return false;
  }
  return true;
}

bool CreateHiddenGlWindow(CGPGPU& gpu) {
  gpu.display = EGL_NO_DISPLAY;
  gpu.surface = EGL_NO_SURFACE;
  gpu.context = EGL_NO_CONTEXT;
  const char* failure = CreateSteps(gpu);
  if (failure == nullptr) return false;
  DestroyHiddenGlWindow(gpu);
  ShowNotice("ERROR", failure);
  return true;
}

void DestroyHiddenGlWindow(CGPGPU& gpu) {
  if (gpu.context != EGL_NO_CONTEXT) {
    eglMakeCurrent(gpu.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (eglDestroyContext(gpu.display, gpu.context) == EGL_FALSE) {
      ShowNotice("SHUTDOWN ERROR", "Release Rendering Context Failed.");
    }
    gpu.context = EGL_NO_CONTEXT;
  }
  if (gpu.surface != EGL_NO_SURFACE) {
    if (eglDestroySurface(gpu.display, gpu.surface) == EGL_FALSE) {
      ShowNotice("SHUTDOWN ERROR", "Release Device Context Failed.");
    }
    gpu.surface = EGL_NO_SURFACE;
  }
  if (gpu.display != EGL_NO_DISPLAY) {
    if (eglTerminate(gpu.display) == EGL_FALSE) {
      ShowNotice("SHUTDOWN ERROR", "Could Not Release hWnd.");
    }
    gpu.display = EGL_NO_DISPLAY;
    eglReleaseThread();
  }
}

bool InitGpu(CGPGPU& gpu, bool quiet) {
  gpu.ClearNames();
  if (CreateHiddenGlWindow(gpu)) return false;
  // GLEW built for GLX loads every OpenGL entry point and then fails for want of a GLX display,
  // which under EGL is no error.
  const GLenum result = glewInit();
  if (result != GLEW_OK && result != GLEW_ERROR_NO_GLX_DISPLAY) {
    std::fprintf(stderr, "Error: %s\n", glewGetErrorString(result));
  }
  if (!quiet) {
    std::printf("Status: Using GLEW %s\n", glewGetString(GLEW_VERSION));
    std::fflush(stdout);
  }
  const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  gpu.renderer = renderer != nullptr ? renderer : "";
  const auto supported = [](const char* extension) {
    return glewIsSupported(extension) == GL_TRUE;
  };
  if (CardIsUsable(gpu.renderer, supported)) {
    gpu.maxTileEdge = 1000;
    gpu.usable = true;
  }
  gpu.BuildPrograms();
  return gpu.usable;
}

bool ReleaseGpuContext(CGPGPU& gpu) { return MakeCurrent(gpu, EGL_NO_SURFACE, EGL_NO_CONTEXT); }

bool AcquireGpuContext(CGPGPU& gpu) { return MakeCurrent(gpu, gpu.surface, gpu.context); }
