// SPDX-License-Identifier: MIT
// Frames put into a Wayland window without OpenGL. SDL 2.26's Wayland driver
// makes a window surface only through OpenGL, which on a machine without a
// GPU cost six times the CPU of the X11 path in the idle menu. Here the
// frame, composed in memory of its own as on X11, is copied into one of two
// buffers of the compositor's shared memory (wl_shm) and attached to the
// surface SDL made for the window, with only the changed rectangles damaged.
//
// A buffer is written only once the compositor has given it back (its
// release), so nothing it still shows is torn; and a new buffer is committed
// only once the compositor has shown the last one (its frame callback), so
// frames go at the compositor's pace instead of piling up. What arrives in
// between is gathered and goes with the next commit: the frame in memory is
// always whole, so nothing is lost, only joined. Both events are on SDL's
// own queue, so they are read as SDL waits for input, and a frame held back
// goes out as soon as the compositor is ready for it.
//
// SDL 2.26 still loads the OpenGL libraries as it makes any Wayland window
// (it makes each an OpenGL one: EGL, Mesa's software driver, 60 MB resident
// more than on X11); nothing is ever drawn with them.
#include "runtime/wayland.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "runtime/memory.h"

constexpr int BufferCount = 2;
// More changed rectangles than this waiting for one buffer are taken as the
// whole frame: copying it whole is cheaper than keeping count.
constexpr size_t StaleRectsKept = 256;

struct WaylandBuffer {
  wl_buffer* buffer = nullptr;
  uint32_t* pixels = nullptr;    // the window's size, in the shared mapping
  bool busy = false;             // the compositor has it and has not released it
  bool wholeStale = true;        // none of the frame is in it yet
  uint64_t marginVersion = 0;    // the margin it holds
  std::vector<SDL_Rect> stale;   // screen rectangles changed since it was last written
};

// The screen's image and the buffers that carry it. WaylandReleaseSharedImage
// gives them back and starts the record afresh in one statement.
struct WaylandImage {
  SDL_Window* window = nullptr;
  wl_surface* surface = nullptr;
  std::vector<uint32_t> frame;  // the screen, as the screen composes it
  int width = 0;                // the screen's size and place in the window
  int height = 0;
  int left = 0;
  int top = 0;
  int windowWidth = 0;  // the buffers' size: the window's, in pixels
  int windowHeight = 0;
  void* mapping = nullptr;
  size_t mappingSize = 0;
  WaylandBuffer buffers[BufferCount];
  wl_callback* frameCallback = nullptr;  // the last commit not yet shown
  std::vector<SDL_Rect> damage;          // window rectangles not yet committed
  bool damageWhole = false;
  // The margin as the screen last painted it, in x8r8g8b8.
  uint32_t marginPixel = 0;
  std::vector<SDL_Rect> marginBands;
  uint64_t marginVersion = 0;
};

struct WaylandState {
  // Bound with the first image and kept until WaylandStopSharedPresenting:
  // every fullscreen switch opens a screen, and binding is a round trip.
  wl_display* display = nullptr;
  wl_shm* shm = nullptr;
  WaylandImage image;
  SDL_Window* retired = nullptr;  // hidden, to be destroyed with the next
  bool retiredMayGo = false;      // a frame of a later window was shown
};

static WaylandState wayland;

static void Damage(wl_surface* surface, int x, int y, int w, int h);

static bool WaylandHandles(SDL_Window* window, wl_display*& display, wl_surface*& surface) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_WAYLAND) return false;
  display = info.info.wl.display;
  surface = info.info.wl.surface;
  return display && surface;
}

bool IsWaylandWindow(SDL_Window* window) {
  wl_display* display;
  wl_surface* surface;
  return WaylandHandles(window, display, surface);
}

// SDL 2.26 crashes inside libdecor's configure of a large decorated window
// shown and then resized to the output. A window SDL is told is fullscreen
// before it shows it is made fullscreen in the same configure that first
// sizes it: nothing is resized afterwards.
bool WaylandAskFullscreenBeforeShowing(SDL_Window* window) {
  return IsWaylandWindow(window) && SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP) == 0;
}

// One pixel of the compositor's shared memory, for a surface that must be
// shown with something; null where it cannot be made.
static wl_buffer* OnePixel() {
  const int fd = memfd_create("pellovar-pixel", MFD_CLOEXEC);
  if (fd < 0) return nullptr;
  wl_buffer* buffer = nullptr;
  if (ftruncate(fd, 4) == 0) {
    if (wl_shm_pool* pool = wl_shm_create_pool(wayland.shm, fd, 4)) {
      buffer = wl_shm_pool_create_buffer(pool, 0, 1, 1, 4, WL_SHM_FORMAT_XRGB8888);
      wl_shm_pool_destroy(pool);
    }
  }
  close(fd);
  return buffer;
}

// A fullscreen window kept hidden (below) keeps weston's black backdrop over
// the desktop, as long as weston still takes it for fullscreen: it takes the
// window out of fullscreen only with a buffer committed after the change,
// and the screen's buffers are gone by now. So the window leaves fullscreen
// first, showing one pixel for the moment before it is hidden.
static void LeaveFullscreenUnseen(SDL_Window* window) {
  wl_display* display;
  wl_surface* surface;
  wl_buffer* pixel = OnePixel();
  if (!WaylandHandles(window, display, surface) || !pixel) {
    if (pixel) wl_buffer_destroy(pixel);
    return;
  }
  SDL_SetWindowFullscreen(window, 0);
  wl_display_roundtrip(display);  // the compositor's answer, acknowledged by SDL
  wl_surface_attach(surface, pixel, 0, 0);
  Damage(surface, 0, 0, 1, 1);
  wl_surface_commit(surface);
  wl_display_roundtrip(display);
  wl_buffer_destroy(pixel);
}

// SDL 2.26 frees a window while libdecor may still hand events for its
// frame to it (seen as F11 replaced the game window: read after the window
// had gone, they crashed the program). A window the program is done with is
// hidden instead, which takes it off the screen, and destroyed once the
// compositor has shown a frame of the window after it, or when presenting
// stops: by then it has said everything about the old one. (SDL 2.26 leaves
// libdecor's frame of a hidden window alive, its toplevel never destroyed:
// hence LeaveFullscreenUnseen.)
// Once presenting has stopped (the platform is stopping: nothing reads the
// compositor's events any more), windows go at once.
bool WaylandDestroyWindow(SDL_Window* window) {
  if (!IsWaylandWindow(window)) return false;
  if (!wayland.display) {
    SDL_DestroyWindow(window);
    return true;
  }
  if (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN) LeaveFullscreenUnseen(window);
  SDL_HideWindow(window);
  if (wayland.retired) SDL_DestroyWindow(wayland.retired);
  wayland.retired = window;
  wayland.retiredMayGo = false;
  return true;
}

static void NoteGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
                       uint32_t version) {
  (void)version;
  wl_shm** shm = static_cast<wl_shm**>(data);
  if (!*shm && std::strcmp(interface, wl_shm_interface.name) == 0)
    *shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
}

static void NoteGlobalGone(void*, wl_registry*, uint32_t) {}

static const wl_registry_listener RegistryListener = {NoteGlobal, NoteGlobalGone};

// SDL keeps the compositor's shared memory to itself, so it is asked for
// again on a queue of the program's own: SDL's listeners do not run for it.
static wl_shm* BindShm(wl_display* display) {
  wl_event_queue* queue = wl_display_create_queue(display);
  wl_display* wrapper = queue ? static_cast<wl_display*>(wl_proxy_create_wrapper(display)) : nullptr;
  wl_shm* shm = nullptr;
  if (wrapper) {
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapper), queue);
    if (wl_registry* registry = wl_display_get_registry(wrapper)) {
      wl_registry_add_listener(registry, &RegistryListener, &shm);
      wl_display_roundtrip_queue(display, queue);
      wl_registry_destroy(registry);
    }
    wl_proxy_wrapper_destroy(wrapper);
  }
  // Its buffers' releases are read on SDL's queue, as SDL waits for input.
  if (shm) wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(shm), nullptr);
  if (queue) wl_event_queue_destroy(queue);
  return shm;
}

static void Commit();

static void OnRelease(void* data, wl_buffer*) {
  static_cast<WaylandBuffer*>(data)->busy = false;
  Commit();  // a frame may be waiting for a free buffer
}

static const wl_buffer_listener BufferListener = {OnRelease};

static void OnFrameShown(void*, wl_callback* callback, uint32_t) {
  wl_callback_destroy(callback);
  wayland.image.frameCallback = nullptr;
  wayland.retiredMayGo = wayland.retired != nullptr;
  Commit();
}

static const wl_callback_listener FrameListener = {OnFrameShown};

static void DropBuffers() {
  WaylandImage& s = wayland.image;
  for (WaylandBuffer& b : s.buffers) {
    if (b.buffer) wl_buffer_destroy(b.buffer);
    b = WaylandBuffer{};
  }
  if (s.mapping) munmap(s.mapping, s.mappingSize);
  s.mapping = nullptr;
  s.mappingSize = 0;
  s.windowWidth = s.windowHeight = 0;
}

// Two buffers of the window's size in one piece of shared memory that only
// the program and the compositor hold.
static bool MakeBuffers(int windowWidth, int windowHeight) {
  WaylandImage& s = wayland.image;
  DropBuffers();
  const size_t pitch = static_cast<size_t>(windowWidth) * 4;
  const size_t bufferSize = pitch * windowHeight;
  const size_t size = bufferSize * BufferCount;
  const int fd = memfd_create("pellovar-frame", MFD_CLOEXEC);
  if (fd < 0) return false;
  void* mapping = MAP_FAILED;
  if (ftruncate(fd, static_cast<off_t>(size)) == 0)
    mapping = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  wl_shm_pool* pool = mapping != MAP_FAILED ? wl_shm_create_pool(wayland.shm, fd, static_cast<int32_t>(size)) : nullptr;
  close(fd);  // the pool holds its own
  if (!pool) {
    if (mapping != MAP_FAILED) munmap(mapping, size);
    return false;
  }
  s.mapping = mapping;
  s.mappingSize = size;
  s.windowWidth = windowWidth;
  s.windowHeight = windowHeight;
  bool made = true;
  for (int k = 0; k < BufferCount; ++k) {
    WaylandBuffer& b = s.buffers[k];
    b.pixels = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(mapping) + bufferSize * k);
    b.buffer = wl_shm_pool_create_buffer(pool, static_cast<int32_t>(bufferSize * k), windowWidth,
                                         windowHeight, static_cast<int32_t>(pitch), WL_SHM_FORMAT_XRGB8888);
    if (!b.buffer) {
      made = false;
      break;
    }
    wl_buffer_add_listener(b.buffer, &BufferListener, &b);
  }
  wl_shm_pool_destroy(pool);  // the buffers keep the memory
  if (!made) DropBuffers();
  return made;
}

bool WaylandBindSharedImage(SDL_Window* window, int width, int height, uint32_t*& pixels, int& pitch) {
  WaylandReleaseSharedImage();
  wl_display* display;
  wl_surface* surface;
  if (width <= 0 || height <= 0 || !WaylandHandles(window, display, surface)) return false;
  if (wayland.display != display) {
    if (wayland.shm) wl_shm_destroy(wayland.shm);
    wayland.shm = BindShm(display);
    wayland.display = wayland.shm ? display : nullptr;
  }
  if (!wayland.shm) return false;
  WaylandImage& s = wayland.image;
  if (!TryToAllocate([&] {
        s.frame.assign(static_cast<size_t>(width) * height, 0);
        s.damage.reserve(StaleRectsKept);
        s.marginBands.reserve(4);  // the screen's four bands
        for (WaylandBuffer& b : s.buffers) b.stale.reserve(StaleRectsKept);
      })) {
    WaylandReleaseSharedImage();
    return false;
  }
  s.window = window;
  s.surface = surface;
  s.width = width;
  s.height = height;
  pixels = s.frame.data();
  pitch = width * 4;
  return true;
}

bool WaylandPaintMargin(SDL_Window* window, uint32_t pixel, const SDL_Rect* bands, int count) {
  WaylandImage& s = wayland.image;
  if (!s.window || window != s.window) return false;
  s.marginPixel = pixel;
  s.marginBands.assign(bands, bands + count);
  ++s.marginVersion;
  return true;
}

static void PaintBufferMargin(WaylandBuffer& b) {
  const WaylandImage& s = wayland.image;
  for (const SDL_Rect& band : s.marginBands) {
    const int x0 = std::max(band.x, 0), y0 = std::max(band.y, 0);
    const int x1 = std::min(band.x + band.w, s.windowWidth), y1 = std::min(band.y + band.h, s.windowHeight);
    for (int y = y0; y < y1; ++y)
      std::fill_n(b.pixels + static_cast<size_t>(y) * s.windowWidth + x0, std::max(x1 - x0, 0), s.marginPixel);
  }
  b.marginVersion = s.marginVersion;
}

// The screen's rectangle r from the frame into the buffer, clipped to both.
static void CopyToBuffer(WaylandBuffer& b, const SDL_Rect& r) {
  const WaylandImage& s = wayland.image;
  const int x0 = std::max(r.x, std::max(0, -s.left));
  const int y0 = std::max(r.y, std::max(0, -s.top));
  const int x1 = std::min({r.x + r.w, s.width, s.windowWidth - s.left});
  const int y1 = std::min({r.y + r.h, s.height, s.windowHeight - s.top});
  if (x0 >= x1) return;
  for (int y = y0; y < y1; ++y) {
    const uint32_t* from = s.frame.data() + static_cast<size_t>(y) * s.width + x0;
    uint32_t* to = b.pixels + static_cast<size_t>(y + s.top) * s.windowWidth + x0 + s.left;
    std::memcpy(to, from, static_cast<size_t>(x1 - x0) * 4);
  }
}

static void Damage(wl_surface* surface, int x, int y, int w, int h) {
  // Buffer coordinates where the compositor takes them; the surface's are
  // the same here, as SDL sets no scale for a window that does not ask it.
  if (wl_proxy_get_version(reinterpret_cast<wl_proxy*>(surface)) >= WL_SURFACE_DAMAGE_BUFFER_SINCE_VERSION)
    wl_surface_damage_buffer(surface, x, y, w, h);
  else
    wl_surface_damage(surface, x, y, w, h);
}

// Brings a free buffer up to date with the frame and commits it, when the
// compositor has shown the last one and something waits to be shown.
static void Commit() {
  WaylandImage& s = wayland.image;
  if (!s.mapping || s.frameCallback || (s.damage.empty() && !s.damageWhole)) return;
  // A surface SDL has not given its role yet must not have a buffer: it
  // would be refused when SDL shows the window. A hidden window's frames
  // wait for it to be shown.
  if (!(SDL_GetWindowFlags(s.window) & SDL_WINDOW_SHOWN)) return;
  WaylandBuffer* ready = nullptr;
  for (WaylandBuffer& b : s.buffers)
    if (!b.busy) {
      ready = &b;
      break;
    }
  if (!ready) return;
  WaylandBuffer& b = *ready;
  bool whole = s.damageWhole;
  if (b.marginVersion != s.marginVersion) {
    PaintBufferMargin(b);
    whole = true;
  }
  if (b.wholeStale) {
    CopyToBuffer(b, SDL_Rect{0, 0, s.width, s.height});
    whole = true;
  } else {
    for (const SDL_Rect& r : b.stale) CopyToBuffer(b, r);
  }
  b.wholeStale = false;
  b.stale.clear();
  wl_surface_attach(s.surface, b.buffer, 0, 0);
  if (whole) {
    Damage(s.surface, 0, 0, s.windowWidth, s.windowHeight);
  } else {
    for (const SDL_Rect& r : s.damage) Damage(s.surface, r.x + s.left, r.y + s.top, r.w, r.h);
  }
  s.frameCallback = wl_surface_frame(s.surface);
  if (s.frameCallback) wl_callback_add_listener(s.frameCallback, &FrameListener, nullptr);
  wl_surface_commit(s.surface);
  b.busy = true;
  s.damage.clear();
  s.damageWhole = false;
  wl_display_flush(wayland.display);
}

void WaylandPutSharedImage(const SDL_Rect* rects, int count, int left, int top) {
  WaylandImage& s = wayland.image;
  if (!s.window) return;
  // Here, not as the frame is shown: that is inside SDL's own reading of
  // the compositor's events.
  if (wayland.retiredMayGo) {
    SDL_DestroyWindow(wayland.retired);
    wayland.retired = nullptr;
    wayland.retiredMayGo = false;
  }
  int windowWidth = 0, windowHeight = 0;
  SDL_GetWindowSizeInPixels(s.window, &windowWidth, &windowHeight);
  if (windowWidth <= 0 || windowHeight <= 0) return;
  if (left != s.left || top != s.top) s.damageWhole = true;
  s.left = left;
  s.top = top;
  // The compositor resized the window (its fullscreen): the buffers follow.
  if ((windowWidth != s.windowWidth || windowHeight != s.windowHeight) &&
      !MakeBuffers(windowWidth, windowHeight))
    return;
  for (int k = 0; k < count; ++k) {
    const SDL_Rect& r = rects[k];
    if (r.w <= 0 || r.h <= 0) continue;
    // Kept within what was reserved; beyond it the whole frame goes.
    if (s.damage.size() < StaleRectsKept) s.damage.push_back(r);
    else s.damageWhole = true;
    for (WaylandBuffer& b : s.buffers) {
      if (b.stale.size() < StaleRectsKept) b.stale.push_back(r);
      else b.wholeStale = true;
    }
  }
  Commit();
}

void WaylandReleaseSharedImage() {
  WaylandImage& s = wayland.image;
  if (s.frameCallback) wl_callback_destroy(s.frameCallback);
  DropBuffers();
  // A window that lives on (a scale change reopens the screen only) keeps
  // showing the last buffer until the next screen commits its own.
  if (s.surface && wayland.display) wl_display_flush(wayland.display);
  wayland.image = WaylandImage{};
}

void WaylandStopSharedPresenting() {
  WaylandReleaseSharedImage();
  if (wayland.shm) wl_shm_destroy(wayland.shm);
  if (wayland.retired) SDL_DestroyWindow(wayland.retired);
  wayland = WaylandState{};
}
