// Command dispatch with arbitrary argument vectors against a fuzz-scripted desktop:
// status 0 or 1, valid UTF-8 out, and on failure one known message and no stdout.
#include <fuzzer/FuzzedDataProvider.h>

#include <ctime>
#include <sstream>

#include "../unit/fake_desktop.h"
#include "cli/messages.h"
#include "cli/process_id.h"
#include "reference.h"

namespace {

using kestrova::fuzzing::isValidUtf8;
using kestrova::fuzzing::require;
using kestrova::testing::FakeDesktop;
namespace desktop = kestrova::desktop;
namespace messages = kestrova::messages;

constexpr const char* commandWords[] = {"screenshot", "active-app", "clipboard", "activate"};

std::vector<std::string> argumentsFrom(FuzzedDataProvider& input) {
  // Zero stands for an argument vector without even the program name.
  const auto count = input.ConsumeIntegralInRange<std::size_t>(0, 5);
  std::vector<std::string> args;
  for (std::size_t i = 0; i < count; ++i) {
    // Known words half the time, so the commands themselves get explored.
    if (i == 1 && input.ConsumeBool()) {
      args.emplace_back(commandWords[input.ConsumeIntegralInRange<std::size_t>(0, 3)]);
    } else {
      args.push_back(input.ConsumeRandomLengthString(64));
    }
  }
  return args;
}

std::optional<std::string> maybeText(FuzzedDataProvider& input) {
  if (!input.ConsumeBool()) return std::nullopt;
  return input.ConsumeRandomLengthString(64);
}

void scriptDesktop(FuzzedDataProvider& input, FakeDesktop& fake, const std::vector<std::string>& args) {
  using kestrova::testing::Delivery;
  fake.hasImage = input.ConsumeBool();
  // Delivery on a later thread is left out: it sleeps, and the unit tests cover it.
  constexpr Delivery deliveries[] = {Delivery::insidePerform, Delivery::failedWithCompletion, Delivery::failedSilently};
  fake.recognizer.delivery = deliveries[input.ConsumeIntegralInRange<std::size_t>(0, 2)];
  if (input.ConsumeBool()) {
    std::vector<desktop::Observation> observations(input.ConsumeIntegralInRange<std::size_t>(0, 4));
    for (auto& observation : observations) {
      observation.isText = input.ConsumeProbability<float>() < 0.9F;
      if (input.ConsumeBool()) {
        // Any float, NaN and the infinities included: the recognizer is not trusted.
        const float confidence = input.ConsumeFloatingPoint<float>();
        observation.topCandidates.push_back({input.ConsumeRandomLengthString(64), confidence});
      }
    }
    fake.recognizer.results = std::move(observations);
  } else {
    fake.recognizer.results.reset();
  }
  fake.recognizer.completionError = maybeText(input);
  fake.recognizer.performError = input.ConsumeRandomLengthString(64);
  if (input.ConsumeBool()) fake.frontmost = kestrova::testing::AppScript{maybeText(input), maybeText(input)};
  if (args.size() > 2 && input.ConsumeBool()) {
    if (const auto pid = kestrova::parseProcessId(args[2])) {
      fake.applications[*pid] = kestrova::testing::AppScript{maybeText(input), maybeText(input)};
    }
  }
  using Kind = kestrova::testing::WindowsScript::Kind;
  fake.windows.kind = static_cast<Kind>(input.ConsumeIntegralInRange<int>(0, 2));
  fake.windows.count = input.ConsumeIntegralInRange<int>(0, 3);
  switch (input.ConsumeIntegralInRange<int>(0, 2)) {
    case 0: fake.pasteboard = desktop::PasteboardRead::withText(input.ConsumeRandomLengthString(256)); break;
    case 1: fake.pasteboard = desktop::PasteboardRead::noText(); break;
    default: fake.pasteboard = desktop::PasteboardRead::failed(); break;
  }
  fake.clock = std::chrono::system_clock::time_point(std::chrono::nanoseconds(input.ConsumeIntegral<std::int64_t>()));
}

// The timestamp gmtime gives for the same instant, as a second witness.
std::string referenceTimestamp(std::chrono::system_clock::time_point time) {
  const auto seconds = std::chrono::floor<std::chrono::seconds>(time.time_since_epoch()).count();
  const std::time_t whole = static_cast<std::time_t>(seconds);
  std::tm parts{};
  require(gmtime_r(&whole, &parts) != nullptr, "gmtime covers the clock's range");
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

bool isOneLine(std::string_view text, std::string_view prefix) {
  return text.size() > prefix.size() && text.substr(0, prefix.size()) == prefix && text.back() == '\n';
}

void checkFailure(const std::vector<std::string>& args, const FakeDesktop& fake, const std::string& out,
                  const std::string& err) {
  require(out.empty(), "a failed run prints nothing on stdout");
  for (const std::string_view known : {messages::generalUsage, messages::activateUsage, messages::captureFailed,
                                       messages::clipboardFailed, messages::encodingFailed}) {
    if (err == known) return;
  }
  require(args.size() >= 2, "without a command the message is the usage");
  require(isOneLine(err, messages::unknownCommandPrefix), "an unknown command is named in its message");
  const std::string_view named = std::string_view(err).substr(messages::unknownCommandPrefix.size(),
                                                               err.size() - messages::unknownCommandPrefix.size() - 1);
  if (isValidUtf8(args[1])) require(named == args[1], "a valid command word is named as given");
  require(fake.calls.empty(), "an unknown command never reaches the desktop");
}

void checkSuccess(const std::vector<std::string>& args, const FakeDesktop& fake, const std::string& out,
                  const std::string& err) {
  require(args.size() >= 2, "success needs a command");
  const std::string& command = args[1];
  if (command == "activate") {
    require(out == "ok\n", "activate prints ok");
    require(err.empty() || isOneLine(err, "No app with PID "), "activate says at most that no app was found");
  } else if (command == "active-app") {
    require(!out.empty() && out.back() == '\n' && err.empty(), "active-app prints one name");
  } else if (command == "clipboard") {
    require((out.empty() || out.back() == '\n') && err.empty(), "clipboard prints its text or nothing");
  } else {
    require(command == "screenshot", "success only for the four commands");
    // The recognizer's description is passed on as it is, line feeds and all.
    require(err.empty() || isOneLine(err, "OCR error: "), "a screenshot says at most its OCR error");
    require(out.back() == '\n', "the record ends its line");
    const auto members = kestrova::fuzzing::FlatJsonReader(out).read();
    require(members && members->size() == 4, "the record is one object of four members");
    require((*members)[2].value == referenceTimestamp(fake.clock), "the timestamp is the clock's second in UTC");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::vector<std::string> args = argumentsFrom(input);
  FakeDesktop fake;
  scriptDesktop(input, fake, args);

  std::ostringstream out;
  std::ostringstream err;
  const int status = kestrova::run(args, fake, out, err);
  const std::string outText = out.str();
  const std::string errText = err.str();

  require(status == 0 || status == 1, "status is 0 or 1");
  require(isValidUtf8(outText), "stdout is valid UTF-8");
  require(isValidUtf8(errText), "stderr is valid UTF-8");
  if (status == 1) {
    checkFailure(args, fake, outText, errText);
  } else {
    checkSuccess(args, fake, outText, errText);
  }
  return 0;
}
