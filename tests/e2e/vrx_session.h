// Runs the real game the way a player meets it: a copy of the build's bin
// folder, a private virtual X display (so no other window can catch the
// pointer), real X input events through xdotool (XTest), and the window's
// pixels read back from the X server.
#pragma once

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"

extern "C" int stbi_write_png(char const* filename, int w, int h, int comp, const void* data, int stride_in_bytes);
extern char** environ;

namespace e2e {

namespace fs = std::filesystem;

inline void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Starts a program with extra environment entries ("NAME=value", later
// ones win) and its standard output and error in files; returns the pid or
// -1. The child keeps no descriptor of ours but keepFd (a lock held by the
// test runner must not outlive the test in an orphan) and is killed when
// the test program ends, however it ends.
inline pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                   const std::string& outFile, const std::string& errFile, int keepFd = -1) {
  std::vector<std::string> envStrings;
  for (char** e = environ; *e; ++e) {
    bool replaced = false;
    for (const std::string& x : env)
      if (strncmp(*e, x.c_str(), x.find('=') + 1) == 0) replaced = true;
    if (!replaced) envStrings.push_back(*e);
  }
  for (size_t i = 0; i < env.size(); ++i) {
    bool later = false;
    for (size_t j = i + 1; j < env.size(); ++j)
      if (env[j].compare(0, env[j].find('=') + 1, env[i], 0, env[i].find('=') + 1) == 0) later = true;
    if (!later) envStrings.push_back(env[i]);
  }
  std::vector<char*> envp, args;
  for (std::string& s : envStrings) envp.push_back(&s[0]);
  envp.push_back(nullptr);
  std::vector<std::string> argCopy = argv;
  for (std::string& s : argCopy) args.push_back(&s[0]);
  args.push_back(nullptr);
  const std::string out = outFile.empty() ? "/dev/null" : outFile;
  const std::string err = errFile.empty() ? "/dev/null" : errFile;
  const pid_t parent = getpid();

  const pid_t pid = fork();
  if (pid != 0) return pid;
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) _exit(127);
  const int in = open("/dev/null", O_RDONLY);
  const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (in < 0 || o < 0 || e < 0) _exit(127);
  dup2(in, 0);
  dup2(o, 1);
  dup2(e, 2);
  for (int fd = 3; fd < 4096; ++fd)
    if (fd != keepFd) close(fd);
  environ = envp.data();
  execvp(args[0], args.data());
  _exit(127);
}

// Waits for a child; its exit code, 128 + signal, or -1 when it is still
// running after timeoutMs (it is then left alone).
inline int WaitExit(pid_t pid, int timeoutMs) {
  for (int waited = 0;; waited += 20) {
    int status = 0;
    const pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (r < 0 || waited >= timeoutMs) return -1;
    SleepMs(20);
  }
}

inline void KillAndReap(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGKILL);
  int status;
  waitpid(pid, &status, 0);
}

// A virtual X server of our own for the whole test program.
class XServer {
 public:
  // Large enough for a 1280 x 720 window at (100, 100) to lie wholly on it,
  // which reading the window's pixels needs.
  bool Start(int width = 1920, int height = 1200) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    pid_ = Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen, "+extension", "GLX",
                  "-nolisten", "tcp"},
                 {}, "", "", fds[1]);
    close(fds[1]);
    if (pid_ <= 0) {
      close(fds[0]);
      pid_ = -1;
      return false;
    }
    char buf[32] = {};
    size_t got = 0;
    while (got < sizeof buf - 1) {
      ssize_t n = read(fds[0], buf + got, sizeof buf - 1 - got);
      if (n <= 0) break;
      got += size_t(n);
      if (memchr(buf, '\n', got)) break;
    }
    close(fds[0]);
    if (got == 0) return false;
    display_ = ":" + std::string(buf, strcspn(buf, "\n"));
    dpy_ = XOpenDisplay(display_.c_str());
    // A request that fails (a window gone between two calls) is answered by
    // an empty result, not by ending the test program.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    return dpy_ != nullptr;
  }
  ~XServer() {
    if (dpy_) XCloseDisplay(dpy_);
    KillAndReap(pid_);
  }
  const std::string& Name() const { return display_; }
  Display* Dpy() { return dpy_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
  Display* dpy_ = nullptr;
};

// An ARGB picture of a window, rows from the top.
struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  uint32_t At(int x, int y) const {
    return x >= 0 && y >= 0 && x < width && y < height ? pixels[size_t(y) * width + x] : 0;
  }
  bool SavePng(const std::string& path) const {
    std::vector<uint8_t> rgb(size_t(width) * height * 3);
    for (size_t i = 0; i < pixels.size(); ++i) {
      rgb[i * 3] = uint8_t(pixels[i] >> 16);
      rgb[i * 3 + 1] = uint8_t(pixels[i] >> 8);
      rgb[i * 3 + 2] = uint8_t(pixels[i]);
    }
    return stbi_write_png(path.c_str(), width, height, 3, rgb.data(), width * 3) != 0;
  }
  // Pixels in the rectangle whose brightest channel reaches `level`.
  int CountBright(int x0, int y0, int x1, int y1, int level) const {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) {
        const uint32_t c = At(x, y);
        const int m = std::max({int(c >> 16 & 255), int(c >> 8 & 255), int(c & 255)});
        if (m >= level) ++n;
      }
    return n;
  }
  // Pixels that differ by more than `tolerance` in any channel within the rectangle.
  int CountDifferent(const Picture& o, int x0, int y0, int x1, int y1, int tolerance) const {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) {
        const uint32_t a = At(x, y), b = o.At(x, y);
        for (int s = 0; s < 24; s += 8)
          if (std::abs(int(a >> s & 255) - int(b >> s & 255)) > tolerance) {
            ++n;
            break;
          }
      }
    return n;
  }
};

// The game in a copy of the bin folder on the private display.
class Game {
 public:
  Game(XServer* x, std::string dir) : x_(x), dir_(std::move(dir)) {}
  ~Game() { Kill(); }

  const std::string& Dir() const { return dir_; }
  std::string ErrPath() const { return dir_ + "/stderr.txt"; }
  std::string Stderr() const { return vrxtest::ReadFile(ErrPath()); }
  std::string OutPath() const { return dir_ + "/stdout.txt"; }
  std::string Stdout() const { return vrxtest::ReadFile(OutPath()); }

  // Starts vrx from another working directory: it must find its files
  // itself. Sound goes nowhere unless extraEnv says otherwise.
  bool Start(const std::vector<std::string>& extraEnv = {}, const std::vector<std::string>& args = {}) {
    std::vector<std::string> env = {"DISPLAY=" + x_->Name(), "SDL_AUDIODRIVER=dummy", "LIBGL_ALWAYS_SOFTWARE=1",
                                    "GALLIUM_DRIVER=llvmpipe", "VRX_NO_DIALOGS=1", "ALSOFT_DRIVERS=null"};
    for (const std::string& e : extraEnv) env.push_back(e);
    std::vector<std::string> argv = {dir_ + "/vrx"};
    argv.insert(argv.end(), args.begin(), args.end());
    pid_ = Spawn(argv, env, OutPath(), ErrPath());
    window_ = 0;
    return pid_ > 0;
  }
  int WaitExit(int timeoutMs) {
    const int rc = e2e::WaitExit(pid_, timeoutMs);
    if (rc != -1) pid_ = -1;
    return rc;
  }
  void Kill() {
    KillAndReap(pid_);
    pid_ = -1;
  }
  bool Running() { return pid_ > 0 && e2e::WaitExit(pid_, 0) == -1; }

  // The main window ("VRX"), once it is mapped; 0 after timeoutMs.
  Window FindWindow(int timeoutMs = 20000) {
    for (int waited = 0; waited <= timeoutMs; waited += 50) {
      window_ = Search(DefaultRootWindow(x_->Dpy()));
      if (window_) return window_;
      SleepMs(50);
    }
    return 0;
  }
  Window Win() const { return window_; }

  Picture Grab() {
    Picture p;
    XWindowAttributes a;
    if (!window_ || !XGetWindowAttributes(x_->Dpy(), window_, &a) || a.map_state != IsViewable) return p;
    XImage* img = XGetImage(x_->Dpy(), window_, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
    if (!img) return p;
    p.width = a.width;
    p.height = a.height;
    p.pixels.resize(size_t(a.width) * a.height);
    for (int y = 0; y < a.height; ++y)
      for (int x = 0; x < a.width; ++x) p.pixels[size_t(y) * a.width + x] = 0xFF000000u | XGetPixel(img, x, y);
    XDestroyImage(img);
    return p;
  }
  // Grabs until `ok` holds for a picture; false after timeoutMs.
  template <class F>
  bool WaitFor(F ok, int timeoutMs = 15000, Picture* last = nullptr) {
    for (int waited = 0; waited <= timeoutMs; waited += 100) {
      Picture p = Grab();
      const bool good = p.width > 0 && ok(p);
      if (last) *last = p;
      if (good) return true;
      SleepMs(100);
    }
    return false;
  }

  // Runs xdotool on the private display; its exit code.
  int Xdo(std::vector<std::string> args) {
    args.insert(args.begin(), "xdotool");
    const pid_t pid = Spawn(args, {"DISPLAY=" + x_->Name()}, "", "");
    return pid > 0 ? e2e::WaitExit(pid, 10000) : -1;
  }
  // Pointer to a place given as fractions of the window.
  void MoveTo(float fx, float fy) {
    XWindowAttributes a;
    XGetWindowAttributes(x_->Dpy(), window_, &a);
    Xdo({"mousemove", "--window", std::to_string(window_), std::to_string(int(fx * a.width)),
         std::to_string(int(fy * a.height))});
    SleepMs(150);
  }
  // A click the game's widgets see: the button stays down for a few frames
  // (the game looks at the button once a frame).
  void Click(float fx, float fy, int holdMs = 250) {
    MoveTo(fx, fy);
    Xdo({"mousedown", "1"});
    SleepMs(holdMs);
    Xdo({"mouseup", "1"});
    SleepMs(350);
  }
  // One key held long enough for a frame to see it.
  void Key(const std::string& keysym) {
    Xdo({"keydown", keysym});
    SleepMs(150);
    Xdo({"keyup", keysym});
    SleepMs(150);
  }
  // What a window manager's close button does: WM_DELETE_WINDOW.
  void RequestClose() {
    Display* d = x_->Dpy();
    XEvent ev;
    memset(&ev, 0, sizeof ev);
    ev.xclient.type = ClientMessage;
    ev.xclient.window = window_;
    ev.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = long(XInternAtom(d, "WM_DELETE_WINDOW", False));
    ev.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, window_, False, NoEventMask, &ev);
    XFlush(d);
  }

 private:
  Window Search(Window w) {
    Display* d = x_->Dpy();
    char* name = nullptr;
    XWindowAttributes a;
    if (XFetchName(d, w, &name) && name) {
      const bool match = strcmp(name, "VRX") == 0;
      XFree(name);
      if (match && XGetWindowAttributes(d, w, &a) && a.map_state == IsViewable) return w;
    }
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    if (!XQueryTree(d, w, &root, &parent, &children, &n)) return 0;
    Window found = 0;
    for (unsigned i = 0; i < n && !found; ++i) found = Search(children[i]);
    if (children) XFree(children);
    return found;
  }

  XServer* x_;
  std::string dir_;
  pid_t pid_ = -1;
  Window window_ = 0;
};

// The size of a TGA picture in DATA (its header), for finding the buttons.
inline bool TgaSize(const std::string& path, int* w, int* h) {
  const std::string d = vrxtest::ReadFile(path);
  if (d.size() < 18) return false;
  *w = uint8_t(d[12]) | uint8_t(d[13]) << 8;
  *h = uint8_t(d[14]) | uint8_t(d[15]) << 8;
  return true;
}

// The centre of a menu control placed at (x, y) with scale (sx, sy), as
// fractions of the window: the image's pixels are scaled against a
// 1000 x 750 screen.
struct Place {
  float x, y;
};
inline Place Centre(const std::string& bin, bool field, float x, float y, float sx, float sy) {
  int w = 0, h = 0;
  TgaSize(bin + (field ? "/DATA/MENU/FrameOut.tga" : "/DATA/MENU/ButtonOut.tga"), &w, &h);
  return Place{x + w * sx * 0.001f * 0.5f, y + h * sy / 750.0f * 0.5f};
}

// A copy of the build's bin folder (programs, libraries, language file and
// the DATA directory) in a fresh folder.
inline std::string CopyBin(const std::string& name) {
  const std::string dir = vrxtest::MakeTempDir(name);
  std::error_code ec;
  fs::copy(VRX_BIN_DIR, dir, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
  for (const char* f : {"vrx.cfg", "vrx.ini"}) fs::remove(dir + "/" + f, ec);
  return dir;
}

// Runs vrx-config from the copy to write a vrx.cfg of the given size (and
// the further options given, such as --windowed).
inline bool WriteConfig(XServer* x, const std::string& dir, int width, int height,
                        const std::vector<std::string>& more = {}) {
  std::vector<std::string> argv = {dir + "/vrx-config", "--width", std::to_string(width), "--height",
                                   std::to_string(height), "--depth", "32", "--view", "5", "--file", dir + "/vrx.cfg"};
  argv.insert(argv.end(), more.begin(), more.end());
  const pid_t pid = Spawn(argv, {"DISPLAY=" + x->Name(), "LIBGL_ALWAYS_SOFTWARE=1", "GALLIUM_DRIVER=llvmpipe"}, "", "");
  return pid > 0 && WaitExit(pid, 30000) == 0;
}

}  // namespace e2e
