// Command dispatch: exact, case-sensitive command words tested in a fixed
// order; one message and status 1 for each way a run can fail.
#include "cli/run.h"

#include <array>
#include <new>
#include <sstream>
#include <string_view>

#include "apps/activate_app.h"
#include "apps/active_app.h"
#include "cli/messages.h"
#include "cli/process_id.h"
#include "io/write.h"
#include "recognition/recognize_text.h"
#include "result/capture_result.h"
#include "result/timestamp.h"
#include "text/utf8.h"

namespace kestrova {
namespace {

struct Invocation {
  const std::vector<std::string>& args;
  desktop::Desktop& desktop;
  std::ostream& out;
  std::ostream& err;
};

int fail(std::ostream& err, std::string_view message) {
  writeMessage(err, message);
  return exitFailure;
}

int print(const Invocation& run, std::string_view text) {
  if (!printLine(run.out, text)) return fail(run.err, messages::writeFailed);
  return exitSuccess;
}

std::string displayLine(const desktop::Unreachable& why) {
  std::string line(messages::displayUnreachablePrefix);
  if (!why.display.empty()) line += " " + why.display;
  if (!why.reason.empty()) line += ": " + why.reason;
  return repairUtf8(line) + "\n";
}

// None while the desktop answers. A desktop that was never there is the
// display line for every command; one that stopped answering is the
// command's `own` failure message, where it has one.
std::optional<std::string> unreachableMessage(const Invocation& run, std::string_view own = {}) {
  const auto why = run.desktop.unreachable();
  if (!why) return std::nullopt;
  if (why->kind == desktop::Unreachable::Kind::stoppedAnswering && !own.empty()) return std::string(own);
  return displayLine(*why);
}

int screenshot(const Invocation& run) {
  // Held until the record is out, then released on every path.
  const desktop::ImagePtr image = run.desktop.captureMainDisplay();
  if (!image) {
    return fail(run.err, unreachableMessage(run, messages::captureFailed).value_or(std::string(messages::captureFailed)));
  }
  // Named as the screen was read: recognition takes seconds, and the user may switch meanwhile.
  std::string appName = getActiveAppName(run.desktop);
  // "Unknown" from a desktop that stopped answering would be a wrong answer.
  if (auto message = unreachableMessage(run, messages::captureFailed)) return fail(run.err, *message);
  Recognition recognition = recognizeText(run.desktop.textRecognizer(), *image, run.err);
  // The record says when it was assembled, after recognition and the name.
  std::string timestamp = formatTimestamp(run.desktop.now());
  const CaptureResult result{std::move(recognition.text), std::move(appName), std::move(timestamp),
                             recognition.confidence};
  const auto json = encodeJson(result);
  if (!json) return fail(run.err, messages::encodingFailed);
  return print(run, *json);
}

int activeApp(const Invocation& run) {
  const std::string name = getActiveAppName(run.desktop);
  if (auto message = unreachableMessage(run)) return fail(run.err, *message);
  return print(run, name);
}

int clipboard(const Invocation& run) {
  const desktop::PasteboardRead read = run.desktop.pasteboardString();
  if (auto message = unreachableMessage(run, messages::clipboardFailed)) return fail(run.err, *message);
  switch (read.outcome) {
    case desktop::PasteboardRead::Outcome::text:
      return print(run, repairUtf8(read.text));
    case desktop::PasteboardRead::Outcome::none:
      return exitSuccess;
    case desktop::PasteboardRead::Outcome::failed:
      break;
  }
  return fail(run.err, messages::clipboardFailed);
}

int activate(const Invocation& run) {
  if (run.args.size() < 3) return fail(run.err, messages::activateUsage);
  const auto pid = parseProcessId(run.args[2]);
  if (!pid) return fail(run.err, messages::activateUsage);
  // Held back: "No app with PID" from a desktop that could not be reached
  // would be a wrong answer. Found and asked, the application was activated,
  // whatever the desktop does afterwards.
  std::ostringstream notFound;
  activateApp(run.desktop, *pid, notFound);
  if (!notFound.str().empty()) {
    if (auto message = unreachableMessage(run)) return fail(run.err, *message);
    writeMessage(run.err, notFound.str());
  }
  // "ok" says the command was carried out, not that an application was found.
  return print(run, "ok");
}

struct Command {
  std::string_view word;
  int (*handler)(const Invocation&);
  std::string_view outOfMemory;  // after an allocation failure: its own failure message, where it has one
};

constexpr std::array<Command, 4> commands{{
    {"screenshot", screenshot, messages::captureFailed},
    {"active-app", activeApp, messages::outOfMemory},
    {"clipboard", clipboard, messages::clipboardFailed},
    {"activate", activate, messages::outOfMemory},
}};

}  // namespace

int run(const std::vector<std::string>& args, desktop::Desktop& desktop, std::ostream& out, std::ostream& err) {
  if (args.size() < 2) return fail(err, messages::generalUsage);
  const std::string& command = args[1];
  const Invocation invocation{args, desktop, out, err};
  for (const auto& [word, handler, outOfMemory] : commands) {
    if (command != word) continue;
    try {
      return handler(invocation);
    } catch (const std::bad_alloc&) {
      // No allocation failure may end the process by a signal or an uncaught exception.
      return fail(err, outOfMemory);
    }
  }
  return fail(err, std::string(messages::unknownCommandPrefix) + repairUtf8(command) + "\n");
}

}  // namespace kestrova
