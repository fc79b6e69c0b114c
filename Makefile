# Two commands: `make run` starts the player, `make test` builds and runs every test.
# Both first install the Debian packages the project needs (only the missing ones).

BUILD_DIR ?= build
JOBS ?= $(shell nproc)

PACKAGES := cmake g++ pkg-config ninja-build \
	qt6-base-dev qt6-multimedia-dev \
	libavcodec-dev libavformat-dev libavutil-dev libswscale-dev libswresample-dev ffmpeg \
	libcurl4-openssl-dev libudev-dev libxcb1-dev \
	libgtest-dev libgmock-dev libbenchmark-dev \
	python3-pyftpdlib \
	fonts-ipafont-gothic fonts-ipafont-mincho \
	clang libclang-rt-14-dev

# Node.js and npm run the tuner server the server-backend tests talk to (its npm package is
# installed into the build folder by the test itself). Any installed npm will do, so these
# are asked for only when there is none.
NODE_PACKAGES := nodejs npm

# Programs for looking at real windows (screenshots); not needed by the tests.
SCREEN_PACKAGES := xvfb xauth imagemagick

.PHONY: all deps build test run screen-deps clean format sanitize fuzz

all: build

deps:
	@missing=""; \
	for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	command -v npm >/dev/null 2>&1 || missing="$$missing $(NODE_PACKAGES)"; \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" = "0" ]; then \
	    echo "Installing:$$missing"; \
	    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing; \
	  else \
	    echo "Missing packages. Run:"; echo "  sudo apt-get install$$missing"; exit 1; \
	  fi; \
	fi

screen-deps:
	@$(MAKE) --no-print-directory deps PACKAGES="$(SCREEN_PACKAGES)"

$(BUILD_DIR)/build.ninja:
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen TZ=Asia/Tokyo \
	  ctest --output-on-failure -j $(JOBS)

run: build
	exec $(BUILD_DIR)/app/kobal_player

# The sanitizer build: AddressSanitizer and UBSan (any report fails), the whole suite. With
# clang it is also the fuzzing build: every library carries libFuzzer's coverage and the fuzz
# targets are libFuzzer programs (`make fuzz` reuses it); with gcc only the sanitizers.
SAN_DIR ?= build-san
SECONDS ?= 30
# Targets fuzzed at a time (each takes one core), and extra ctest arguments for the sanitizer
# run (CI: CTEST_ARGS="-LE realtime" leaves out the cases that mostly wait on real time).
FUZZ_JOBS ?= $(JOBS)
CTEST_ARGS ?=
SAN_ENV := QT_QPA_PLATFORM=offscreen TZ=Asia/Tokyo \
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp

$(SAN_DIR)/build.ninja:
	@if command -v clang++ >/dev/null; then \
	  CC=clang CXX=clang++ cmake -S . -B $(SAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOBAL_FUZZ=ON; \
	else \
	  cmake -S . -B $(SAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOBAL_ASAN=ON; \
	fi

sanitize: deps $(SAN_DIR)/build.ninja
	cmake --build $(SAN_DIR) -j $(JOBS)
	cd $(SAN_DIR) && $(SAN_ENV) ctest --output-on-failure -j $(JOBS) $(CTEST_ARGS)

# Fuzzes every target for SECONDS seconds (libFuzzer, clang), FUZZ_JOBS targets at a time;
# new inputs collect in $(SAN_DIR)/fuzz/<target>/, crashes in $(SAN_DIR)/fuzz/crash-<target>-*.
fuzz: deps $(SAN_DIR)/build.ninja
	cmake --build $(SAN_DIR) -j $(JOBS) --target fuzz_all
	$(SAN_ENV) tests/fuzz/run.sh -j $(FUZZ_JOBS) $(SAN_DIR) $(SECONDS)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR)
