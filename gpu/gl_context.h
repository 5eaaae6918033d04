// The off-screen OpenGL context of the graphics-card filter, over EGL, and its hand-over between
// threads.
//
// The context is a desktop OpenGL compatibility context on a 50 × 50 pbuffer, on Mesa's
// surfaceless platform, else the EGL device platform (a card without a display server), else the
// default display. Failures are reported through ShowNotice (platform/notice.h): "ERROR" while
// creating, "SHUTDOWN ERROR" while tearing down. As everywhere in the core, a function that can
// fail returns true on failure.
//
// The context is current on at most one thread. The thread that called `InitGpu` (the user
// interface, or the command line's main thread) holds it; a worker that runs a denoising job takes
// it over for the job's length:
//   owner:  ReleaseGpuContext(gpu)          worker: AcquireGpuContext(gpu)
//                                                    … denoise …
//   owner:  AcquireGpuContext(gpu)   <-     worker: ReleaseGpuContext(gpu)
// The owner must have released the context before the worker acquires it, and the worker before
// the owner takes it back. Both functions do nothing unless the object is usable; callers that run
// with hardware acceleration switched off skip them too.
#pragma once

#include <functional>
#include <string_view>

#include "gpu/gpgpu.h"

// Creates the context and makes it current on the calling thread; decides whether the card is
// usable and builds the programs when it is. Prints "Status: Using GLEW <version>" on stdout unless
// `quiet` (the command line's --quiet). Returns `usable`.
bool InitGpu(CGPGPU& gpu, bool quiet = false);

// Creates the display, pbuffer and context and makes the context current. On failure tears down
// what was made, shows the failed step's message with the title "ERROR" and returns true.
bool CreateHiddenGlWindow(CGPGPU& gpu);

// Releases the context, pbuffer and display that are present, each step on its own; a failed step
// shows its message with the title "SHUTDOWN ERROR". Also run by the destructor.
void DestroyHiddenGlWindow(CGPGPU& gpu);

// Makes the context not current on the calling thread. True (after an "ERROR" notice) on failure.
bool ReleaseGpuContext(CGPGPU& gpu);
// Makes the context current on the calling thread. True (after an "ERROR" notice) on failure.
bool AcquireGpuContext(CGPGPU& gpu);

// True when the card behind `renderer` is refused whatever it supports.
bool RefusedRenderer(std::string_view renderer);

// The capability decision of `InitGpu`: the renderer is not refused and `supported` accepts each
// needed extension, asked in order until the first it rejects.
bool CardIsUsable(std::string_view renderer, const std::function<bool(const char*)>& supported);
