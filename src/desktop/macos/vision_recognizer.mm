// Text recognition with Vision: one VNRecognizeTextRequest over the captured
// image, its results handed to the core as they are listed.
#import <Foundation/Foundation.h>
#import <Vision/Vision.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "desktop/macos/backend.h"
#include "desktop/macos/display_capture.h"
#include "desktop/macos/ns_string.h"

namespace kestrova::desktop::macos {
namespace {

std::string describe(NSError* _Nullable error) {
  if (error == nil) return "Vision gave no reason";
  return utf8String(error.localizedDescription).value_or(std::string());
}

VNRequestTextRecognitionLevel visionLevel(RecognitionLevel level) {
  switch (level) {
    case RecognitionLevel::fast:
      return VNRequestTextRecognitionLevelFast;
    case RecognitionLevel::accurate:
      break;
  }
  return VNRequestTextRecognitionLevelAccurate;
}

// Every observation keeps its place and says whether it is a text
// observation; deciding what a foreign one means is the core's business.
std::vector<Observation> observationsOf(NSArray<VNObservation*>* results) {
  std::vector<Observation> observations;
  observations.reserve(results.count);
  for (VNObservation* listed in results) {
    Observation observation;
    if ([listed isKindOfClass:[VNRecognizedTextObservation class]]) {
      auto* recognized = static_cast<VNRecognizedTextObservation*>(listed);
      for (VNRecognizedText* candidate in [recognized topCandidates:1]) {
        observation.topCandidates.push_back({utf8String(candidate.string).value_or(std::string()),
                                             candidate.confidence});
      }
    } else {
      observation.isText = false;
    }
    observations.push_back(std::move(observation));
  }
  return observations;
}

// Vision may call back on a thread of its own, after perform() has returned:
// the block keeps its own copy of the completion.
VNRequestCompletionHandler handlerFor(Completion completion) {
  return ^(VNRequest* finished, NSError* _Nullable requestError) {
    @autoreleasepool {
      if (requestError != nil) {
        completion(std::nullopt, describe(requestError));
        return;
      }
      NSArray<VNObservation*>* results = finished.results;
      if (results == nil) {
        completion(std::nullopt, std::nullopt);
        return;
      }
      completion(observationsOf(results), std::nullopt);
    }
  };
}

class VisionRecognizer final : public TextRecognizer {
 public:
  bool perform(const Image& image, const RecognitionSettings& settings, Completion completion,
               std::string& error) override {
    @autoreleasepool {
      const auto* display = dynamic_cast<const DisplayImage*>(&image);
      if (display == nullptr) {
        error = "macOS Vision recognizer: the image was not captured by CoreGraphics";
        return false;
      }
      VNRecognizeTextRequest* request =
          [[VNRecognizeTextRequest alloc] initWithCompletionHandler:handlerFor(std::move(completion))];
      request.recognitionLevel = visionLevel(settings.level);
      request.usesLanguageCorrection = settings.usesLanguageCorrection;
      VNImageRequestHandler* handler =
          [[VNImageRequestHandler alloc] initWithCGImage:display->cgImage() options:@{}];
      NSError* failure = nil;
      if (![handler performRequests:@[ request ] error:&failure]) {
        error = describe(failure);
        return false;
      }
      return true;
    }
  }
};

}  // namespace

std::unique_ptr<TextRecognizer> makeVisionRecognizer() { return std::make_unique<VisionRecognizer>(); }

}  // namespace kestrova::desktop::macos
