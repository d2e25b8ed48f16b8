# The README's commands. `make test` and `make demo` work on a fresh machine:
# they install what is missing first.
PREFIX ?= /usr/local
BUILD_DIR ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
UNAME := $(shell uname -s)
ifeq ($(UNAME),Darwin)
PLATFORM ?= macos
else
PLATFORM ?= x11
endif
CMAKE_FLAGS ?=

.PHONY: all deps build test install demo bench clean fuzz test-sanitize valgrind deb dist test-package

all: build

deps:
ifneq ($(UNAME),Darwin)
	@scripts/install-deps.sh
endif

$(BUILD_DIR)/CMakeCache.txt:
	cmake -S . -B $(BUILD_DIR) -DKESTROVA_PLATFORM=$(PLATFORM) $(CMAKE_FLAGS)

build: $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: deps
	$(MAKE) build
	$(MAKE) test-sanitize
	scripts/fuzz.sh 5
	scripts/valgrind-check.sh $(BUILD_DIR)/kestrova-capture
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)
ifneq ($(UNAME),Darwin)
	$(MAKE) test-package
endif

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize: deps
	cmake -S . -B build-sanitize -DKESTROVA_PLATFORM=$(PLATFORM) -DKESTROVA_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build build-sanitize -j $(JOBS)
	ctest --test-dir build-sanitize --output-on-failure -j $(JOBS)

# Each fuzz target for a minute.
fuzz: deps
	scripts/fuzz.sh 60

# The four commands under memcheck against a private X display.
valgrind: deps
	$(MAKE) build
	scripts/valgrind-check.sh $(BUILD_DIR)/kestrova-capture

# A private virtual display with a window manager, an xterm and a clipboard
# owner; runs the four commands against it.
demo: deps
	$(MAKE) build
	scripts/demo.sh $(BUILD_DIR)/kestrova-capture

# Text recognition against `import | tesseract` on a corpus it renders itself.
bench: deps
	@scripts/install-deps.sh scripts/deps/optional-bench.txt
	$(MAKE) build
	/usr/bin/python3 bench/bench.py --build-dir $(BUILD_DIR)

# The Debian package, from the normal build (nothing is compiled again):
# $(BUILD_DIR)/kestrova-capture_<version>_<arch>.deb
deb: deps
	$(MAKE) build
	cd $(BUILD_DIR) && cpack -G DEB

# lintian's verdict on the package, then its install, demo and removal.
test-package: deps
	$(MAKE) deb
	scripts/test-package.sh $(BUILD_DIR)

# The release archive: $(BUILD_DIR)/kestrova-capture-<version>-<os>-<arch>.tar.gz
dist: deps
	$(MAKE) build
	scripts/dist.sh $(BUILD_DIR)

install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

clean:
	rm -rf $(BUILD_DIR)
