# Entry points: `make demo` and `make test` work on a fresh Debian 12 machine as root;
# `make package` builds the server's .deb (no operator window) in build-service/.

PACKAGES := qt6-base-dev liburing-dev libqt6sql6-sqlite cmake ninja-build g++ ccache xvfb xauth clang-format clang-tidy \
            mosquitto mosquitto-clients libmosquitto-dev libssl-dev qt6-httpserver-dev qt6-websockets-dev \
            chromium chromium-driver python3-selenium openssl prometheus libfaketime
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

# apt-get waits up to ten minutes for another package tool (an unattended
# upgrade, a second make) to let go of its lock instead of failing at once.
APT_GET := $(SUDO) apt-get -o DPkg::Lock::Timeout=600

.PHONY: all deps build build-demo build-asan test test-asan demo package format lint lint-all clean

all: build

deps:
	@missing=$$(for p in $(PACKAGES); do dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing: $$missing"; \
	  $(APT_GET) update -qq && DEBIAN_FRONTEND=noninteractive $(APT_GET) install -y -qq $$missing; \
	fi

build: deps
	cmake --preset default
	cmake --build --preset default

build-asan: deps
	cmake --preset asan
	cmake --build --preset asan

# Only the two programs the demo runs: the tests and benchmarks are not
# needed to see the first page.
build-demo: deps
	cmake --preset default
	cmake --build --preset default --target ombrix ombrix-sim

test: build
	ctest --preset default

test-asan: build-asan
	ctest --preset asan

demo: build-demo
	./tools/demo.sh

# Only the packaged programs are built: cpack installs nothing else.
package: deps
	cmake --preset service
	cmake --build --preset service --target ombrix ombrix-sim
	cd build-service && cpack

SOURCES = find src tests tools bench -name '*.cpp' -o -name '*.h'

format:
	$(SOURCES) | xargs clang-format -i

# Fails on a formatting difference anywhere, and on a finding of .clang-tidy in
# the sources of src/ and tools/ changed since the last full pass (the commit in
# .ci/tidy-base); `make lint-all` checks every source, and its commit may then
# become the base. Both read the build's compile_commands.json.
lint: deps
	$(SOURCES) | xargs clang-format --dry-run -Werror
	$(MAKE) build
	.ci/tidy-changed

lint-all: deps
	$(SOURCES) | xargs clang-format --dry-run -Werror
	$(MAKE) build
	run-clang-tidy -p build -quiet -j $$(nproc) '^$(CURDIR)/(src|tools)/'

clean:
	rm -rf build build-asan build-service
