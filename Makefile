# Wraps the two CMake build trees: build/host (native: portable core, tools,
# unit tests) and build/win32 (i686 mingw-w64: the same core plus the Windows
# program, tests run under Wine).

HOST_DIR  := build/host
WIN32_DIR := build/win32
ASAN_DIR  := build/asan
FUZZ_DIR  := build/fuzz
FUZZ_SECONDS ?= 60
JOBS      ?= $(shell nproc)
MAKEFLAGS += --no-print-directory

# CI treats warnings as errors.
CMAKE_FLAGS := $(if $(CI),-DTOLVEN_WERROR=ON,)
# A tree that make demo configures first leaves out the test suites, so that
# it needs neither their packages nor their build time.
TOLVEN_TESTS ?= ON

# Where make install puts mksetup, the Windows programs it puts in front of a
# package, the guide and the man page; DESTDIR stages them elsewhere.
PREFIX ?= /usr/local
INSTALLED := bin/mksetup share/tolvenwark/Setup.exe share/tolvenwark/UnInst.exe \
             share/doc/tolvenwark/packaging.md share/man/man1/mksetup.1

.PHONY: all host win32 test test-host test-win32 asan bench fuzz screenshot bootstrap clean demo \
        demo-build campaign install install-files uninstall

# The host mksetup finds its default stub, the Windows Setup.exe, and the
# ready uninstaller beside itself. The host tests pack the sample product
# with the program the Windows tree builds for it.
all: host win32
	@if [ -f $(WIN32_DIR)/setup/Setup.exe ]; then cp $(WIN32_DIR)/setup/Setup.exe $(HOST_DIR)/tools/Setup.exe; fi
	@if [ -f $(WIN32_DIR)/uninstall/UnInst.exe ]; then cp $(WIN32_DIR)/uninstall/UnInst.exe $(HOST_DIR)/tools/UnInst.exe; fi
	@if [ -d $(WIN32_DIR)/sample-product ]; then rm -rf $(HOST_DIR)/sample-product && cp -r $(WIN32_DIR)/sample-product $(HOST_DIR)/sample-product; fi

$(HOST_DIR)/CMakeCache.txt:
	cmake -S . -B $(HOST_DIR) -DCMAKE_BUILD_TYPE=Release -DTOLVEN_TESTS=$(TOLVEN_TESTS) $(CMAKE_FLAGS)

$(WIN32_DIR)/CMakeCache.txt:
	cmake -S . -B $(WIN32_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
	  -DCMAKE_BUILD_TYPE=MinSizeRel -DTOLVEN_TESTS=$(TOLVEN_TESTS) $(CMAKE_FLAGS)

# The whole tree, test suites included, also where make demo configured it.
with-tests = if grep -q '^TOLVEN_TESTS:BOOL=OFF' $(1)/CMakeCache.txt; then cmake -DTOLVEN_TESTS=ON $(1) >/dev/null; fi

$(ASAN_DIR)/CMakeCache.txt:
	cmake -S . -B $(ASAN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVEN_SANITIZE=ON $(CMAKE_FLAGS)

host: $(HOST_DIR)/CMakeCache.txt
	@$(call with-tests,$(HOST_DIR))
	cmake --build $(HOST_DIR) -j$(JOBS)

win32: $(WIN32_DIR)/CMakeCache.txt
	@$(call with-tests,$(WIN32_DIR))
	cmake --build $(WIN32_DIR) -j$(JOBS)

bootstrap:
	scripts/bootstrap test

# Bootstrap first, then build both trees, then run every test of both.
test: bootstrap
	$(MAKE) --no-print-directory all
	$(MAKE) --no-print-directory test-host test-win32

# After each run, the tests that were skipped and why.
test-host test-win32: test-%:
	@cd build/$* && ctest --output-on-failure -j$(JOBS) --output-junit $(CURDIR)/build/$*/test-results.xml; \
	  status=$$?; $(CURDIR)/scripts/skipped-tests $(CURDIR)/build/$*/test-results.xml; exit $$status

# The host tree under AddressSanitizer and UndefinedBehaviorSanitizer.
asan: bootstrap $(ASAN_DIR)/CMakeCache.txt
	cmake --build $(ASAN_DIR) -j$(JOBS)
	cd $(ASAN_DIR) && ctest --output-on-failure -j$(JOBS)

# Figures beside their baselines, each in one run with its baseline.
# Host tree: decoding beside zlib; packing every level beside gzip, xz and
# an earlier build's mksetup. Windows tree, under Wine: the installer's
# decoding beside zlib and libdeflate for i686 (libdeflate built from
# Debian's source package into build/deps); where the checking pass of a
# package of BENCH_PACKAGE_MB megabytes spends its time, and the wait from
# Setup.exe's start to its dialog, beside an earlier build's Setup.exe and a
# program that shows a window at once; installing many files; the longest
# time the dialog does not answer while it installs, beside the earlier
# Setup.exe.
# The earlier builds are those of BENCH_BASELINE_REV (the revision before
# the work on fast levels and the installer's speed), and for level 5's
# speed also of BENCH_LEVEL5_REV (the last revision before the compressor's
# speed work), each built once into build/; BENCH_BASELINE=path/to/mksetup
# names another, and an empty BENCH_BASELINE_REV leaves them out.
# BENCH_RUNS=n prints the packing figures as medians of n runs.
BENCH_BASELINE_REV ?= 2e66d19dfdc7400465faf62787f9195c2f3d8ca1
BENCH_LEVEL5_REV ?= 28897aa32a4ccee08ce06a94d2197fb928b7a32f
BENCH_PACKAGE_MB ?= 400
BENCH_DIR := build/bench
export BENCH_RUNS
bench:
	scripts/bootstrap bench
	$(MAKE) all
	@baseline="$(BENCH_BASELINE)"; level5=; \
	if [ -z "$$baseline" ] && [ -n "$(BENCH_BASELINE_REV)" ]; then \
	  baseline=$$(scripts/build-baseline $(BENCH_BASELINE_REV) build/baseline mksetup) || baseline=; \
	  level5=$$(scripts/build-baseline $(BENCH_LEVEL5_REV) build/baseline-level5 mksetup) || level5=; \
	fi; \
	BENCH_BASELINE="$$baseline" BENCH_BASELINE_LEVEL5="$$level5" \
	  cmake --build $(HOST_DIR) --target run_benchmarks
	cmake -S . -B $(WIN32_DIR) -DTOLVEN_LIBDEFLATE_DIR=$$(scripts/build-bench-libdeflate build/deps) >/dev/null
	cmake --build $(WIN32_DIR) --target installer_decode_bench install_bench answer_bench
	scripts/make-bench-product $(WIN32_DIR)/sample-product $(BENCH_DIR)/product $(BENCH_PACKAGE_MB)
	$(HOST_DIR)/tools/mksetup build $(BENCH_DIR)/product -o $(BENCH_DIR)/package.exe \
	  --stub $(WIN32_DIR)/setup/Setup.exe > /dev/null
	@before=; \
	if [ -n "$(BENCH_BASELINE_REV)" ]; then \
	  stub=$$(scripts/build-baseline $(BENCH_BASELINE_REV) build/baseline-setup Setup.exe) && \
	  $(HOST_DIR)/tools/mksetup build $(BENCH_DIR)/product -o $(BENCH_DIR)/package-before.exe \
	    --stub $$stub > /dev/null && before=Z:$(abspath $(BENCH_DIR))/package-before.exe; \
	  export BENCH_SETUP_BEFORE=Z:$$stub; \
	fi; \
	BENCH_PACKAGE=Z:$(abspath $(BENCH_DIR))/package.exe BENCH_PACKAGE_BEFORE=$$before \
	  BENCH_SETUP=Z:$(abspath $(WIN32_DIR))/setup/Setup.exe \
	  cmake --build $(WIN32_DIR) --target run_benchmarks

$(FUZZ_DIR)/CMakeCache.txt:
	scripts/bootstrap fuzz
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVEN_FUZZ=ON

# Every libFuzzer target for FUZZ_SECONDS each (clang, ASan + UBSan).
fuzz: $(FUZZ_DIR)/CMakeCache.txt
	cmake --build $(FUZZ_DIR) -j$(JOBS)
	scripts/run-fuzzers $(FUZZ_DIR) $(FUZZ_SECONDS)

# The damage campaign over every byte of the sample product's packages
# (level 3 solid and level 0, sealed and bare): a table of what mksetup test
# and extract make of each damaged byte and each cut. Takes minutes; make
# test runs a fixed sample of it.
campaign: all
	$(HOST_DIR)/tests/damage_campaign --full $(HOST_DIR)/sample-product $(HOST_DIR)/tools/Setup.exe \
	  build/campaign

# A picture of Setup.exe's dialog as a user sees it under Wine, with the
# sample product packed by mksetup: $(SCREENSHOT).png, and beside it
# $(SCREENSHOT).txt, what the probe read from the dialog. LC_ALL=de_DE.UTF-8
# or it_IT.UTF-8 shows it in German or Italian.
SCREENSHOT ?= build/screenshots/setup-dialog
screenshot: all
	mkdir -p $(dir $(SCREENSHOT))
	$(HOST_DIR)/tools/mksetup build $(WIN32_DIR)/sample-product -o $(SCREENSHOT).exe \
	  --stub $(WIN32_DIR)/setup/Setup.exe --uninstaller-stub $(WIN32_DIR)/uninstall/UnInst.exe
	tests/dialog/screenshot.sh $(WIN32_DIR) $(SCREENSHOT).exe $(SCREENSHOT).png

# What a newcomer types first: builds Setup.exe, mksetup, the sample
# product's programs and the demo's driver (no test suite), packs the sample
# product with mksetup and installs it under Wine, printing what happened.
# The build's own output goes to build/demo-build.log.
DEMO_LOG := build/demo-build.log
demo:
	@scripts/bootstrap demo
	@echo "=== building Setup.exe, mksetup, the sample product's programs and the demo driver"
	@mkdir -p build
	@$(MAKE) demo-build >$(DEMO_LOG) 2>&1 || { tail -n 20 $(DEMO_LOG); echo "=== the build failed: $(DEMO_LOG) holds its output"; exit 1; }
	@echo "    done (its output is in $(DEMO_LOG))"
	@scripts/demo

demo-build: TOLVEN_TESTS = OFF
demo-build: $(HOST_DIR)/CMakeCache.txt $(WIN32_DIR)/CMakeCache.txt
	cmake --build $(HOST_DIR) -j$(JOBS) --target mksetup
	cmake --build $(WIN32_DIR) -j$(JOBS) --target Setup UnInst sample_package tolven_demo

# mksetup finds the Setup.exe and UnInst.exe of PREFIX/share/tolvenwark from
# PREFIX/bin by itself: the installed files work wherever PREFIX (or DESTDIR) puts them.
# Trees configured here leave out the test suites, as for make demo.
install:
	@scripts/bootstrap install
	@$(MAKE) install-files

install-files: TOLVEN_TESTS = OFF
install-files: $(HOST_DIR)/CMakeCache.txt $(WIN32_DIR)/CMakeCache.txt
	cmake --build $(HOST_DIR) -j$(JOBS) --target mksetup man_page
	cmake --build $(WIN32_DIR) -j$(JOBS) --target Setup UnInst
	install -D -m 755 $(HOST_DIR)/tools/mksetup $(DESTDIR)$(PREFIX)/bin/mksetup
	install -D -m 644 $(WIN32_DIR)/setup/Setup.exe $(DESTDIR)$(PREFIX)/share/tolvenwark/Setup.exe
	install -D -m 644 $(WIN32_DIR)/uninstall/UnInst.exe $(DESTDIR)$(PREFIX)/share/tolvenwark/UnInst.exe
	install -D -m 644 docs/packaging.md $(DESTDIR)$(PREFIX)/share/doc/tolvenwark/packaging.md
	install -D -m 644 $(HOST_DIR)/tools/mksetup.1 $(DESTDIR)$(PREFIX)/share/man/man1/mksetup.1

# Exactly what install put there, and the project's own folders once empty.
uninstall:
	rm -f $(addprefix $(DESTDIR)$(PREFIX)/,$(INSTALLED))
	rmdir $(DESTDIR)$(PREFIX)/share/tolvenwark $(DESTDIR)$(PREFIX)/share/doc/tolvenwark 2>/dev/null || true

clean:
	rm -rf build
