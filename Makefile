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

.PHONY: all deps build test install demo bench clean

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
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

clean:
	rm -rf $(BUILD_DIR)
