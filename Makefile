# Quick start on Debian 12 (as root): `make run`, `make test`.
# Two builds from one source: build/ is the 64-bit build (x86-64), the main one that
# runs and is tested; build/x86/ the 32-bit build (i686) for 32-bit Windows.
BUILD := $(CURDIR)/build
BUILD32 := $(BUILD)/x86
JOBS ?= 2
# WERROR=1 treats warnings as errors (CI asks for it); without it they stay warnings.
# Either way the choice is applied to an already configured build folder too.
WERROR ?=
werror := $(if $(filter 1 ON on yes true,$(WERROR)),ON,OFF)

.PHONY: all build build32 setup configure run test dist bench bench-checks clean

all: build

setup:
	@bash scripts/setup.sh

configure: setup
	@test -f $(BUILD)/build.ninja && grep -qx 'ZORVANE_WERROR:BOOL=$(werror)' $(BUILD)/CMakeCache.txt \
	  || cmake --preset mingw-x86_64 -DZORVANE_WERROR=$(werror) >/dev/null
	@test -f $(BUILD32)/build.ninja && grep -qx 'ZORVANE_WERROR:BOOL=$(werror)' $(BUILD32)/CMakeCache.txt \
	  || cmake --preset mingw-i686 -DZORVANE_WERROR=$(werror) >/dev/null

build: configure
	@cmake --build $(BUILD)
	@bash scripts/make-prefix.sh $(BUILD)

# The 32-bit build with its tests, so that it never stops compiling.
build32: configure
	@cmake --build $(BUILD32)

run: build
	@bash scripts/run.sh $(BUILD)

# First a smoke start of each program in a fresh prefix of each width this host runs
# (a program that cannot load fails here in seconds, with the loader's words); then
# every suite against the 64-bit build, and the 32-bit build's suites where this host
# runs 32-bit programs (decided by trying its loader). Where it runs them, the 64-bit
# prefixes carry Windows' 32-bit half, as every 64-bit Windows does.
test: build build32
	@bash scripts/smoke.sh $(BUILD) win64
	@if bash scripts/host-runs-32bit.sh; then \
	  WINE_ARCH=win32 bash scripts/make-prefix.sh $(BUILD32) >/dev/null && \
	  bash scripts/smoke.sh $(BUILD32) win32 && bash scripts/smoke.sh $(BUILD32) win64; \
	fi
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	@if bash scripts/host-runs-32bit.sh; then \
	  cd $(BUILD32) && ctest --output-on-failure -j $(JOBS); \
	else \
	  cd $(BUILD32) && { ctest -Q -R '^Manifests$$' || ctest --output-on-failure -R '^Manifests$$'; } && \
	  echo "test: this host runs no 32-bit programs: the 32-bit build was compiled and its manifests checked, its suites did not run"; \
	fi

# The releases: build/Zorvane-3.3-setup.exe (64-bit, install image build/dist/) and
# build/Zorvane-3.3-setup-x86.exe (32-bit, install image build/x86/dist/).
dist: configure
	@cmake --build $(BUILD) --target setup_exe
	@cmake --build $(BUILD32) --target setup_exe
	@cp $(BUILD32)/Zorvane-*-setup-x86.exe $(BUILD)/
	@ls -l $(BUILD)/Zorvane-*-setup*.exe

# Times the scan against a minimal Win32 loop and yara; reports only, never part of test.
bench: build
	@bash bench/run.sh $(BUILD)

# Only the system check's part of the bench: a minute instead of many.
bench-checks: build
	@bash bench/checks.sh $(BUILD)

clean:
	rm -rf $(BUILD)
