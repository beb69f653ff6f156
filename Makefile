# Zelmar: `make run` starts the program, `make test` runs every test.
# Both install whatever Debian packages are missing first.

JOBS    ?= $(shell nproc)
BUILD   ?= build
CONFIG  ?= Release
# Wine prefixes BUILD/wineprefix-win64 and -win32 (scripts/wine-env.sh owns
# everything else about Wine).
export ZELMAR_WINEPREFIX_BASE ?= $(abspath $(BUILD))/wineprefix

CMAKE_CONFIGURE = cmake -S . -DCMAKE_BUILD_TYPE=$(CONFIG) -Wno-dev

.PHONY: all deps run-deps native win64 win32 linux32 test check test-native test-bare test-linux32 \
        test-wine test-wine32 test-dist test-sanitizers test-threads test-fuzz test-web run \
        screenshot-144 dist \
        bench bench-wide bench-proofs bench-web figures fuzz format clean web

all: native

deps:
	@scripts/install-deps.sh

# What showing the dialog needs, and no more.
run-deps:
	@scripts/install-deps.sh --run

native: deps
	$(CMAKE_CONFIGURE) -B $(BUILD)/native
	cmake --build $(BUILD)/native -j $(JOBS)

WIN64_CONFIGURE = $(CMAKE_CONFIGURE) -B $(BUILD)/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake

win64: deps
	$(WIN64_CONFIGURE) -DZELMAR_BUILD_TOOLS=ON -DZELMAR_BUILD_TESTS=ON
	cmake --build $(BUILD)/win64 -j $(JOBS)

win32: deps
	$(CMAKE_CONFIGURE) -B $(BUILD)/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
	cmake --build $(BUILD)/win32 -j $(JOBS)

linux32: deps
	$(CMAKE_CONFIGURE) -B $(BUILD)/linux32 -DCMAKE_TOOLCHAIN_FILE=cmake/linux-i686.cmake
	cmake --build $(BUILD)/linux32 -j $(JOBS) --target zelmar_engine_tests

test: test-native test-bare test-linux32 test-wine test-wine32 test-dist test-sanitizers test-threads \
      test-fuzz test-web
	@echo "all test suites passed"

# For while you work, once the trees are built (a few minutes): the native
# unit and CLI tests, the dialog's GUI tests under Wine with a Japanese
# locale (without the endurance and the huge-text hardening runs), and a
# short fuzz smoke. `make test` stays the whole suite.
check: native win64
	ctest --test-dir $(BUILD)/native --output-on-failure -j $(JOBS)
	tests/gui/run-gui-tests.sh --locale ja_JP.UTF-8 \
	  --driver $(BUILD)/win64/tests/gui/zelmar_gui_tests.exe \
	  --exe $(BUILD)/win64/app/Zelmar.exe \
	  -- --gtest_filter=-Endurance.*:HardeningTest.* --gtest_brief=1
	scripts/fuzz.sh $(BUILD)/fuzz 5
	@echo "check passed"

test-native: native
	ctest --test-dir $(BUILD)/native --output-on-failure -j $(JOBS)

# `make run` as a new user meets it: a fresh clone of HEAD in a bare Debian 12
# root, as root and without a display (tests/bare). The root's tarball is
# made once and kept in $(BUILD)/bare-debian.
test-bare: deps
	tests/bare/make_run_on_bare_debian.sh $(BUILD)

# 32-bit x86 arithmetic, proven under qemu-i386.
test-linux32: linux32
	ctest --test-dir $(BUILD)/linux32 --output-on-failure -R '^engine'

# The command-line tests of the native build that run the tools, run against
# a Windows build's tools under Wine: $(call windows-cli-tests,win64|win32).
# A test is tried a second time only when it failed, since a Wine start on a
# busy machine now and then fails on its own.
windows-cli-tests = ZELMAR_CHECK=$(abspath $(BUILD))/$(1)/cli/zelmar-check.exe \
	ZELMAR_PLAN=$(abspath $(BUILD))/$(1)/cli/zelmar-plan.exe \
	ZELMAR_CLI_RUNNER=$(CURDIR)/scripts/wine-env.sh \
	ctest --test-dir $(BUILD)/native --output-on-failure -j $(JOBS) --repeat until-pass:2 \
	  -R '^cli\.(Check|PlanBinary)'

# Engine unit tests, shell tests, GUI tests and the command-line tools,
# 64-bit Windows build under Wine and Xvfb; the 32-bit build's resources and
# imports.
test-wine: native win64 win32
	ctest --test-dir $(BUILD)/win64 --output-on-failure
	$(call windows-cli-tests,win64)
	ctest --test-dir $(BUILD)/win32 --output-on-failure -R '^(app_resources|app_imports|app_size|cli_imports\..*)$$'

# The 32-bit build under 32-bit Wine, where this machine runs 32-bit code:
# engine unit tests, shell tests, GUI tests with a Japanese locale.
test-wine32: native win32
	@if reason=$$(scripts/probe-32bit.sh --wine); then \
	  ctest --test-dir $(BUILD)/win32 --output-on-failure \
	    -R '^(engine_unit|app_shell|app_start_without_display|gui\.ja_JP)$$' && \
	  $(call windows-cli-tests,win32); \
	else \
	  echo "32-bit Wine runs skipped: $$reason"; \
	fi

# The offline page, one file: build/web/zelmar.html.
web: deps
	scripts/build-web.sh $(BUILD)/web

# The page in Debian's Chromium against the native build's tools.
test-web: native web
	node tests/web/web_test.js $(BUILD)/web/zelmar.html $(BUILD)/native/cli/zelmar-check \
	  $(BUILD)/native/cli/zelmar-plan $(BUILD)/web/screenshots

test-sanitizers: deps
	scripts/test-sanitizers.sh $(BUILD)/sanitize

# The searches that share work between threads, under ThreadSanitizer.
test-threads: deps
	scripts/test-sanitizers.sh --thread $(BUILD)/threads

test-fuzz: deps
	scripts/fuzz.sh $(BUILD)/fuzz 30

fuzz: deps
	scripts/fuzz.sh $(BUILD)/fuzz $(or $(SECONDS),600)

# Only Zelmar.exe: the tools and tests come with `make test`.
run: run-deps
	$(WIN64_CONFIGURE) -DZELMAR_BUILD_TOOLS=OFF -DZELMAR_BUILD_TESTS=OFF
	cmake --build $(BUILD)/win64 -j $(JOBS) --target Zelmar
	scripts/run-zelmar.sh $(BUILD)/win64

# A screenshot of the dialog at 150 % scaling (144 DPI).
screenshot-144: win64
	env -u DISPLAY scripts/run-zelmar.sh --dpi 144 $(BUILD)/win64

dist: win64 win32 web
	scripts/dist.sh $(BUILD)

# The release archives as a Windows user unpacks them.
test-dist: dist
	v=$$(cat $(BUILD)/win64/dist/version.txt) && tests/dist/check_archives.py \
	  $$v $(BUILD)/dist/Zelmar-$$v-win64.zip $(BUILD)/dist/Zelmar-$$v-win32.zip

bench: deps
	$(CMAKE_CONFIGURE) -B $(BUILD)/bench -DZELMAR_BUILD_BENCH=ON -DZELMAR_BUILD_TESTS=OFF
	cmake --build $(BUILD)/bench -j $(JOBS)
	scripts/bench.sh $(BUILD)/bench

# zelmar-plan's timed answers against a plain annealing given six times as
# long, on wide cases (about 15 minutes).
bench-wide: deps
	$(CMAKE_CONFIGURE) -B $(BUILD)/bench -DZELMAR_BUILD_BENCH=ON -DZELMAR_BUILD_TESTS=OFF
	cmake --build $(BUILD)/bench -j $(JOBS) --target zelmar-plan zelmar_anneal
	scripts/bench-plan-wide.sh $(BUILD)/bench

# zelmar-plan's proofs (published counts, Golomb rulers, the README's narrow
# cases) timed with one thread and with two.
bench-proofs: native
	scripts/bench-plan-proofs.sh $(BUILD)/native

# The page's size and timings, and the check's time per run in WebAssembly
# against the native build.
bench-web: native web
	scripts/bench-web.sh $(BUILD)

# Sizes, imports, start-up time and peak memory of Zelmar.exe, then the
# benchmarks: the figures the README quotes.
figures: win64 win32 bench
	scripts/figures.sh $(BUILD)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD)
