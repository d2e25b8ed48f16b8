# Apple settings for the macOS backend (Objective-C++, frameworks).
enable_language(OBJCXX)
