// Opening the display, interning atoms, the EWMH state and bounded waits for
// replies and events.
#include "desktop/x11/connection.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>
#include <xcb/xcbext.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>

namespace kestrova::desktop::x11 {
namespace {

using std::chrono::milliseconds;

std::string patienceText() { return std::to_string(Connection::patience.count()) + " s"; }

// libxcb reads the connection setup without any time limit. While it does,
// no other socket is open in this process, so the watchdog's signal can
// simply end every socket it finds; libxcb then reads the end of the stream
// and gives up.
volatile std::sig_atomic_t setupTimedOut = 0;

void endSetup(int) {
  const int saved = errno;
  setupTimedOut = 1;
  for (int fd = 3; fd < 256; ++fd) {
    struct stat status {};
    if (::fstat(fd, &status) == 0 && S_ISSOCK(status.st_mode)) ::shutdown(fd, SHUT_RDWR);
  }
  errno = saved;
}

class SetupWatchdog {
 public:
  SetupWatchdog() {
    setupTimedOut = 0;
    struct sigaction action {};
    action.sa_handler = endSetup;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGALRM, &action, &previous_);
    sigset_t alarm;
    sigemptyset(&alarm);
    sigaddset(&alarm, SIGALRM);
    // A host may start us with the signal blocked.
    ::sigprocmask(SIG_UNBLOCK, &alarm, &mask_);
    itimerval timer{};
    timer.it_value.tv_sec = Connection::patience.count();
    ::setitimer(ITIMER_REAL, &timer, nullptr);
  }
  ~SetupWatchdog() {
    const itimerval off{};
    ::setitimer(ITIMER_REAL, &off, nullptr);
    ::sigprocmask(SIG_SETMASK, &mask_, nullptr);
    ::sigaction(SIGALRM, &previous_, nullptr);
  }
  SetupWatchdog(const SetupWatchdog&) = delete;
  SetupWatchdog& operator=(const SetupWatchdog&) = delete;

  bool timedOut() const { return setupTimedOut != 0; }

 private:
  struct sigaction previous_ {};
  sigset_t mask_{};
};

// libxcb writes the server's refusal ("Invalid MIT-MAGIC-COOKIE-1 key") to
// descriptor 2. Standard error carries only the tool's own lines, so while
// the connection is set up descriptor 2 is a pipe, and the words become the
// reason the tool gives.
class StderrCapture {
 public:
  StderrCapture() {
    int ends[2];
    // Non-blocking: a refusal longer than the pipe is cut, not a hang.
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return;
    saved_ = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    if (saved_ < 0 || ::dup2(ends[1], STDERR_FILENO) < 0) {
      ::close(ends[0]);
      ends[0] = -1;
    }
    ::close(ends[1]);
    reader_ = ends[0];
  }
  ~StderrCapture() { restore(); }
  StderrCapture(const StderrCapture&) = delete;
  StderrCapture& operator=(const StderrCapture&) = delete;

  // Puts descriptor 2 back; returns what was written meanwhile, as one line.
  std::string restore() {
    if (saved_ >= 0) {
      ::dup2(saved_, STDERR_FILENO);
      ::close(saved_);
      saved_ = -1;
    }
    std::string words;
    if (reader_ < 0) return words;
    char buffer[512];
    const ssize_t count = ::read(reader_, buffer, sizeof buffer);
    ::close(reader_);
    reader_ = -1;
    for (ssize_t i = 0; i < count; ++i) {
      const auto ch = static_cast<unsigned char>(buffer[i]);
      words += ch < 0x20 || ch == 0x7F ? ' ' : static_cast<char>(ch);
    }
    const auto first = words.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return words.substr(first, words.find_last_not_of(' ') - first + 1);
  }

 private:
  int saved_ = -1;
  int reader_ = -1;
};

std::string openingFailure(int error, const char* display) {
  switch (error) {
    case XCB_CONN_CLOSED_PARSE_ERR:
      return display == nullptr || *display == '\0' ? "DISPLAY is not set" : "not a display name";
    case XCB_CONN_CLOSED_INVALID_SCREEN:
      return "no such screen";
    case XCB_CONN_CLOSED_MEM_INSUFFICIENT:
      return "out of memory";
    default:
      return {};
  }
}

}  // namespace

void Connection::EwmhWipe::operator()(xcb_ewmh_connection_t* e) const noexcept {
  xcb_ewmh_connection_wipe(e);
  delete e;
}

Connection::Connection(std::unique_ptr<xcb_connection_t, Disconnect> connection, xcb_screen_t* screen,
                       int screenNumber, std::string display)
    : connection_(std::move(connection)), display_(std::move(display)), screen_(screen), screenNumber_(screenNumber) {}

Connection::~Connection() {
  // Requests still in the buffer (an activation, say) must reach the server.
  if (!silent_ && xcb_connection_has_error(get()) == 0) flush();
}

std::unique_ptr<Connection> Connection::open(Unreachable& why) {
  const char* display = std::getenv("DISPLAY");
  why = Unreachable{Unreachable::Kind::notOpened, display != nullptr ? display : "", {}};
  int screenNumber = 0;
  std::unique_ptr<xcb_connection_t, Disconnect> connection;
  std::string words;
  bool timedOut = false;
  {
    StderrCapture capture;
    SetupWatchdog watchdog;
    connection.reset(xcb_connect(nullptr, &screenNumber));
    timedOut = watchdog.timedOut();
    words = capture.restore();
  }
  // xcb_connect never returns null, but a failed one carries an error state.
  const int error = connection ? xcb_connection_has_error(connection.get()) : XCB_CONN_CLOSED_MEM_INSUFFICIENT;
  if (timedOut) {
    why.kind = Unreachable::Kind::stoppedAnswering;
    why.reason = "the X server did not answer within " + patienceText();
    return nullptr;
  }
  if (error != 0) {
    why.reason = words.empty() ? openingFailure(error, display) : words;
    return nullptr;
  }
  auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection.get()));
  for (int i = 0; i < screenNumber && screens.rem > 0; ++i) xcb_screen_next(&screens);
  if (screens.rem == 0 || screens.data == nullptr) {
    why.reason = openingFailure(XCB_CONN_CLOSED_INVALID_SCREEN, display);
    return nullptr;
  }
  return std::unique_ptr<Connection>(new Connection(std::move(connection), screens.data, screenNumber, why.display));
}

void* Connection::awaitReply(unsigned int sequence) {
  xcb_connection_t* c = get();
  if (!silent_) flush();
  auto deadline = Clock::now() + patience;
  for (;;) {
    void* reply = nullptr;
    xcb_generic_error_t* error = nullptr;
    // Answers at once on a broken connection, with no reply.
    if (xcb_poll_for_reply(c, sequence, &reply, &error) != 0) {
      std::free(error);
      return reply;
    }
    const auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now()).count();
    if (silent_ || left <= 0) {
      giveUp();
      xcb_discard_reply(c, sequence);
      return nullptr;
    }
    pollfd socket{xcb_get_file_descriptor(c), POLLIN, 0};
    if (::poll(&socket, 1, static_cast<int>(left)) > 0) deadline = Clock::now() + patience;
  }
}

void Connection::giveUp() {
  if (silent_ || xcb_connection_has_error(get()) != 0) return;
  silent_ = true;
  // libxcb's own waits (extension data, EWMH helpers) then read the end of
  // the stream and return, rather than wait for the silent server.
  ::shutdown(xcb_get_file_descriptor(get()), SHUT_RDWR);
}

bool Connection::sync() {
  // Any request with a reply will do: its answer comes after all the earlier ones.
  XcbReply<xcb_get_input_focus_reply_t> focus = reply<xcb_get_input_focus_reply_t>(xcb_get_input_focus(get()));
  return focus != nullptr;
}

bool Connection::succeeded(xcb_void_cookie_t cookie) {
  if (!sync()) return false;
  void* reply = nullptr;
  xcb_generic_error_t* error = nullptr;
  // The request is complete once a later one was answered: this never waits.
  xcb_poll_for_reply(get(), cookie.sequence, &reply, &error);
  std::free(reply);
  const XcbError failed(error);
  return !failed;
}

const xcb_query_extension_reply_t* Connection::extension(xcb_extension_t& extension) {
  xcb_prefetch_extension_data(get(), &extension);
  if (!sync()) return nullptr;
  return xcb_get_extension_data(get(), &extension);
}

std::optional<Unreachable> Connection::stoppedAnswering() const {
  const int error = xcb_connection_has_error(get());
  if (!silent_ && error == 0) return std::nullopt;
  std::string reason = silent_ ? "the X server did not answer within " + patienceText()
                       : error == XCB_CONN_CLOSED_MEM_INSUFFICIENT ? "out of memory"
                                                                   : "the X server closed the connection";
  return Unreachable{Unreachable::Kind::stoppedAnswering, display_, std::move(reason)};
}

std::vector<xcb_atom_t> Connection::internAtoms(std::initializer_list<std::string_view> names) {
  std::vector<xcb_intern_atom_cookie_t> cookies;
  cookies.reserve(names.size());
  for (auto name : names) {
    cookies.push_back(xcb_intern_atom(get(), 0, static_cast<std::uint16_t>(name.size()), name.data()));
  }
  std::vector<xcb_atom_t> atoms;
  atoms.reserve(names.size());
  for (auto cookie : cookies) {
    auto answer = reply<xcb_intern_atom_reply_t>(cookie);
    atoms.push_back(answer ? answer->atom : xcb_atom_t{XCB_ATOM_NONE});
  }
  return atoms;
}

xcb_ewmh_connection_t& Connection::ewmh() {
  if (!ewmh_) {
    std::unique_ptr<xcb_ewmh_connection_t, EwmhWipe> ewmh(new xcb_ewmh_connection_t{});
    constexpr std::string_view gtkName = "_GTK_APPLICATION_ID";
    auto gtkCookie = xcb_intern_atom(get(), 0, gtkName.size(), gtkName.data());
    xcb_intern_atom_cookie_t* cookies = xcb_ewmh_init_atoms(get(), ewmh.get());
    // The library waits for its replies without a limit; after the sync they
    // are all here (or the connection is given up), so it does not wait.
    sync();
    // Takes ownership of the cookies. A failure leaves every atom none, so no
    // manager is ever found and no helper that indexes `screens` is reached.
    if (xcb_ewmh_init_atoms_replies(ewmh.get(), cookies, nullptr) == 0) {
      *ewmh = xcb_ewmh_connection_t{};
      ewmh->connection = get();
    }
    auto gtk = reply<xcb_intern_atom_reply_t>(gtkCookie);
    if (gtk) gtkApplicationId_ = gtk->atom;
    ewmh_ = std::move(ewmh);
  }
  return *ewmh_;
}

bool Connection::hasWindowManager() {
  if (!hasWindowManager_) {
    auto& e = ewmh();
    auto checkWindowOf = [&](xcb_window_t window) {
      auto answer = reply<xcb_get_property_reply_t>(xcb_ewmh_get_supporting_wm_check(&e, window));
      xcb_window_t named = XCB_NONE;
      return answer && xcb_ewmh_get_window_from_reply(&named, answer.get()) != 0 ? named : xcb_window_t{XCB_NONE};
    };
    const xcb_window_t check = checkWindowOf(root());
    // A manager that died leaves the root property behind; its window does not survive it.
    hasWindowManager_ = check != XCB_NONE && checkWindowOf(check) == check;
  }
  return *hasWindowManager_;
}

xcb_window_t Connection::helperWindow() {
  if (helperWindow_ == XCB_NONE) {
    helperWindow_ = xcb_generate_id(get());
    const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    // Never mapped and destroyed with the connection.
    xcb_create_window(get(), XCB_COPY_FROM_PARENT, helperWindow_, root(), -1, -1, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
  }
  return helperWindow_;
}

xcb_timestamp_t Connection::serverTime() {
  if (serverTime_) return *serverTime_;
  // The ICCCM way: an empty append changes nothing but yields a PropertyNotify
  // stamped with the server's time.
  const xcb_window_t window = helperWindow();
  xcb_change_property(get(), XCB_PROP_MODE_APPEND, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 0, nullptr);
  flush();
  const auto deadline = Clock::now() + std::chrono::seconds(1);
  while (auto event = waitForEvent(deadline)) {
    if ((event->response_type & 0x7F) != XCB_PROPERTY_NOTIFY) continue;
    const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event.get());
    if (notify->window == window && notify->atom == XCB_ATOM_WM_NAME) {
      serverTime_ = notify->time;
      return notify->time;
    }
  }
  return XCB_CURRENT_TIME;
}

XcbEvent Connection::waitForEvent(Clock::time_point deadline) {
  for (;;) {
    if (XcbEvent event{xcb_poll_for_event(get())}) return event;
    if (xcb_connection_has_error(get()) != 0) return nullptr;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return nullptr;
    pollfd socket{xcb_get_file_descriptor(get()), POLLIN, 0};
    ::poll(&socket, 1, static_cast<int>(std::min<long long>(left, 60'000)));
  }
}

}  // namespace kestrova::desktop::x11
