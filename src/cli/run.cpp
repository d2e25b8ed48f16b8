// Command dispatch: exact, case-sensitive command words tested in a fixed
// order; one message and status 1 for each way a run can fail.
#include "cli/run.h"

#include <array>
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

int screenshot(const Invocation& run) {
  // Held until the record is out, then released on every path.
  const desktop::ImagePtr image = run.desktop.captureMainDisplay();
  if (!image) return fail(run.err, messages::captureFailed);
  // Named as the screen was read: recognition takes seconds, and the user may switch meanwhile.
  std::string appName = getActiveAppName(run.desktop);
  Recognition recognition = recognizeText(run.desktop.textRecognizer(), *image, run.err);
  // The record says when it was assembled, after recognition and the name.
  std::string timestamp = formatTimestamp(run.desktop.now());
  const CaptureResult result{std::move(recognition.text), std::move(appName), std::move(timestamp),
                             recognition.confidence};
  const auto json = encodeJson(result);
  if (!json) return fail(run.err, messages::encodingFailed);
  return print(run, *json);
}

int activeApp(const Invocation& run) { return print(run, getActiveAppName(run.desktop)); }

int clipboard(const Invocation& run) {
  const desktop::PasteboardRead read = run.desktop.pasteboardString();
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
  activateApp(run.desktop, *pid, run.err);
  // "ok" says the command was carried out, not that an application was found.
  return print(run, "ok");
}

struct Command {
  std::string_view word;
  int (*handler)(const Invocation&);
};

constexpr std::array<Command, 4> commands{{
    {"screenshot", screenshot},
    {"active-app", activeApp},
    {"clipboard", clipboard},
    {"activate", activate},
}};

}  // namespace

int run(const std::vector<std::string>& args, desktop::Desktop& desktop, std::ostream& out, std::ostream& err) {
  if (args.size() < 2) return fail(err, messages::generalUsage);
  const std::string& command = args[1];
  const Invocation invocation{args, desktop, out, err};
  for (const auto& [word, handler] : commands) {
    if (command == word) return handler(invocation);
  }
  return fail(err, std::string(messages::unknownCommandPrefix) + repairUtf8(command) + "\n");
}

}  // namespace kestrova
