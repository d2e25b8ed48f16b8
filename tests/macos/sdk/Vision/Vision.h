// What the macOS backend uses of Vision, as the macOS 14 SDK's headers declare it.
#pragma once

#import <CoreGraphics/CoreGraphics.h>
#import <Foundation/Foundation.h>

NS_ASSUME_NONNULL_BEGIN

typedef float VNConfidence;
typedef NSString *VNImageOption NS_STRING_ENUM;

@class VNRequest;
typedef void (^VNRequestCompletionHandler)(VNRequest *request, NSError *_Nullable error);

@interface VNObservation : NSObject
@end

@interface VNDetectedObjectObservation : VNObservation
@end

@interface VNRectangleObservation : VNDetectedObjectObservation
@end

@interface VNRecognizedText : NSObject
@property (readonly, nonatomic, copy) NSString *string;
@property (readonly, nonatomic, assign) VNConfidence confidence;
@end

@interface VNRecognizedTextObservation : VNRectangleObservation
- (NSArray<VNRecognizedText *> *)topCandidates:(NSUInteger)maxCandidateCount;
@end

@interface VNRequest : NSObject
- (instancetype)initWithCompletionHandler:(nullable VNRequestCompletionHandler)completionHandler
    NS_DESIGNATED_INITIALIZER;
@property (readonly, copy, nullable) NSArray<VNObservation *> *results;
@end

@interface VNImageBasedRequest : VNRequest
@end

typedef NS_ENUM(NSInteger, VNRequestTextRecognitionLevel) {
  VNRequestTextRecognitionLevelAccurate = 0,
  VNRequestTextRecognitionLevelFast,
};

@interface VNRecognizeTextRequest : VNImageBasedRequest
@property (readwrite, nonatomic, assign) VNRequestTextRecognitionLevel recognitionLevel;
@property (readwrite, nonatomic, assign) BOOL usesLanguageCorrection;
@property (readonly, copy, nullable) NSArray<VNRecognizedTextObservation *> *results;
@end

@interface VNImageRequestHandler : NSObject
- (instancetype)initWithCGImage:(CGImageRef)image options:(NSDictionary<VNImageOption, id> *)options;
- (BOOL)performRequests:(NSArray<VNRequest *> *)requests error:(NSError **)error;
@end

NS_ASSUME_NONNULL_END
