// Start-up cost of the resources: the meshes and part tables a battle without a window needs,
// everything decoded without a context, and the full load with every texture and its mip-maps.

#include <benchmark/benchmark.h>

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include "assets/Image.h"
#include "assets/ResourceStore.h"
#include "core/KvFS.h"
#include "render/TextureSet.h"

namespace {

// Mount and one load pass: LoadGeometry for a battle without a window, LoadAll for the game.
void Load(benchmark::State& state, bool (kv::ResourceStore::*load)()) {
    for (auto _ : state) {
        kv::ResourceStore store;
        store.Mount(KV_GAME_ARCHIVE);
        if (!(store.*load)()) {
            state.SkipWithError(store.LoadError().CStr());
            return;
        }
        benchmark::DoNotOptimize(store.GetMesh("Body"));
    }
}
BENCHMARK_CAPTURE(Load, Geometry, &kv::ResourceStore::LoadGeometry)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Load, EverythingDecoded, &kv::ResourceStore::LoadAll)->Unit(benchmark::kMillisecond);

void DecodeAllPictures(benchmark::State& state) {
    kv::KvFS archive(KV_GAME_ARCHIVE);
    int64_t pixels = 0;
    for (auto _ : state) {
        for (const kv::ResourceItem& item : kv::kResourceList) {
            if (item.kind != kv::ResourceKind::Texture) continue;
            kv::KvFSIStream in(&archive, item.entry);
            kv::KvImage image;
            kv::LoadImage(image, in, *kv::ImageFormatOf(item.entry));
            pixels += int64_t{image.width} * image.height;
        }
    }
    state.counters["pixels/s"] = benchmark::Counter(static_cast<double>(pixels), benchmark::Counter::kIsRate);
}
BENCHMARK(DecodeAllPictures)->Unit(benchmark::kMillisecond);

// A surfaceless Mesa context stands in for the game window's context.
bool MakeOffscreenContext() {
    auto getDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getDisplay) return false;
    EGLDisplay display = getDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr) || !eglBindAPI(EGL_OPENGL_API)) {
        return false;
    }
    EGLContext context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, nullptr);
    return context != EGL_NO_CONTEXT && eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context);
}

void FullLoadWithTextures(benchmark::State& state) {
    static const bool haveContext = MakeOffscreenContext();
    if (!haveContext) {
        state.SkipWithError("no offscreen OpenGL context");
        return;
    }
    for (auto _ : state) {
        kv::ResourceStore store;
        store.Mount(KV_GAME_ARCHIVE);
        if (!store.LoadAll()) {
            state.SkipWithError(store.LoadError().CStr());
            return;
        }
        kv::KvTextureSet textures;
        textures.Create(store);
        store.ReleaseDecoded();
    }
}
BENCHMARK(FullLoadWithTextures)->Unit(benchmark::kMillisecond);

}  // namespace
