# make run   - install what is missing, build, open the game with the sample robots fighting
# make test  - install what is missing, build, run every test (plain, under ASan+UBSan and under TSan)
# make fuzz  - build the libFuzzer targets with clang (FUZZ_SECONDS=N runs each for N seconds)
# make bench - build and run the benchmarks and the frame benchmark of each shadow mode
# make docs  - draw the pictures under docs/ with kolvex-shot
# make tsan  - build and run every test under ThreadSanitizer

BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
TSAN_BUILD ?= build-tsan
JOBS       ?= $(shell nproc)
FUZZ_SECONDS ?= 60
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
PACKAGES := $(shell grep -v '^\#' .ci/packages.txt)

.PHONY: all deps build build-asan build-tsan run test test-plain test-asan test-tsan fuzz bench clean tsan docs

all: build

deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

build-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DKV_SANITIZE=address,undefined -DKV_BENCH=OFF >/dev/null
	cmake --build $(ASAN_BUILD) -j $(JOBS)

SAMPLE_ROBOTS := robots/sentinel.r robots/hunter.r robots/spiral.r robots/pendulum.r

# Without a display the same battle is played headless.
run: build
	@$(BUILD)/tools/kolvexc/kolvexc robots/*.r && echo "All sample robots compile."
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	  $(BUILD)/app/kolvex --archive $(BUILD)/Kolvex.kvfs $(SAMPLE_ROBOTS); \
	else \
	  echo "No display: the battle without a window."; \
	  $(BUILD)/tools/kolvex-battle/kolvex-battle --archive $(BUILD)/Kolvex.kvfs $(SAMPLE_ROBOTS); \
	fi

SHOT = $(BUILD)/tools/kolvex-shot/kolvex-shot --archive $(BUILD)/Kolvex.kvfs --no-fps

# The pictures are committed as this target draws them: same seed, same bytes.
docs: build
	$(SHOT) --seed 7 --at 8 --pitch 0.9 $(SAMPLE_ROBOTS) -o docs/battle.png
	$(SHOT) --seed 7 --at 30 --yaw 2.4 --pitch 1.47 $(SAMPLE_ROBOTS) -o docs/overhead.png
	$(SHOT) --seed 7 --at 30 --yaw 0.8 --pitch 1.0 --shadow stencil $(SAMPLE_ROBOTS) -o docs/shadows.png

test-plain: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan: build-asan
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)

# The whole suite under ThreadSanitizer adds about four minutes on two cores (build included).
test: test-plain test-asan test-tsan

# A target's seeds are fuzz/NAME/seeds, or written at build time into $(FUZZ_BUILD)/fuzz/NAME/seeds.
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKV_FUZZ=ON -DKV_TESTS=OFF -DKV_BENCH=OFF >/dev/null
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@for t in $(FUZZ_BUILD)/fuzz/*/fuzz_*; do \
	  [ -x $$t ] || continue; name=$$(basename $$t); mkdir -p fuzz-corpus/$$name; \
	  echo "== $$name for $(FUZZ_SECONDS) s"; seeds=""; \
	  for d in fuzz/$${name#fuzz_}/seeds $(FUZZ_BUILD)/fuzz/$${name#fuzz_}/seeds; do [ -d $$d ] && seeds="$$seeds $$d"; done; \
	  $$t -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 -artifact_prefix=fuzz-corpus/$$name- \
	    fuzz-corpus/$$name $$seeds > fuzz-corpus/$$name.log 2>&1; rc=$$?; \
	  tail -n 12 fuzz-corpus/$$name.log; [ $$rc -eq 0 ] || { echo "$$name failed: see fuzz-corpus/$$name.log"; exit $$rc; }; \
	done

build-tsan: deps
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKV_SANITIZE=thread -DKV_BENCH=OFF >/dev/null
	cmake --build $(TSAN_BUILD) -j $(JOBS)

test-tsan: build-tsan
	cd $(TSAN_BUILD) && TSAN_OPTIONS="halt_on_error=1 suppressions=$(CURDIR)/.ci/tsan.supp" LP_NUM_THREADS=0 \
	  ctest --output-on-failure -j $(JOBS)

tsan: test-tsan

# The frame benchmark: 300 frames of the sample robots at the window's start size, every robot
# view live, in each shadow mode.
bench: build
	@for b in $(BUILD)/bench/*/bench_*; do [ -x $$b ] && $$b; done
	@for mode in off stencil map; do printf '%-8s' $$mode; \
	  $(BUILD)/tools/kolvex-shot/kolvex-shot --archive $(BUILD)/Kolvex.kvfs --seed 7 --frames 300 --views all --shadow $$mode $(SAMPLE_ROBOTS) | tail -1; done

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(TSAN_BUILD)
