# Two commands: `make run` starts the player, `make test` builds and runs every test.
# Both first install the Debian packages the project needs (only the missing ones).

BUILD_DIR ?= build
JOBS ?= $(shell nproc)

PACKAGES := cmake g++ pkg-config ninja-build \
	qt6-base-dev qt6-multimedia-dev \
	libavcodec-dev libavformat-dev libavutil-dev libswscale-dev libswresample-dev ffmpeg \
	libcurl4-openssl-dev libudev-dev \
	libgtest-dev libgmock-dev libbenchmark-dev \
	python3-pyftpdlib \
	fonts-ipafont-gothic fonts-ipafont-mincho

# Node.js and npm run the tuner server the server-backend tests talk to (its npm package is
# installed into the build folder by the test itself). Any installed npm will do, so these
# are asked for only when there is none.
NODE_PACKAGES := nodejs npm

# Programs for looking at real windows (screenshots); not needed by the tests.
SCREEN_PACKAGES := xvfb xauth imagemagick

.PHONY: all deps build test run screen-deps clean format

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

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR)
